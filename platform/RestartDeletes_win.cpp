// The value itself, in the registry, read and written whole.
#include "platform/RestartDeletes.h"

#include <windows.h>

#include <climits>

static_assert(sizeof(wchar_t) == sizeof(Utf16), "the registry's names are UTF-16");

namespace {

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPending[] = L"PendingFileRenameOperations";

// The session manager's key, to read and change the value. The key is one for
// x86 and x86-64 programs; the 64-bit view is asked for all the same, which
// 32-bit Windows, XP's included, takes and ignores.
HKEY OpenSessionManager() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

// 1 and the list as the value holds it (nothing when there is no value); 0
// when it can't be read or is no list of names.
int ReadPending(HKEY key, Growing<Utf16>* value) {
    value->Clear();
    // Another program may make it longer between the two reads.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, size = 0;
        LONG status = RegQueryValueExW(key, kPending, nullptr, &type, nullptr, &size);
        if (status == ERROR_FILE_NOT_FOUND)
            return 1;
        if (status != ERROR_SUCCESS || type != REG_MULTI_SZ || size % sizeof(Utf16) ||
            !value->Reserve(size / sizeof(Utf16) + 1))
            return 0;
        status = RegQueryValueExW(key, kPending, nullptr, &type,
                                  reinterpret_cast<BYTE*>(value->Items()), &size);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS || type != REG_MULTI_SZ || size % sizeof(Utf16))
            return 0;
        value->Extend(size / sizeof(Utf16));
        return 1;
    }
    return 0;
}

// Writes the list, or deletes the value when it holds no pair.
int WritePending(HKEY key, const Growing<Utf16>& list) {
    if (list.Length() <= 1)
        return RegDeleteValueW(key, kPending) == ERROR_SUCCESS;
    if (list.Length() > MAXDWORD / sizeof(Utf16))
        return 0;
    return RegSetValueExW(key, kPending, 0, REG_MULTI_SZ,
                          reinterpret_cast<const BYTE*>(list.Items()),
                          static_cast<DWORD>(list.Length() * sizeof(Utf16))) == ERROR_SUCCESS;
}

// Appends a delete of `path` as MoveFileExA writes one: "\??\" and the path,
// converted as the system converts its narrow names, then an empty name.
int AppendDelete(Growing<Utf16>* list, const char* path) {
    size_t length = std::strlen(path) + 1;
    if (length > static_cast<size_t>(INT_MAX) ||
        !list->Append(kNtPrefix, sizeof kNtPrefix / sizeof *kNtPrefix) ||
        !list->Reserve(length + 1))
        return 0;
    int converted = MultiByteToWideChar(CP_ACP, 0, path, static_cast<int>(length),
                                        reinterpret_cast<wchar_t*>(list->Items() + list->Length()),
                                        static_cast<int>(length));
    if (converted <= 1)
        return 0;
    list->Extend(static_cast<size_t>(converted));
    const Utf16 empty = 0;
    return list->Append(&empty, 1);
}

} // namespace

int RestartDeletes::Schedule() {
    if (m_count == 0)
        return m_complete;
    int written = 0;
    if (HKEY key = OpenSessionManager()) {
        Growing<Utf16> value, list;
        size_t removed;
        if (ReadPending(key, &value) && WithoutTempFolderDeletes(value.Items(), value.Length(),
                                                                 m_folderName, &list, &removed)) {
            // The list's end goes after the new pairs.
            list.Truncate(list.Length() - 1);
            int built = 1;
            for (size_t at = 0; built && at < m_names.Length();
                 at += std::strlen(m_names.Items() + at) + 1)
                built = AppendDelete(&list, m_names.Items() + at);
            const Utf16 end = 0;
            written = built && list.Append(&end, 1) && WritePending(key, list);
        }
        RegCloseKey(key);
    }
    if (written)
        return m_complete;
    // The value could not be written here (not elevated, say, or a list this
    // program can't read): Windows' own call names each, as it can.
    int all = m_complete;
    for (size_t at = 0; at < m_names.Length(); at += std::strlen(m_names.Items() + at) + 1)
        all &= MoveFileExA(m_names.Items() + at, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
    return all;
}

int WithdrawRestartDeletes(const char* folderName) {
    HKEY key = OpenSessionManager();
    if (!key)
        return 0;
    Growing<Utf16> value, kept;
    size_t removed = 0;
    int done = ReadPending(key, &value) &&
               (value.Length() == 0 || (WithoutTempFolderDeletes(value.Items(), value.Length(),
                                                                 folderName, &kept, &removed) &&
                                        (removed == 0 || WritePending(key, kept))));
    RegCloseKey(key);
    return done;
}
