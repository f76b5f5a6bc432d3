// The program's icon, version record and manifest, as linked into a program.
#include <gtest/gtest.h>
#include <windows.h>

#include "res/resource.h"

#include <string>

namespace {

std::string Resource(LPCSTR type, LPCSTR name) {
    HRSRC found = FindResourceA(nullptr, name, type);
    if (!found)
        return "";
    const char* data = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
    return std::string(data, SizeofResource(nullptr, found));
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(ResourcesTest, IconGroupHoldsOne64By64ImageOf16Colours) {
    std::string group =
        Resource(MAKEINTRESOURCEA(14) /*RT_GROUP_ICON*/, MAKEINTRESOURCEA(IDR_MAINFRAME));
    ASSERT_EQ(group.size(), 6 + sizeof(GroupIconEntry));
    EXPECT_EQ(*reinterpret_cast<const WORD*>(group.data() + 4), 1); // one image
    GroupIconEntry entry;
    memcpy(&entry, group.data() + 6, sizeof entry);
    EXPECT_EQ(entry.width, 64);
    EXPECT_EQ(entry.height, 64);
    EXPECT_EQ(entry.colours, 16);
    EXPECT_EQ(entry.bitCount, 4);

    std::string image = Resource(MAKEINTRESOURCEA(3) /*RT_ICON*/, MAKEINTRESOURCEA(entry.id));
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    memcpy(&header, image.data(), sizeof header);
    EXPECT_EQ(header.biWidth, 64);
    EXPECT_EQ(header.biHeight, 128); // the colours and the mask
    EXPECT_EQ(header.biBitCount, 4);
    EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME)), nullptr);
}

TEST(ResourcesTest, VersionRecordIs1001ForEnglishOnWindowsLatin1) {
    std::string data = Resource(MAKEINTRESOURCEA(16) /*RT_VERSION*/, MAKEINTRESOURCEA(1));
    ASSERT_FALSE(data.empty());
    VS_FIXEDFILEINFO* fixed;
    UINT length;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translation;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1252);
    wchar_t* version;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904e4\\FileVersion",
                               reinterpret_cast<void**>(&version), &length));
    EXPECT_STREQ(version, L"1.0.0.1");
}

TEST(ResourcesTest, ManifestAsksForAdministratorCommonControls6AndSystemDpi) {
    std::string manifest = Resource(MAKEINTRESOURCEA(24) /*RT_MANIFEST*/, MAKEINTRESOURCEA(1));
    const char* architecture = sizeof(void*) == 4 ? "x86" : "amd64";
    EXPECT_NE(manifest.find("processorArchitecture=\"" + std::string(architecture) + "\"/>"),
              std::string::npos)
        << "the program's own identity names " << architecture;
    // XP SP2 and SP3 parse the request in this namespace only.
    EXPECT_NE(manifest.find("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v2\">"),
              std::string::npos);
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    EXPECT_NE(manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/"
                            "WindowsSettings\">true</dpiAware>"),
              std::string::npos);
}

} // namespace
