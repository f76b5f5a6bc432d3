// Deletes at the next start of Windows. The session manager keeps them in the
// registry value "PendingFileRenameOperations": pairs of UTF-16 names, each
// ending in a NUL, the first what to act on ("\??\" and its full path), the
// second its new name or, for a delete, empty; one more NUL ends the list.
// MoveFileExA names one entry by reading and rewriting the whole value, so a
// whole tree costs time in the square of its size; here it is named in one
// write, and names that no longer apply are taken out again.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>

typedef char16_t Utf16;

// What MoveFileExA puts before a full path in the list.
const Utf16 kNtPrefix[] = {'\\', '?', '?', '\\'};

// Items in one block that doubles as it fills; a growth that fails is
// reported, never thrown.
template <class T> class Growing {
  public:
    Growing() : m_items(nullptr), m_length(0), m_capacity(0) {}
    ~Growing() { std::free(m_items); }
    Growing(const Growing&) = delete;
    Growing& operator=(const Growing&) = delete;

    // Room for `more` items past the end.
    int Reserve(size_t more) {
        if (more <= m_capacity - m_length)
            return 1;
        size_t capacity = m_capacity ? m_capacity : 256;
        while (capacity - m_length < more) {
            if (capacity > static_cast<size_t>(-1) / 2 / sizeof(T))
                return 0;
            capacity *= 2;
        }
        T* grown = static_cast<T*>(std::realloc(m_items, capacity * sizeof(T)));
        if (!grown)
            return 0;
        m_items = grown;
        m_capacity = capacity;
        return 1;
    }
    int Append(const T* items, size_t count) {
        if (!Reserve(count))
            return 0;
        if (count)
            std::memcpy(m_items + m_length, items, count * sizeof(T));
        m_length += count;
        return 1;
    }
    // Takes in `count` items written past the end, after a Reserve.
    void Extend(size_t count) { m_length += count; }
    void Truncate(size_t length) { m_length = length < m_length ? length : m_length; }
    void Clear() { m_length = 0; }
    T* Items() { return m_items; }
    const T* Items() const { return m_items; }
    size_t Length() const { return m_length; }

  private:
    T* m_items;
    size_t m_length, m_capacity;
};

// 1 when `name` (a full path, without "\??\") is the folder `folderName` (a
// name with its trailing backslash, as "QuillmendTemp\") at the root of a
// fixed drive, or lies under it: the names the program gives its copy.
int IsTempFolderName(const Utf16* name, size_t length, const char* folderName);
int IsTempFolderName(const char* name, const char* folderName);

// Copies the list `value` into `kept`, its end included, without the deletes
// of names IsTempFolderName gives 1 for; 1 and how many went. 0 when `value`
// is no such list (a name without its end, a pair without its second name,
// anything after the list's end): nothing of it can then be kept safely.
int WithoutTempFolderDeletes(const Utf16* value, size_t length, const char* folderName,
                             Growing<Utf16>* kept, size_t* removed);

// The names of one tree, collected and then named for deletion at the next
// start of Windows, in the order given: each entry before the folder it lies in.
class RestartDeletes {
  public:
    explicit RestartDeletes(const char* folderName)
        : m_folderName(folderName), m_count(0), m_complete(1) {}

    // A full path in the system code page; 0 when it could not be kept.
    int Add(const char* path);
    // Names them all in one write of the value, without the earlier names of
    // the program's copy; where that write is refused, one MoveFileExA each.
    // 1 when every name given is named.
    int Schedule();

  private:
    const char* m_folderName;
    Growing<char> m_names; // the paths, each ending in a NUL
    size_t m_count;
    int m_complete; // 0 once a name could not be kept
};

// Takes every delete of the program's copy (IsTempFolderName) out of the
// value and keeps every other pair as it was, in its order; the value goes
// when nothing is left. 1 when none is scheduled any more; 0, and the value
// as it was, when it can't be read, is no list of names, or can't be changed.
int WithdrawRestartDeletes(const char* folderName);
