// Held entries, through the native calls that every Windows since XP has:
// NtOpenFile relative to a folder's handle (RootDirectory) with
// FILE_OPEN_REPARSE_POINT, NtQueryDirectoryFile to list, and
// NtSetInformationFile to change attributes and to delete through the handle.
// The same code runs in the host build, over its model of those calls.
#include "platform/HeldEntry.h"
#include "platform/NativeFiles.h"
#include "platform/PathBuffer.h"

#include <cstddef>
#include <cstring>

namespace {

// Held entries keep others from deleting or renaming them, never from reading.
const ULONG kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
// Writing attributes, to clear a read-only folder before it is deleted.
const ACCESS_MASK kFolderAccess =
    FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | DELETE | SYNCHRONIZE;
// The created folder's: setup is started in it, and Windows opens a current
// folder sharing reading and writing alone.
const ACCESS_MASK kCreatedAccess = kFolderAccess & ~DELETE;
// The attributes FileBasicInformation may set.
const ULONG kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                        FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                        FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// A folder whose entries others still hold open is tried again this often,
// this long apart: a scanner or an indexer lets go within a second or two.
const int kEmptiedTries = 8;
const DWORD kEmptiedPause = 250;

// What a look needs: list a folder, read attributes, clear a read-only one.
// Looks share everything, so that they stand beside any other holder, the
// program's own removal among them.
const ACCESS_MASK kLookAccess = FILE_READ_ATTRIBUTES | SYNCHRONIZE;
const ULONG kLookShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Native(void* handle) {
    return static_cast<HANDLE>(handle);
}

// Opens a path from a drive root as itself, without its trailing backslash,
// which would make Wine go through a link in the last place.
HANDLE OpenByPath(const char* path, ACCESS_MASK access, ULONG share) {
    char own[MAX_PATH];
    if (!PathCopyTrimmed(own, path))
        return INVALID_HANDLE_VALUE;
    return nativeFiles.createFile(own, access, share, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr);
}

// What tells a file or folder from every other: the volume's serial and the
// object's 128-bit id where the system and the volume give them (Windows 8 and
// later), else the 64-bit file index, which ReFS does not keep unique.
struct FileIdentity {
    int wide; // nonzero for the 128-bit id
    FileIdInfo128 id;
};

int Identify(HANDLE handle, FileIdentity* identity) {
    std::memset(identity, 0, sizeof *identity);
    identity->wide = nativeFiles.getFileInformationByHandleEx(handle, kFileIdInfo, &identity->id,
                                                              sizeof identity->id);
    if (identity->wide)
        return 1;
    std::memset(&identity->id, 0, sizeof identity->id);
    BY_HANDLE_FILE_INFORMATION file;
    if (!nativeFiles.getFileInformationByHandle(handle, &file))
        return 0;
    identity->id.volumeSerial = file.dwVolumeSerialNumber;
    uint64_t index = (static_cast<uint64_t>(file.nFileIndexHigh) << 32) | file.nFileIndexLow;
    std::memcpy(identity->id.id, &index, sizeof index);
    return 1;
}

// Whether a handle holds the very file or folder identified.
int IsFile(HANDLE handle, const FileIdentity& file) {
    FileIdentity own;
    return Identify(handle, &own) && own.wide == file.wide &&
           own.id.volumeSerial == file.id.volumeSerial &&
           std::memcmp(own.id.id, file.id.id, sizeof own.id.id) == 0;
}

// The name in the system code page; 0 when it can't be spelt there exactly.
int NarrowName(const WCHAR* name, ULONG bytes, char (&narrow)[MAX_PATH]) {
    int count = static_cast<int>(bytes / sizeof(WCHAR));
    BOOL lossy = FALSE;
    int length = nativeFiles.wideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, count, narrow,
                                                 MAX_PATH - 1, nullptr, &lossy);
    // Code pages such as UTF-8 take neither the flag nor the question, and
    // spell every name; which error they give for them is not promised.
    if (length == 0 && GetLastError() != ERROR_INSUFFICIENT_BUFFER &&
        GetLastError() != ERROR_NO_UNICODE_TRANSLATION) {
        lossy = FALSE;
        length = nativeFiles.wideCharToMultiByte(CP_ACP, 0, name, count, narrow, MAX_PATH - 1,
                                                 nullptr, nullptr);
    }
    if (length <= 0 || lossy)
        return 0;
    narrow[length] = '\0';
    return 1;
}

} // namespace

