// Deleting the temporary copy: every file, then the emptied folders bottom-up.
#include "patch/PatchRun.h"
#include "patch/PathBuffer.h"
#include "platform/Crt.h"
#include "platform/Win32Api.h"

#include <cstring>

namespace {

bool IsPlainFolder(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Opens the folder itself, never what a link in its place leads to, and keeps
// it from being renamed or deleted while the handle is open: the folder listed
// and emptied by path is then the one that was checked. Invalid when the path
// is not a real folder (a link, a file, nothing) or can't be opened.
HANDLE HoldFolder(const char* folder) {
    char path[kWalkPathSize];
    if (!PathCopy(path, folder))
        return INVALID_HANDLE_VALUE;
    size_t length = strlen(path);
    if (length > 3 && path[length - 1] == '\\')
        path[length - 1] = '\0';
    HANDLE held = CreateFileA(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (held == INVALID_HANDLE_VALUE)
        return held;
    BY_HANDLE_FILE_INFORMATION info;
    // Wine opens what a link leads to even when asked for the link itself, so
    // the path's own attributes, read while the folder is held, must agree.
    DWORD attributes = GetFileAttributesA(path);
    if (GetFileInformationByHandle(held, &info) && IsPlainFolder(info.dwFileAttributes) &&
        attributes != INVALID_FILE_ATTRIBUTES && IsPlainFolder(attributes))
        return held;
    CloseHandle(held);
    return INVALID_HANDLE_VALUE;
}

} // namespace

int PatchRun::RemoveTree(const char* folder, ProgressCallback callback) {
    // A link planted where the copy goes, or anything else that is not a
    // folder that can be held, loses only its own name.
    HANDLE held = HoldFolder(folder);
    if (held == INVALID_HANDLE_VALUE)
        return RemoveDirectoryA(folder);

    char path[kWalkPathSize];
    WIN32_FIND_DATAA entry;
    HANDLE find = INVALID_HANDLE_VALUE;
    if (PathCopy(path, folder) && PathAppendSeparator(path) && PathAppend(path, "*"))
        find = FindFirstFileA(path, &entry);
    if (find == INVALID_HANDLE_VALUE) {
        CloseHandle(held);
        return 0;
    }
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
    // Held to the last moment; a folder can't be removed while it is open.
    CloseHandle(held);
    return RemoveDirectoryA(folder);
}
