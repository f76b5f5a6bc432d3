// The host model of the volume seen through the Win32 calls and the C runtime
// (what the copy and the discovery use) and through the native calls (what
// the removal uses): one volume, so every view gives the same answers.
#include "TestDrives.h"

#include "platform/Crt.h"
#include "platform/HostFs.h"
#include "platform/NativeFiles.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace {

// What a view tells of one entry of a folder: its attributes as the folder
// lists them and as the entry itself gives them (INVALID_FILE_ATTRIBUTES for
// none), and whether it opens for reading.
struct View {
    DWORD listed;
    DWORD attributes;
    bool opens;
    bool operator==(const View& o) const {
        return listed == o.listed && attributes == o.attributes && opens == o.opens;
    }
};

std::ostream& operator<<(std::ostream& out, const View& v) {
    return out << "{listed " << std::hex << v.listed << ", attributes " << v.attributes
               << ", opens " << v.opens << "}";
}

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// FILE_READ_DATA, which is FILE_LIST_DIRECTORY's value for a folder.
const ACCESS_MASK kReadData = 0x0001;

View Win32View(const std::string& folder, const std::string& name) {
    std::string path = folder + "\\" + name;
    View view = {INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()), false};
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &data))
        if (name == data.cFileName)
            view.listed = data.dwFileAttributes;
    FindClose(find);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    view.opens = file != INVALID_HANDLE_VALUE;
    if (view.opens)
        CloseHandle(file);
    return view;
}

// A file as the C runtime opens it: the rest as the Win32 calls see it.
View RuntimeView(const std::string& folder, const std::string& name) {
    View view = Win32View(folder, name);
    FILE* file = crt::fopen((folder + "\\" + name).c_str(), "rb");
    view.opens = file != nullptr;
    if (file)
        crt::fclose(file);
    return view;
}

// Opens `name` relative to a folder's handle, as the held entries do.
HANDLE OpenRelative(HANDLE folder, const std::string& name, ACCESS_MASK access, ULONG share) {
    std::u16string wide(name.begin(), name.end());
    UNICODE_STRING nativeName = {static_cast<USHORT>(wide.size() * 2),
                                 static_cast<USHORT>(wide.size() * 2), wide.data()};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &nativeName, 0, folder, nullptr);
    IO_STATUS_BLOCK io;
    HANDLE handle = nullptr;
    return NT_SUCCESS(nativeFiles.ntOpenFile(&handle, access | SYNCHRONIZE, &attributes, &io, share,
                                             FILE_SYNCHRONOUS_IO_NONALERT))
               ? handle
               : nullptr;
}

View NativeView(const std::string& folder, const std::string& name) {
    View view = {INVALID_FILE_ATTRIBUTES, INVALID_FILE_ATTRIBUTES, false};
    HANDLE held = nativeFiles.createFile(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                         kShareAll, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (held == INVALID_HANDLE_VALUE)
        return view;
    alignas(8) unsigned char buffer[1024];
    auto* info = reinterpret_cast<FILE_DIRECTORY_INFORMATION*>(buffer);
    IO_STATUS_BLOCK io;
    for (BOOLEAN restart = TRUE; NT_SUCCESS(nativeFiles.ntQueryDirectoryFile(
             held, nullptr, nullptr, nullptr, &io, buffer, sizeof buffer, FileDirectoryInformation,
             TRUE, nullptr, restart));
         restart = FALSE)
        if (std::u16string(info->FileName, info->FileNameLength / 2) ==
            std::u16string(name.begin(), name.end()))
            view.listed = info->FileAttributes;
    if (HANDLE entry = OpenRelative(held, name, FILE_READ_ATTRIBUTES, kShareAll)) {
        FILE_BASIC_INFORMATION basic;
        if (NT_SUCCESS(nativeFiles.ntQueryInformationFile(entry, &io, &basic, sizeof basic,
                                                          FileBasicInformation)))
            view.attributes = basic.FileAttributes;
        nativeFiles.closeHandle(entry);
    }
    if (HANDLE entry = OpenRelative(held, name, kReadData, FILE_SHARE_READ | FILE_SHARE_WRITE)) {
        view.opens = true;
        nativeFiles.closeHandle(entry);
    }
    nativeFiles.closeHandle(held);
    return view;
}

// Deletes a file through a handle the old way, which leaves its name while
// another handle is open on it.
void DeleteThroughHandle(const std::string& path) {
    HANDLE file =
        nativeFiles.createFile(path.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILE_DISPOSITION_INFORMATION disposition = {TRUE};
    IO_STATUS_BLOCK io;
    EXPECT_TRUE(NT_SUCCESS(nativeFiles.ntSetInformationFile(
        file, &io, &disposition, sizeof disposition, FileDispositionInformation)));
    nativeFiles.closeHandle(file);
}

TEST(VolumeViews, AgreeOnReadOnlyFoldersHeldFilesAndPendingDeletes) {
    TestDrives drives;
    const std::string folder = std::string(kTestRoot) + "\\views";
    const DWORD kFile = FILE_ATTRIBUTE_ARCHIVE;
    struct Case {
        const char* what;
        const char* name;
        DWORD share; // of another program's handle on it; none when 0xFF
        bool deleted;
        View expected;
    } cases[] = {
        {"a read-only folder",
         "fixed",
         0xFF,
         false,
         {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY,
          FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY, true}},
        // Attributes are read without regard to sharing.
        {"a file held without sharing", "held.dat", 0, false, {kFile, kFile, false}},
        // The name stays listed, and opens to no one.
        {"a file pending deletion",
         "going.dat",
         kShareAll,
         true,
         {kFile, INVALID_FILE_ATTRIBUTES, false}},
    };
    MakeFolder(folder + "\\fixed");
    hostfs::SetFolderReadOnly(folder + "\\fixed");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = folder + "\\" + c.name;
        bool file = c.share != 0xFF;
        HANDLE other = INVALID_HANDLE_VALUE;
        if (file) {
            MakeFile(path, "data");
            other = CreateFileA(path.c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING, 0,
                                nullptr);
            ASSERT_NE(other, INVALID_HANDLE_VALUE);
        }
        if (c.deleted)
            DeleteThroughHandle(path);
        EXPECT_EQ(Win32View(folder, c.name), c.expected);
        EXPECT_EQ(NativeView(folder, c.name), c.expected);
        if (file) {
            EXPECT_EQ(RuntimeView(folder, c.name), c.expected);
        }
        if (other != INVALID_HANDLE_VALUE)
            CloseHandle(other);
    }
    EXPECT_FALSE(Exists(folder + "\\going.dat")) << "the pending delete was not made";
}

} // namespace