HeldEntry::HeldEntry() : m_handle(INVALID_HANDLE_VALUE), m_listing(0) {}

HeldEntry::~HeldEntry() {
    Close();
}

int HeldEntry::IsOpen() const {
    return m_handle != INVALID_HANDLE_VALUE;
}

void HeldEntry::Close() {
    if (IsOpen())
        nativeFiles.closeHandle(Native(m_handle));
    m_handle = INVALID_HANDLE_VALUE;
    m_listing = 0;
}

int HeldEntry::OpenPath(const char* path) {
    Close();
    m_handle = OpenByPath(path, kFolderAccess, kShare);
    return IsOpen();
}

int HeldEntry::CreateFolder(const char* path, SECURITY_ATTRIBUTES* security) {
    Close();
    // The native name of a path from a drive root: \??\ before it, no
    // trailing backslash.
    char own[MAX_PATH];
    if (!PathCopyTrimmed(own, path))
        return 0;
    size_t length = std::strlen(own);
    if (length < 3 || own[1] != ':' || own[2] != '\\')
        return 0;
    WCHAR name[4 + MAX_PATH] = {'\\', '?', '?', '\\'};
    int wide = nativeFiles.multiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, own,
                                               static_cast<int>(length), name + 4, MAX_PATH);
    if (wide <= 0)
        return 0;
    UNICODE_STRING nativeName;
    nativeName.Buffer = name;
    nativeName.Length = static_cast<USHORT>((4 + wide) * sizeof(WCHAR));
    nativeName.MaximumLength = nativeName.Length;
    OBJECT_ATTRIBUTES attributes;
    // Never inherited: setup and what it starts get no handle to the folder.
    InitializeObjectAttributes(&attributes, &nativeName, OBJ_CASE_INSENSITIVE, nullptr,
                               security ? security->lpSecurityDescriptor : nullptr);
    IO_STATUS_BLOCK status;
    HANDLE created;
    // FILE_CREATE makes and opens it in one step: nothing can come between.
    if (!NT_SUCCESS(nativeFiles.ntCreateFile(
            &created, kCreatedAccess, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, kShare,
            FILE_CREATE, FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0)))
        return 0;
    m_handle = created;
    return 1;
}

int HeldEntry::ReopenToDelete(const char* path) {
    FileIdentity held;
    if (!IsOpen() || !Identify(Native(m_handle), &held))
        return 0;
    // While this handle, which shares no deleting, is open, no handle that may
    // delete can be opened: it goes first, and the new one must lead to the
    // very folder it held.
    Close();
    if (!OpenPath(path) || !IsFile(Native(m_handle), held)) {
        Close();
        return 0;
    }
    return 1;
}

int HeldEntry::ReopenToLook(const HeldEntry& held, const char* path) {
    Close();
    FileIdentity heldFile;
    if (!held.IsOpen() || !Identify(Native(held.m_handle), &heldFile))
        return 0;
    m_handle = OpenByPath(path, kLookAccess | FILE_LIST_DIRECTORY, kLookShare);
    if (IsOpen() && !IsFile(Native(m_handle), heldFile))
        Close();
    return IsOpen();
}

int HeldEntry::OpenListed(HeldEntry& folder, const ListedEntry& entry) {
    return OpenRelative(folder, entry, DELETE, kShare);
}

int HeldEntry::OpenListedToLook(HeldEntry& folder, const ListedEntry& entry) {
    return OpenRelative(folder, entry, 0, kLookShare);
}

int HeldEntry::OpenRelative(HeldEntry& folder, const ListedEntry& entry, uint32_t deleting,
                            uint32_t share) {
    Close();
    if (!folder.IsOpen() || !folder.m_listing)
        return 0;
    const FILE_DIRECTORY_INFORMATION* listed =
        reinterpret_cast<const FILE_DIRECTORY_INFORMATION*>(folder.m_entry);
    UNICODE_STRING name;
    name.Buffer = const_cast<PWSTR>(listed->FileName);
    name.Length = static_cast<USHORT>(listed->FileNameLength);
    name.MaximumLength = name.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, Native(folder.m_handle),
                               nullptr);
    // Only what the removal needs of it: a folder to list, a read-only file
    // or folder to make writable.
    ACCESS_MASK access = kLookAccess | deleting;
    if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        access |= FILE_LIST_DIRECTORY;
    if (entry.attributes & FILE_ATTRIBUTE_READONLY)
        access |= FILE_WRITE_ATTRIBUTES;
    IO_STATUS_BLOCK status;
    HANDLE opened;
    if (!NT_SUCCESS(nativeFiles.ntOpenFile(&opened, access, &attributes, &status, share,
                                           FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT)))
        return 0;
    m_handle = opened;
    return 1;
}

