// The host build's name conversion: UTF-8 and UTF-16, and the system code
// page's calls over them.
#include "platform/CodePage_host.h"

#include <algorithm>

namespace hostfs {

std::u16string Utf16(const std::string& utf8, bool* valid) {
    std::u16string out;
    *valid = true;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        char32_t code = extra == 0 ? c : extra == 1 ? c & 0x1f : extra == 2 ? c & 0x0f : c & 0x07;
        if (extra < 0 || i + extra >= utf8.size() + (extra ? 0 : 1)) {
            *valid = false;
            code = 0xfffd;
            extra = 0;
        }
        for (int k = 1; k <= extra; ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3f);
        i += 1 + extra;
        if (code >= 0x10000) {
            out += static_cast<char16_t>(0xd800 + ((code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xdc00 + ((code - 0x10000) & 0x3ff));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

std::string Utf8(const char16_t* text, size_t count, bool* valid) {
    std::string out;
    *valid = true;
    for (size_t i = 0; i < count; ++i) {
        char32_t code = text[i];
        if (code >= 0xd800 && code < 0xdc00 && i + 1 < count && text[i + 1] >= 0xdc00 &&
            text[i + 1] < 0xe000) {
            code = 0x10000 + ((code - 0xd800) << 10) + (text[i + 1] - 0xdc00);
            ++i;
        } else if (code >= 0xd800 && code < 0xe000) {
            *valid = false;
            code = 0xfffd;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xc0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xe0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        }
    }
    return out;
}

namespace {

// A conversion's result as Windows gives it: its length alone for a size of
// 0, else copied out when it fits.
template <typename Text, typename Char> int GiveConverted(const Text& out, Char* buffer, int size) {
    if (size == 0)
        return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(size)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(out.begin(), out.end(), buffer);
    return static_cast<int>(out.size());
}

} // namespace

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int count, LPWSTR wide,
                               int size) {
    if ((codePage != CP_ACP && codePage != CP_UTF8) || (flags & ~DWORD(MB_ERR_INVALID_CHARS))) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    bool valid;
    std::u16string out =
        Utf16(count < 0 ? std::string(text) + '\0' : std::string(text, count), &valid);
    if (!valid && (flags & MB_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return GiveConverted(out, wide, size);
}

// As Windows under a UTF-8 system code page: no flag but the strict one, and
// no default character, is taken.
int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int count, LPSTR text,
                               int size, LPCSTR defaultChar, LPBOOL usedDefault) {
    if ((codePage != CP_ACP && codePage != CP_UTF8) || (flags & ~DWORD(WC_ERR_INVALID_CHARS))) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    if (defaultChar || usedDefault) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t length = 0;
    if (count < 0)
        while (wide[length++])
            ;
    bool valid;
    std::string out = Utf8(wide, count < 0 ? length : static_cast<size_t>(count), &valid);
    if (!valid && (flags & WC_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return GiveConverted(out, text, size);
}

} // namespace hostfs
