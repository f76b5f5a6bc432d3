// Resource ids of the program: dialog templates, the icon and the controls.
#pragma once

#define IDD_PATCHER_DIALOG 102 // the welcome dialog
#define IDR_MAINFRAME 128      // the program's icon group
#define IDD_PROGRESS 129       // the progress window
#define IDD_PROMPT 131         // the prompt dialog

#define IDC_PROGRESS_BAR 1000
#define IDC_PROGRESS_CAPTION 1001
#define IDC_PROGRESS_FILE 1002
#define IDC_PROMPT_TEXT 1003

// The caption all three dialogs share; a second start finds the running
// program's window by it.
#define PATCHER_CAPTION "Vardenholt Installer Patcher v1.0.1"

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
