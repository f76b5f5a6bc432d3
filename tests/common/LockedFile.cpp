// The locked file of both builds: one handle without sharing, as on Windows,
// which the host's model of the volume keeps too.
#include "TestDrives.h"
#include "platform/Win32Api.h"

#include <gtest/gtest.h>

LockedFile::LockedFile(const std::string& path)
    : m_handle(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {
    EXPECT_NE(m_handle, INVALID_HANDLE_VALUE) << path;
}

LockedFile::~LockedFile() {
    if (m_handle != INVALID_HANDLE_VALUE)
        CloseHandle(m_handle);
}
