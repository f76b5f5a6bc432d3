#include "ui/PromptDlg.h"
#include "ui/Prompt.h"
#include "platform/WinApp.h"
#include "res/resource.h"

UINT PromptDlg::s_queryCancelAutoPlay;

PromptDlg::PromptDlg(const char* message, int okDisabled, int cancelDisabled)
    : CDialog(IDD_PROMPT), m_message(AfxCopyText(message)), m_okDisabled(okDisabled),
      m_cancelDisabled(cancelDisabled) {}

BOOL PromptDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (CWnd text = GetDlgItem(IDC_PROMPT_TEXT))
        text.SetWindowText(m_message ? m_message.get() : "");
    if (CWnd ok = GetDlgItem(IDOK))
        ok.EnableWindow(m_okDisabled == 0);
    if (CWnd cancel = GetDlgItem(IDCANCEL))
        cancel.EnableWindow(m_cancelDisabled == 0);
    return TRUE;
}

INT_PTR PromptDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (CancelsAutoPlay(s_queryCancelAutoPlay, message))
        return TRUE;
    return CDialog::WindowProc(message, wParam, lParam);
}

int ShowPromptDialog(const char* message, int okDisabled, int cancelDisabled) {
    PromptDlg dialog(message, okDisabled, cancelDisabled);
    return static_cast<int>(dialog.DoModal());
}
