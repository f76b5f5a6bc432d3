// The application object: the program's one CWinApp and the start-up that
// runs it.
#pragma once

#include "platform/MessageBox.h" // AfxMessageBox, owned by the main window

#include <windows.h>

#include <memory>

class CWnd;

class CWinApp {
  public:
    // The object made last is the application; the program makes exactly one.
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The program's own start-up. False ends the program at once, with no
    // message loop.
    virtual BOOL InitInstance();
    // The message loop that follows a true InitInstance, until WM_QUIT.
    virtual int Run();
    // The exit processing; its result is the process's exit status.
    virtual int ExitInstance();

    // Names the registry key for profile settings. Nothing is read or written.
    void SetRegistryKey(const char* key);

    const char* m_pszAppName;     // the program file's name without its extension
    const char* m_pszRegistryKey; // null until SetRegistryKey
    CWnd* m_pMainWnd;             // the main window, or null
    HINSTANCE m_hInstance;

  private:
    char m_appName[MAX_PATH];
    std::unique_ptr<char[]> m_registryKey;
};

// A copy of `text` on the heap; null for null, or when memory runs out.
std::unique_ptr<char[]> AfxCopyText(const char* text);
// The application object, or null before it is made.
CWinApp* AfxGetApp();
// The module that holds the dialog templates and the icon: the program file.
HINSTANCE AfxGetResourceHandle();
// The start-up: adds the error modes that keep probes of empty drives quiet,
// then runs the application's InitInstance (and Run, if it asks for a loop).
int AfxWinMain();
