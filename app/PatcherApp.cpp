#include "app/PatcherApp.h"
#include "app/PatcherDlg.h"

#include <commctrl.h>

BOOL PatcherApp::InitInstance() {
    // The progress bar's window class has to exist before the progress window
    // is made from its template.
    InitCommonControls();
    CWinApp::InitInstance();
    SetRegistryKey("Local AppWizard-Generated Applications");

    PatcherDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    return FALSE;
}
