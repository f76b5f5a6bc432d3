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
    if (CancelsAutoPlay(s_queryCancelAutoPlay, message))
        return TRUE;
    return CDialog::WindowProc(message, wParam, lParam);
}
