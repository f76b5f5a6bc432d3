// What both builds share of the deletes at the next start: which names are the
// copy's, the value's list without them, and the names collected for a write.
#include "platform/RestartDeletes.h"
#include "platform/Win32Api.h"

namespace {

int Lower(int c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

// Both kinds of name, looked at unit by unit.
template <class Char> int IsTempFolderNameOf(const Char* name, size_t length, const char* folder) {
    // "X:\" of a fixed drive.
    if (length < 3 || name[1] != ':' || name[2] != '\\' || Lower(name[0]) < 'a' ||
        Lower(name[0]) > 'z')
        return 0;
    const char root[] = {static_cast<char>(name[0]), ':', '\\', '\0'};
    if (GetDriveTypeA(root) != DRIVE_FIXED)
        return 0;
    // The folder's name, in any case, as Windows compares names.
    size_t at = 3;
    size_t folderLength = std::strlen(folder) - 1; // without its backslash
    for (size_t i = 0; i < folderLength; ++i, ++at)
        if (at >= length || Lower(name[at]) != Lower(static_cast<unsigned char>(folder[i])))
            return 0;
    if (at == length)
        return 1;
    if (name[at] != '\\')
        return 0;
    // Then names, none empty (but for a closing backslash), "." or "..":
    // a name that leads out of the folder was never the program's.
    for (size_t start = ++at; at <= length; ++at) {
        if (at < length && name[at] != '\\')
            continue;
        size_t part = at - start;
        if ((part == 0 && at < length) || (part == 1 && name[start] == '.') ||
            (part == 2 && name[start] == '.' && name[start + 1] == '.'))
            return 0;
        start = at + 1;
    }
    return 1;
}

// The end of the NUL-terminated name at `at`, or `length` when it has none.
size_t EndOf(const Utf16* value, size_t length, size_t at) {
    while (at < length && value[at] != 0)
        ++at;
    return at;
}

} // namespace

int IsTempFolderName(const Utf16* name, size_t length, const char* folderName) {
    return IsTempFolderNameOf(name, length, folderName);
}

int IsTempFolderName(const char* name, const char* folderName) {
    return IsTempFolderNameOf(name, std::strlen(name), folderName);
}

int WithoutTempFolderDeletes(const Utf16* value, size_t length, const char* folderName,
                             Growing<Utf16>* kept, size_t* removed) {
    kept->Clear();
    *removed = 0;
    size_t at = 0;
    while (at < length && value[at] != 0) {
        size_t source = at;
        size_t sourceEnd = EndOf(value, length, source);
        size_t targetEnd = EndOf(value, length, sourceEnd + 1);
        if (targetEnd >= length) {
            kept->Clear();
            return 0;
        }
        at = targetEnd + 1;
        size_t sourceLength = sourceEnd - source;
        if (targetEnd == sourceEnd + 1 && sourceLength > 4 &&
            std::memcmp(value + source, kNtPrefix, sizeof kNtPrefix) == 0 &&
            IsTempFolderName(value + source + 4, sourceLength - 4, folderName)) {
            ++*removed;
            continue;
        }
        if (!kept->Append(value + source, at - source)) {
            kept->Clear();
            return 0;
        }
    }
    // Past the list's end there may be padding, never more names.
    for (; at < length; ++at)
        if (value[at] != 0) {
            kept->Clear();
            return 0;
        }
    const Utf16 end = 0;
    return kept->Append(&end, 1);
}

int RestartDeletes::Add(const char* path) {
    if (!m_names.Append(path, std::strlen(path) + 1)) {
        m_complete = 0;
        return 0;
    }
    ++m_count;
    return 1;
}
