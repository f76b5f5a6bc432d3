#include "app/PatcherDlg.h"
#include "app/IconPlacement.h"
#include "platform/WinApp.h"
#include "res/resource.h"

UINT PatcherDlg::s_queryCancelAutoPlay;

PatcherDlg::PatcherDlg(CWnd* parent)
    : CDialog(IDD_PATCHER_DIALOG, parent),
      m_hIcon(LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_runUnderWay(false) {}

BOOL PatcherDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    return TRUE;
}

void PatcherDlg::OnPaint() {
    if (!IsIconic(m_hWnd)) {
        CDialog::OnPaint();
        return;
    }
    // Where the system paints minimised windows, the dialog draws its own icon.
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(m_hWnd, &client);
    IconOrigin at = CentredIconOrigin(client.right - client.left, client.bottom - client.top,
                                      GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    DrawIcon(dc, at.x, at.y, m_hIcon);
    EndPaint(m_hWnd, &ps);
}

HICON PatcherDlg::OnQueryDragIcon() {
    return m_hIcon;
}

void PatcherDlg::OnOkClicked() {
    // Hidden, the dialog's OK button is out of reach while the run drains the
    // message queue; but any program may post OK to the hidden dialog, and a
    // run started inside this one would let go of the folder this one holds.
    if (m_runUnderWay)
        return;
    m_runUnderWay = true;
    ShowWindow(SW_HIDE);
    RunPatch();
    CDialog::OnOK();
}

INT_PTR PatcherDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (CancelsAutoPlay(s_queryCancelAutoPlay, message))
        return TRUE;

    switch (message) {
    case WM_PAINT:
        OnPaint();
        return TRUE;
    case WM_QUERYDRAGICON:
        // One of the messages whose result is the dialog procedure's own.
        return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_QUERYENDSESSION:
        // Never in the way of the end: setup may have asked for the restart.
        return SetMsgResult(TRUE);
    case WM_ENDSESSION:
        // Windows may end the program as soon as this returns, so the copy's
        // removal is scheduled in full before that; every end does it, the
        // Restart Manager's close (ENDSESSION_CLOSEAPP) too, and a run that
        // goes on takes the names back with the copy.
        OnSessionEnd(wParam != 0);
        return SetMsgResult(0);
    case WM_COMMAND:
        if (wParam == MAKEWPARAM(IDOK, BN_CLICKED)) {
            OnOkClicked();
            return TRUE;
        }
        break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}
