// The application object and the framework's start-up.
#include "platform/WinApp.h"
#include "platform/Dialog.h"

#include <cstring>
#include <new>

namespace {

CWinApp* s_app;

// The program file's name without folder and extension, as the application's
// name: the program carries no title of its own. Empty if the path is too long.
void ProgramName(char (&name)[MAX_PATH]) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    name[0] = '\0';
    if (length == 0 || length >= MAX_PATH)
        return;
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/')
            base = p + 1;
    std::strcpy(name, base);
    if (char* dot = std::strrchr(name, '.'))
        *dot = '\0';
}

} // namespace

CWinApp::CWinApp()
    : m_pszAppName(m_appName), m_pszRegistryKey(nullptr), m_pMainWnd(nullptr),
      m_hInstance(GetModuleHandleA(nullptr)) {
    ProgramName(m_appName);
    s_app = this;
}

CWinApp::~CWinApp() {
    if (s_app == this)
        s_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

int CWinApp::ExitInstance() {
    return 0;
}

void CWinApp::SetRegistryKey(const char* key) {
    m_registryKey = AfxCopyText(key ? key : "");
    m_pszRegistryKey = m_registryKey.get();
}

std::unique_ptr<char[]> AfxCopyText(const char* text) {
    if (!text)
        return nullptr;
    std::unique_ptr<char[]> copy(new (std::nothrow) char[std::strlen(text) + 1]);
    if (copy)
        std::strcpy(copy.get(), text);
    return copy;
}

CWinApp* AfxGetApp() {
    return s_app;
}

HINSTANCE AfxGetResourceHandle() {
    return GetModuleHandleA(nullptr);
}

int AfxWinMain() {
    // A probe of an empty or unready drive then fails instead of asking the
    // user to insert a disk. XP can read the mode only by setting it.
    const UINT quiet = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
    SetErrorMode(SetErrorMode(quiet) | quiet);
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    if (app->InitInstance())
        app->Run();
    return app->ExitInstance();
}

int AfxMessageBox(const char* text, UINT type, UINT /*helpContext*/) {
    char fallback[MAX_PATH];
    const char* caption = fallback;
    HWND owner = nullptr;
    if (CWinApp* app = AfxGetApp()) {
        caption = app->m_pszAppName;
        if (app->m_pMainWnd)
            owner = app->m_pMainWnd->m_hWnd;
    } else {
        ProgramName(fallback);
    }
    return MessageBoxA(owner, text, caption, type);
}
