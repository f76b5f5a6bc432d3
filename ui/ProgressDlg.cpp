#include "ui/ProgressDlg.h"
#include "res/resource.h"

#include <new>

const CRuntimeClass ProgressDlg::classProgressDlg = {
    "ProgressDlg", sizeof(ProgressDlg), 0xFFFF, ProgressDlg::CreateObject, &CDialog::classCDialog};

UINT ProgressDlg::s_queryCancelAutoPlay;

ProgressDlg::ProgressDlg() : CDialog(IDD_PROGRESS) {}

CDialog* ProgressDlg::CreateObject() {
    return new (std::nothrow) ProgressDlg;
}

BOOL ProgressDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    return TRUE;
}

INT_PTR ProgressDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // Answering 1 cancels AutoPlay for a disc inserted while this window is in
    // front; the shell's message has to pass the filter of an elevated program.
    if (!s_queryCancelAutoPlay)
        s_queryCancelAutoPlay = RegisterWindowMessageA("QueryCancelAutoPlay");
    if (message == WM_INITDIALOG)
        AllowMessage(s_queryCancelAutoPlay);
    if (s_queryCancelAutoPlay && message == s_queryCancelAutoPlay)
        return SetMsgResult(1);
    return CDialog::WindowProc(message, wParam, lParam);
}
