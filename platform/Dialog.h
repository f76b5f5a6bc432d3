// A dialog built from a numbered template, run modally or modelessly, with its
// messages routed to a few virtual handlers; and CWnd, a window handle with the
// operations the dialogs use on themselves and on their controls.
#pragma once

#include "platform/RuntimeClass.h"

#include <windows.h>

// Copies name the same window; a CWnd never destroys its window.
class CWnd {
  public:
    CWnd() = default;
    explicit CWnd(HWND hwnd) : m_hWnd(hwnd) {}

    explicit operator bool() const { return m_hWnd != nullptr; }
    // The control with that id, or an empty CWnd when there is none.
    CWnd GetDlgItem(int id) const { return CWnd(m_hWnd ? ::GetDlgItem(m_hWnd, id) : nullptr); }
    BOOL SetWindowText(const char* text) const { return ::SetWindowTextA(m_hWnd, text); }
    BOOL EnableWindow(BOOL enable) const { return ::EnableWindow(m_hWnd, enable); }
    BOOL ShowWindow(int command) const { return ::ShowWindow(m_hWnd, command); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }

    HWND m_hWnd = nullptr;
};

// Lets a message through the filter that keeps processes of lower integrity
// from sending to the elevated program's window: for that window where user32
// has the call (Windows 7 on), for the whole process where it has only the
// older one (Vista). XP has no such filter.
void AllowFromLowerIntegrity(HMODULE user, HWND window, UINT message);

class CDialog : public CWnd {
  public:
    // No window yet. With no parent, the application's main window will own it.
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    // Destroys the window if it still exists.
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    static const CRuntimeClass classCDialog;
    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCDialog; }

    // Creates the window, disables the owner and runs a modal loop until the
    // dialog ends; then destroys the window. IDOK or IDCANCEL as it ended, or -1
    // when the window could not be made or a quit message ended the loop (the
    // quit is posted again for the loop outside).
    INT_PTR DoModal();
    // Creates the window modelessly; nonzero on success.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    // Harmless when there is no window.
    BOOL DestroyWindow();

  protected:
    virtual BOOL OnInitDialog();
    // End a modal run with IDOK and IDCANCEL; a modeless dialog is only hidden.
    virtual void OnOK();
    virtual void OnCancel();
    // Every message of the window, with a dialog procedure's contract: nonzero
    // when handled (the message's own result then set with SetMsgResult), zero
    // for the system's default. Routes WM_INITDIALOG and the OK and Cancel
    // clicks to the handlers above.
    virtual INT_PTR WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    void EndDialog(int result);
    // The default painting of a dialog: validates the window.
    void OnPaint();
    // Sets the result of the message being handled; returns TRUE for WindowProc.
    INT_PTR SetMsgResult(LRESULT result);
    // Answers the shell's "QueryCancelAutoPlay" with 1, which cancels AutoPlay
    // for a disc inserted while this dialog is in front. Each dialog class
    // passes its own id variable, registered on first use. Because the program
    // runs elevated, the message is let through the filter that keeps
    // processes of lower integrity from sending to the window. True when
    // message was that one and is answered.
    bool CancelsAutoPlay(UINT& classMessageId, UINT message);

  private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND Owner() const;
    HWND CreateFromTemplate(UINT templateId, HWND owner);
    void Detach();

    UINT m_templateId;
    CWnd* m_parent;
    bool m_modal = false;
    bool m_ended = false;
    INT_PTR m_result = -1;
};
