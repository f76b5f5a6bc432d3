// The module's progress window and the reports that drive it.
#include "ui/Progress.h"
#include "platform/WinApp.h"
#include "res/resource.h"
#include "ui/ProgressDlg.h"

#include <commctrl.h>

#include <new>

namespace {

ProgressDlg* s_progress; // owned; null when there is none
int32_t s_lastPercent = -1;
MSG s_message;

} // namespace

void CloseProgress() {
    if (!s_progress)
        return;
    s_progress->DestroyWindow();
    delete s_progress;
    s_progress = nullptr;
}

void OpenProgress(const char* text) {
    CloseProgress();
    ProgressDlg* dialog = new (std::nothrow) ProgressDlg;
    if (!dialog) {
        AfxMessageBox("Error Creating Dialog Object", MB_OK, 0);
        return;
    }
    s_progress = dialog;
    // Without a window the copy still goes on; the reports then find no
    // controls and draw nothing.
    if (!dialog->Create(IDD_PROGRESS))
        AfxMessageBox("Error creating Dialog", MB_OK, 0);
    dialog->ShowWindow(SW_SHOW);
    if (CWnd bar = dialog->GetDlgItem(IDC_PROGRESS_BAR))
        bar.SendMessage(PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    if (CWnd caption = dialog->GetDlgItem(IDC_PROGRESS_CAPTION))
        caption.SetWindowText(text);
    s_lastPercent = -1;
}

void UpdateProgress(int32_t percent, const char* text) {
    // The window is touched at most once per whole percent: the copy reports
    // after every chunk.
    if (percent != s_lastPercent) {
        s_lastPercent = percent;
        if (s_progress) {
            if (CWnd bar = s_progress->GetDlgItem(IDC_PROGRESS_BAR))
                bar.SendMessage(PBM_SETPOS, static_cast<WPARAM>(percent), 0);
            if (text) {
                if (CWnd file = s_progress->GetDlgItem(IDC_PROGRESS_FILE))
                    file.SetWindowText(text);
            }
            // A null window would mean the whole screen.
            if (s_progress->m_hWnd)
                InvalidateRect(s_progress->m_hWnd, nullptr, TRUE);
        }
    }
    PumpMessages();
}

void PumpMessages() {
    // No dialog keyboard handling and no idle work: this only keeps the
    // thread's windows painted and answering.
    while (PeekMessageA(&s_message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&s_message);
        DispatchMessageA(&s_message);
    }
}
