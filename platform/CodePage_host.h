// Name conversion for the host build: UTF-8, the system code page that Windows
// 10 and 11 may have, to and from the UTF-16 of the native calls.
#pragma once

#include "platform/NtApi_host.h"

#include <string>

namespace hostfs {

// The conversions; `valid` false when the text had a sequence that stands for
// no character, which comes out as U+FFFD.
std::u16string Utf16(const std::string& utf8, bool* valid);
std::string Utf8(const char16_t* text, size_t count, bool* valid);

// MultiByteToWideChar and WideCharToMultiByte as Windows has them under a
// UTF-8 system code page.
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int count, LPWSTR wide,
                               int size);
int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int count, LPSTR text,
                               int size, LPCSTR defaultChar, LPBOOL usedDefault);

} // namespace hostfs
