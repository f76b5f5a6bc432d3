// Dialogs from templates, on the system's dialog manager.
#include "platform/Dialog.h"
#include "platform/LookUp.h"
#include "platform/WinApp.h"

const CRuntimeClass CDialog::classCDialog = {"CDialog", sizeof(CDialog), 0xFFFF, nullptr, nullptr};

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {}

CDialog::~CDialog() {
    // The object is half gone: its window must not call back into it.
    if (m_hWnd) {
        HWND hwnd = m_hWnd;
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        Detach();
        ::DestroyWindow(hwnd);
    }
}

HWND CDialog::Owner() const {
    if (m_parent)
        return m_parent->m_hWnd;
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd && app->m_pMainWnd != this)
        return app->m_pMainWnd->m_hWnd;
    return nullptr;
}

HWND CDialog::CreateFromTemplate(UINT templateId, HWND owner) {
    m_ended = false;
    m_result = -1;
    HWND hwnd = CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(templateId), owner,
                                   DialogProc, reinterpret_cast<LPARAM>(this));
    if (!hwnd)
        return nullptr;
    m_hWnd = hwnd;
    // A system-modal dialog stays above other windows; not every system's
    // dialog manager does this for it.
    if ((GetWindowLongA(hwnd, GWL_STYLE) & DS_SYSMODAL) &&
        !(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST))
        SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return hwnd;
}

INT_PTR CDialog::DoModal() {
    HWND owner = Owner();
    m_modal = true;
    if (!CreateFromTemplate(m_templateId, owner)) {
        m_modal = false;
        return -1;
    }
    bool enableOwner = owner && IsWindowEnabled(owner);
    if (enableOwner)
        ::EnableWindow(owner, FALSE);
    if (!m_ended)
        ::ShowWindow(m_hWnd, SW_SHOW);

    MSG msg;
    while (!m_ended) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage(static_cast<int>(msg.wParam));
            m_result = -1;
            break;
        }
        if (!m_hWnd || !IsDialogMessageA(m_hWnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    // The owner is enabled again before the dialog goes, so that it gets the
    // activation back instead of some other program.
    if (enableOwner)
        ::EnableWindow(owner, TRUE);
    if (owner && GetActiveWindow() == m_hWnd)
        SetActiveWindow(owner);
    DestroyWindow();
    m_modal = false;
    return m_result;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    m_templateId = templateId;
    m_parent = parent;
    m_modal = false;
    return CreateFromTemplate(templateId, Owner()) != nullptr;
}

BOOL CDialog::DestroyWindow() {
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

void CDialog::Detach() {
    m_hWnd = nullptr;
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
}

BOOL CDialog::OnInitDialog() {
    return TRUE;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int result) {
    m_result = result;
    if (!m_modal) {
        ::ShowWindow(m_hWnd, SW_HIDE);
        return;
    }
    m_ended = true;
    // Wakes the modal loop, which may be waiting while a message sent from
    // another thread ends the dialog.
    PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

void CDialog::OnPaint() {
    PAINTSTRUCT ps;
    BeginPaint(m_hWnd, &ps);
    EndPaint(m_hWnd, &ps);
}

INT_PTR CDialog::SetMsgResult(LRESULT result) {
    SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

void AllowFromLowerIntegrity(HMODULE user, HWND window, UINT message) {
    // Looked up, since XP has neither call and Vista only the older one (the
    // headers, set for XP, declare neither).
    typedef BOOL(WINAPI * WindowFilterFn)(HWND, UINT, DWORD, void*);
    typedef BOOL(WINAPI * ProcessFilterFn)(UINT, DWORD);
    const DWORD kAllow = 1; // MSGFLT_ALLOW, and MSGFLT_ADD for the older call
    if (!user)
        return;
    auto forWindow = LookUp<WindowFilterFn>(user, "ChangeWindowMessageFilterEx");
    if (forWindow) {
        forWindow(window, message, kAllow, nullptr);
        return;
    }
    // Vista's call lets the message through to every window of the process.
    auto forProcess = LookUp<ProcessFilterFn>(user, "ChangeWindowMessageFilter");
    if (forProcess)
        forProcess(message, kAllow);
}

bool CDialog::CancelsAutoPlay(UINT& classMessageId, UINT message) {
    if (!classMessageId)
        classMessageId = RegisterWindowMessageA("QueryCancelAutoPlay");
    if (message == WM_INITDIALOG && classMessageId && m_hWnd)
        AllowFromLowerIntegrity(GetModuleHandleA("user32.dll"), m_hWnd, classMessageId);
    if (!classMessageId || message != classMessageId)
        return false;
    SetMsgResult(1);
    return true;
}

INT_PTR CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG)
        return OnInitDialog();
    if (message != WM_COMMAND)
        return FALSE;
    // A greyed button must not act, whoever sends its click: the dialog manager
    // for Escape, or another program.
    HWND control = reinterpret_cast<HWND>(lParam);
    if (control && !IsWindowEnabled(control))
        return TRUE;
    if (HIWORD(wParam) != BN_CLICKED && HIWORD(wParam) != 1 /* accelerator */)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* dialog;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        dialog->m_hWnd = hwnd;
    } else {
        dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    // Messages before WM_INITDIALOG (the font, the frame) get the defaults.
    if (!dialog)
        return FALSE;
    INT_PTR handled = dialog->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        dialog->Detach();
        // A modal loop whose window is gone has nothing left to run.
        dialog->m_ended = true;
    }
    return handled;
}
