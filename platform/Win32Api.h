// The Windows drive, file and directory functions that the patch code calls by
// their own names. The Windows build gets the real ones; the host build gets the
// same declarations from Win32Api_host.h, implemented over a mapped file system.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/Win32Api_host.h"
#endif
