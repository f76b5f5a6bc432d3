// Deleting the temporary copy: every file, then the emptied folders bottom-up.
#include "patch/PatchRun.h"
#include "patch/PathBuffer.h"
#include "platform/Crt.h"
#include "platform/Win32Api.h"

#include <cstring>

namespace {

// A junction or directory link: removing it must never reach what it leads to.
bool IsLink(const char* folder) {
    char path[kWalkPathSize];
    if (!PathCopy(path, folder))
        return false;
    size_t length = strlen(path);
    if (length > 3 && path[length - 1] == '\\')
        path[length - 1] = '\0';
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace

int PatchRun::RemoveTree(const char* folder, ProgressCallback callback) {
    // A folder planted as a link where the copy goes loses only the link.
    if (IsLink(folder))
        return RemoveDirectoryA(folder);

    char path[kWalkPathSize];
    WIN32_FIND_DATAA entry;
    if (!PathCopy(path, folder) || !PathAppendSeparator(path) || !PathAppend(path, "*"))
        return 0;
    HANDLE find = FindFirstFileA(path, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        // As in the copy, names that start with a full stop are left alone.
        if (entry.cFileName[0] == '.')
            continue;
        // An entry whose path would not fit is passed over, like one that can't be deleted.
        if (!PathJoin(path, folder, entry.cFileName))
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // Links are removed themselves and never followed, so nothing
            // outside the folder is ever deleted.
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryA(path);
                continue;
            }
        } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(path, callback);
            continue;
        } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
            crt::chmod(path, crt::kWriteAttribute);
        }
        DeleteFileA(path);
        if (callback)
            callback(path, static_cast<int32_t>(entry.nFileSizeLow));
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return RemoveDirectoryA(folder);
}
