#include "TestDrives.h"

#include <windows.h>

#include <gtest/gtest.h>

const char kTestRoot[] = "C:\\PatcherTests";

namespace {

void EmptyFolder(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        RemoveAll(folder + "\\" + name);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

} // namespace

TestDrives::TestDrives() {
    EmptyFolder("D:");
    EmptyFolder("E:");
    RemoveAll(kTestRoot);
    MakeFolder(kTestRoot);
}

TestDrives::~TestDrives() {
    EmptyFolder("D:");
    EmptyFolder("E:");
    RemoveAll(kTestRoot);
}

void MakeFolder(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

void MakeFile(const std::string& path, const std::string& content, bool readOnly) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, content.size());
    if (readOnly)
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
}

std::string ReadAll(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string s(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!s.empty())
        ReadFile(file, &s[0], static_cast<DWORD>(s.size()), &read, nullptr);
    CloseHandle(file);
    s.resize(read);
    return s;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsReadOnly(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

void RemoveAll(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        EmptyFolder(path);
        RemoveDirectoryA(path.c_str());
        return;
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(path.c_str()))
        RemoveDirectoryA(path.c_str());
}
