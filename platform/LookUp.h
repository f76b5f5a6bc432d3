// Calls that newer systems add, looked up at run time: the headers, set for
// XP, declare none of them, and importing one would keep XP from starting the
// program.
#pragma once

#include "platform/Win32Api.h"

// The function of that name in the module, as the type given; null when the
// module is null or lacks it.
template <typename Function> Function LookUp(HMODULE module, const char* name) {
    // Through the generic function type, as a looked-up address must be.
    return module ? reinterpret_cast<Function>(
                        reinterpret_cast<void (*)()>(GetProcAddress(module, name)))
                  : nullptr;
}
