// The embedded replacement package, and writing it over the copy's package.
#include "patch/PatchRun.h"
#include "patch/ReplacementPackage.h"
#include "platform/HostFs.h"
#include "platform/Win32Api.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t LittleEndian(const unsigned char* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

TEST(ReplacementPackage, IsTheSignedPackageFileTheBuildMade) {
    std::string built = ReadHostFile(PACKAGE_FILE);
    ASSERT_FALSE(built.empty()) << "cannot read " << PACKAGE_FILE;
    ASSERT_EQ(ReplacementPackageSize, built.size());
    EXPECT_EQ(std::memcmp(ReplacementPackage, built.data(), built.size()), 0);
}

TEST(ReplacementPackage, IsAWindowsInstallerCompoundFile) {
    const unsigned char signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    ASSERT_GE(ReplacementPackageSize, 512u);
    EXPECT_EQ(std::memcmp(ReplacementPackage, signature, sizeof signature), 0);

    // The root storage is the directory's first entry; its class id sits 0x50 in.
    uint32_t sectorShift = LittleEndian(ReplacementPackage + 0x1E, 2);
    ASSERT_TRUE(sectorShift == 9 || sectorShift == 12) << sectorShift;
    size_t root = (size_t{LittleEndian(ReplacementPackage + 0x30, 4)} + 1) << sectorShift;
    ASSERT_LE(root + 128, ReplacementPackageSize);
    const unsigned char installerClass[] = {0x84, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                            0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    EXPECT_EQ(ReplacementPackage[root + 0x42], 5) << "the first entry is not the root storage";
    EXPECT_EQ(std::memcmp(ReplacementPackage + root + 0x50, installerClass, 16), 0);
}

struct PackageWrite : ::testing::Test {
    std::string host;

    void SetUp() override {
        char pattern[] = "/tmp/patcher-package-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        host = pattern;
        fs::create_directory(host + "/Disc");
        hostfs::Reset();
        hostfs::MapDrive('C', host, DRIVE_FIXED);
    }

    void TearDown() override {
        EXPECT_EQ(hostfs::OpenFiles(), 0) << "a file was left open";
        hostfs::Reset();
        fs::remove_all(host);
    }

    std::string Written(const std::string& hostFile) { return ReadHostFile(host + hostFile); }

    std::string Embedded() {
        return std::string(reinterpret_cast<const char*>(ReplacementPackage),
                           ReplacementPackageSize);
    }

    // A package file longer than the replacement, so that a write that does not
    // truncate would leave its tail behind.
    void PlantLongerPackage(const std::string& hostFile) {
        std::ofstream(host + hostFile, std::ios::binary)
            << std::string(ReplacementPackageSize + 4096, 'x');
    }
};

TEST_F(PackageWrite, ReplacesTheFileWithExactlyTheEmbeddedBytes) {
    struct Case {
        const char* folder;
        const char* hostFile;
        bool existing;
    };
    const Case cases[] = {
        {"C:\\Disc", "/Disc/Vardenholt.msi", true},
        {"C:\\Disc\\", "/Disc/Vardenholt.msi", true},
        {"C:\\", "/Vardenholt.msi", true},
        {"C:\\Disc", "/Disc/Vardenholt.msi", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + (c.existing ? ", over a longer file" : ", no file"));
        fs::remove(host + c.hostFile);
        if (c.existing)
            PlantLongerPackage(c.hostFile);
        EXPECT_EQ(PatchRun::WritePackage(c.folder), 1);
        std::string written = Written(c.hostFile);
        EXPECT_EQ(written.size(), ReplacementPackageSize);
        EXPECT_TRUE(written == Embedded()) << "the written bytes differ from the embedded package";
    }
}

TEST_F(PackageWrite, FailsWhenTheFileCannotBeWrittenWhole) {
    struct Case {
        const char* what;
        hostfs::Fault fault;
    };
    const Case cases[] = {
        {"open fails", hostfs::Fault::OpenWrite},
        {"short write", hostfs::Fault::Write},
        {"close cannot flush", hostfs::Fault::Close},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        hostfs::Reset();
        hostfs::MapDrive('C', host, DRIVE_FIXED);
        PlantLongerPackage("/Disc/Vardenholt.msi");
        hostfs::FailOn(c.fault, "C:\\Disc\\Vardenholt.msi");
        EXPECT_EQ(PatchRun::WritePackage("C:\\Disc\\"), 0);
        EXPECT_EQ(hostfs::OpenFiles(), 0) << "the package file was left open";
    }
}

TEST_F(PackageWrite, FailsWhenTheFolderIsMissing) {
    EXPECT_EQ(PatchRun::WritePackage("C:\\Missing\\"), 0);
    EXPECT_FALSE(fs::exists(host + "/Missing"));
}

} // namespace
