// A scripted user for the end-to-end tests and the demo: finds the patcher's
// windows on the desktop, reads their controls and presses their buttons as a
// person would (a disabled button can't be pressed). Runs in the same Wine
// prefix as the patcher.
//
//   scripted_user wait KIND [SECONDS]   wait for a visible window, print its controls
//   scripted_user click KIND ID         press a button (exit 2 when it is disabled)
//   scripted_user watch KIND SECONDS    print each new current-file line and bar
//                                       position of the window until it is gone
//   scripted_user autoplay KIND         send "QueryCancelAutoPlay", print the answer
//   scripted_user post KIND ID          post the button's click notification to the
//                                       window, as any program may, hidden or not
//
// KIND is welcome, progress, prompt or message (a message box), or
// hidden-welcome: the welcome dialog once OK has hidden it.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kCaption[] = "Vardenholt Installer Patcher v1.0.1";

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string KindOf(HWND window) {
    if (ClassOf(window) != "#32770")
        return "";
    if (!IsWindowVisible(window))
        return TextOf(window) == kCaption && GetDlgItem(window, IDOK) &&
                       !GetDlgItem(window, 1000) && !GetDlgItem(window, 1003)
                   ? "hidden-welcome"
                   : "";
    if (TextOf(window) != kCaption)
        return "message";
    if (GetDlgItem(window, 1000))
        return "progress";
    if (GetDlgItem(window, 1003))
        return "prompt";
    return "welcome";
}

struct Search {
    const char* kind;
    HWND found;
};

BOOL CALLBACK FindKind(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (KindOf(window) == search->kind) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND Find(const char* kind) {
    Search search = {kind, nullptr};
    EnumWindows(FindKind, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitFor(const char* kind, double seconds) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < seconds * 1000; Sleep(20))
        if (HWND window = Find(kind))
            return window;
    return nullptr;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
    return out;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
    int id = GetDlgCtrlID(control);
    std::printf("control %d class=%s enabled=%d visible=%d", id == 0xFFFF ? -1 : id,
                ClassOf(control).c_str(), IsWindowEnabled(control) ? 1 : 0,
                IsWindowVisible(control) ? 1 : 0);
    if (ClassOf(control) == PROGRESS_CLASSA)
        std::printf(" position=%d range=%d-%d", (int)SendMessageA(control, PBM_GETPOS, 0, 0),
                    (int)SendMessageA(control, PBM_GETRANGE, TRUE, 0),
                    (int)SendMessageA(control, PBM_GETRANGE, FALSE, 0));
    std::printf(" text=\"%s\"\n", Escaped(TextOf(control)).c_str());
    return TRUE;
}

void PrintWindow(const char* kind, HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    std::printf("window %s hwnd=%p caption=\"%s\" rect=%ld,%ld,%ld,%ld\n", kind,
                static_cast<void*>(window), TextOf(window).c_str(), r.left, r.top, r.right,
                r.bottom);
    EnumChildWindows(window, PrintControl, 0);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: scripted_user wait|click|watch|autoplay|post KIND ...\n");
        return 64;
    }
    std::string command = argv[1];
    const char* kind = argv[2];
    double seconds = argc > 3 ? std::atof(argv[3]) : 30;

    if (command == "wait") {
        HWND window = WaitFor(kind, seconds);
        if (!window) {
            std::printf("no %s window\n", kind);
            return 1;
        }
        PrintWindow(kind, window);
        return 0;
    }
    if (command == "click" && argc > 3) {
        HWND window = WaitFor(kind, 10);
        HWND button = window ? GetDlgItem(window, std::atoi(argv[3])) : nullptr;
        if (!button) {
            std::printf("no button %s in a %s window\n", argv[3], kind);
            return 1;
        }
        if (!IsWindowEnabled(button) || !IsWindowVisible(button)) {
            std::printf("button %s is disabled\n", argv[3]);
            return 2;
        }
        // Posted, because the patcher runs its whole job inside the click.
        PostMessageA(button, BM_CLICK, 0, 0);
        return 0;
    }
    if (command == "post" && argc > 3) {
        HWND window = WaitFor(kind, 10);
        int id = std::atoi(argv[3]);
        HWND button = window ? GetDlgItem(window, id) : nullptr;
        if (!button || !PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                     reinterpret_cast<LPARAM>(button))) {
            std::printf("no button %s in a %s window\n", argv[3], kind);
            return 1;
        }
        return 0;
    }
    if (command == "watch") {
        HWND window = WaitFor(kind, seconds);
        if (!window) {
            std::printf("no %s window\n", kind);
            return 1;
        }
        PrintWindow(kind, window);
        std::string last;
        int lastPosition = -1;
        while (IsWindow(window) && IsWindowVisible(window)) {
            std::string line = TextOf(GetDlgItem(window, 1002));
            int position = (int)SendMessageA(GetDlgItem(window, 1000), PBM_GETPOS, 0, 0);
            if (line != last || position != lastPosition) {
                std::printf("progress %d file=\"%s\"\n", position, line.c_str());
                std::fflush(stdout);
                last = line;
                lastPosition = position;
            }
            Sleep(5);
        }
        std::printf("%s window closed\n", kind);
        return 0;
    }
    if (command == "autoplay") {
        HWND window = WaitFor(kind, 10);
        if (!window)
            return 1;
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(window, RegisterWindowMessageA("QueryCancelAutoPlay"), 0, 0,
                            SMTO_ABORTIFHUNG, 5000, &answer);
        std::printf("QueryCancelAutoPlay=%d\n", static_cast<int>(answer));
        return 0;
    }
    std::fprintf(stderr, "unknown command %s\n", command.c_str());
    return 64;
}
