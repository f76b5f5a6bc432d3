// Paths are built in fixed-size buffers. Every copy and append is checked: a
// path that would not fit makes the call return 0 and leaves the buffer as it
// was, so a path is never cut short and never written past its buffer.
#pragma once

#include <cstddef>
#include <cstring>

inline int PathCopy(char* buffer, size_t size, const char* text) {
    size_t length = std::strlen(text);
    if (length >= size)
        return 0;
    std::memcpy(buffer, text, length + 1);
    return 1;
}

inline int PathAppend(char* buffer, size_t size, const char* text) {
    size_t used = std::strlen(buffer);
    size_t length = std::strlen(text);
    if (used + length >= size)
        return 0;
    std::memcpy(buffer + used, text, length + 1);
    return 1;
}

// Adds the backslash that separates a folder from a name, unless the folder is
// empty or already ends in one.
inline int PathAppendSeparator(char* buffer, size_t size) {
    size_t used = std::strlen(buffer);
    if (used == 0 || buffer[used - 1] == '\\')
        return 1;
    return PathAppend(buffer, size, "\\");
}

// Drops the backslashes that end a path, except a drive root's own ("C:\\"):
// the path then names the entry itself, where a trailing backslash would have
// Wine read what a link there leads to.
inline void PathTrimSeparator(char* path) {
    size_t length = std::strlen(path);
    while (length > 3 && path[length - 1] == '\\')
        path[--length] = '\0';
}

// Folder, separator, name: the usual way an entry's path is formed.
inline int PathJoin(char* buffer, size_t size, const char* folder, const char* name) {
    return PathCopy(buffer, size, folder) && PathAppendSeparator(buffer, size) &&
           PathAppend(buffer, size, name);
}

template <size_t N> int PathCopy(char (&buffer)[N], const char* text) {
    return PathCopy(buffer, N, text);
}
template <size_t N> int PathAppend(char (&buffer)[N], const char* text) {
    return PathAppend(buffer, N, text);
}
template <size_t N> int PathAppendSeparator(char (&buffer)[N]) {
    return PathAppendSeparator(buffer, N);
}
// A copy of the path without its trailing backslashes, as PathTrimSeparator.
template <size_t N> int PathCopyTrimmed(char (&buffer)[N], const char* path) {
    if (!PathCopy(buffer, N, path))
        return 0;
    PathTrimSeparator(buffer);
    return 1;
}
template <size_t N> int PathJoin(char (&buffer)[N], const char* folder, const char* name) {
    return PathJoin(buffer, N, folder, name);
}