int HeldEntry::Attributes(uint32_t* attributes) {
    FILE_BASIC_INFORMATION basic;
    IO_STATUS_BLOCK status;
    if (!IsOpen() || !NT_SUCCESS(nativeFiles.ntQueryInformationFile(
                         Native(m_handle), &status, &basic, sizeof basic, FileBasicInformation)))
        return 0;
    *attributes = basic.FileAttributes;
    return 1;
}

int HeldEntry::ClearReadOnly(uint32_t attributes) {
    if (!(attributes & FILE_ATTRIBUTE_READONLY))
        return IsOpen();
    FILE_BASIC_INFORMATION basic;
    std::memset(&basic, 0, sizeof basic); // times of 0 stay as they are
    basic.FileAttributes = attributes & kSettable & ~FILE_ATTRIBUTE_READONLY;
    // 0 would leave the attributes as they are.
    if (basic.FileAttributes == 0)
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    IO_STATUS_BLOCK status;
    return IsOpen() && NT_SUCCESS(nativeFiles.ntSetInformationFile(
                           Native(m_handle), &status, &basic, sizeof basic, FileBasicInformation));
}

// Where the system has it, the name goes when the handle closes, even while
// others still hold it open, and read-only entries go too; elsewhere, and on
// volumes that refuse it, the name stays until the last handle closes.
static NTSTATUS MarkDeleted(HANDLE handle) {
    IO_STATUS_BLOCK status;
    FileDispositionEx posix = {kDispositionDelete | kDispositionPosixSemantics |
                               kDispositionIgnoreReadOnly};
    if (NT_SUCCESS(nativeFiles.ntSetInformationFile(
            handle, &status, &posix, sizeof posix,
            static_cast<FILE_INFORMATION_CLASS>(kFileDispositionInformationEx))))
        return STATUS_SUCCESS;
    FILE_DISPOSITION_INFORMATION disposition;
    disposition.DoDeleteFile = TRUE;
    return nativeFiles.ntSetInformationFile(handle, &status, &disposition, sizeof disposition,
                                            FileDispositionInformation);
}

int HeldEntry::Delete() {
    return IsOpen() && NT_SUCCESS(MarkDeleted(Native(m_handle)));
}

int HeldEntry::DeleteEmptied() {
    for (int tries = 1; IsOpen(); ++tries) {
        NTSTATUS marked = MarkDeleted(Native(m_handle));
        if (NT_SUCCESS(marked))
            return 1;
        if (marked != STATUS_DIRECTORY_NOT_EMPTY || tries == kEmptiedTries)
            return 0;
        nativeFiles.sleep(kEmptiedPause);
    }
    return 0;
}

// Whether a listed name is "." or "..", told from the name as listed: one
// the code page can't spell is none of them.
static int IsSelfOrParent(const FILE_DIRECTORY_INFORMATION* info) {
    ULONG length = info->FileNameLength / sizeof(WCHAR);
    return (length == 1 || length == 2) && info->FileName[0] == '.' &&
           info->FileName[length - 1] == '.';
}

int HeldEntry::NextEntry(ListedEntry* entry) {
    if (!IsOpen())
        return 0;
    const FILE_DIRECTORY_INFORMATION* info =
        reinterpret_cast<const FILE_DIRECTORY_INFORMATION*>(m_entry);
    do {
        IO_STATUS_BLOCK status;
        // One entry at a time, so that each level of a walk needs only this
        // buffer.
        NTSTATUS listed = nativeFiles.ntQueryDirectoryFile(
            Native(m_handle), nullptr, nullptr, nullptr, &status, m_entry, sizeof m_entry,
            FileDirectoryInformation, TRUE, nullptr, m_listing ? FALSE : TRUE);
        m_listing = 1;
        if (listed != 0) // STATUS_NO_MORE_FILES ends it, as does any failure
            return 0;
    } while (IsSelfOrParent(info));
    if (!NarrowName(info->FileName, info->FileNameLength, entry->name))
        entry->name[0] = '\0';
    entry->startsWithDot = info->FileNameLength >= sizeof(WCHAR) && info->FileName[0] == '.';
    entry->attributes = info->FileAttributes;
    entry->sizeLow = static_cast<uint32_t>(info->EndOfFile.QuadPart);
    return 1;
}
