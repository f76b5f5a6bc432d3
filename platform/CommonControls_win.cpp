// The common controls, looked up at run time instead of imported.
#include "platform/CommonControls.h"
#include "platform/LookUp.h"

#include <windows.h>

#include <commctrl.h>

namespace {

typedef BOOL(WINAPI* InitCommonControlsExFn)(const INITCOMMONCONTROLSEX*);

} // namespace

int LoadCommonControls() {
    // By name, not by path, so that the manifest's side-by-side version is
    // taken; the restricted search finds any other in System32 alone.
    HMODULE controls = LoadLibraryA("comctl32.dll");
    if (!controls)
        return 0;
    auto init = LookUp<InitCommonControlsExFn>(controls, "InitCommonControlsEx");
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    return init && init(&classes) ? 1 : 0;
}
