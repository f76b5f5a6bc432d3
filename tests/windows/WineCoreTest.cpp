// What only the real Win32 layer under Wine can show: the prefix's drive
// types, the temporary folder's security, links planted by another user, and
// what the end of a session leaves for the next start of Windows.
#include "TestDrives.h"

#include "RecordArgsPath.h"
#include "app/PatcherDlg.h"
#include "patch/PatchRun.h"
#include "patch/ReplacementPackage.h"
#include "platform/PrivateSecurity.h"
#include "platform/RestartDeletes.h"
#include "res/resource.h"

#include <windows.h>

#include <aclapi.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sddl.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(WineDrives, TheTestPrefixHasAFixedDriveAndTwoCdromDrives) {
    EXPECT_EQ(GetDriveTypeA("C:\\"), static_cast<UINT>(DRIVE_FIXED));
    EXPECT_EQ(GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_EQ(GetDriveTypeA("E:\\"), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_EQ(GetDriveTypeA("Z:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

std::string SidString(PSID sid) {
    char* text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text))
        return "?";
    std::string s = text;
    LocalFree(text);
    return s;
}

std::string UserSid() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return "?";
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info;
    DWORD length = 0;
    BOOL ok = GetTokenInformation(token, TokenUser, &info, sizeof info, &length);
    CloseHandle(token);
    return ok ? SidString(info.user.User.Sid) : "?";
}

// The SIDs that the folder's DACL, as read back, lets in.
std::vector<std::string> Granted(const char* folder) {
    std::vector<std::string> granted;
    HANDLE handle = CreateFileA(folder, READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD result = GetSecurityInfo(handle, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                   nullptr, &dacl, nullptr, &descriptor);
    CloseHandle(handle);
    EXPECT_EQ(result, static_cast<DWORD>(ERROR_SUCCESS)) << folder;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (GetAce(dacl, i, reinterpret_cast<void**>(&ace)) &&
            ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE)
            granted.push_back(SidString(&ace->SidStart));
    }
    if (descriptor)
        LocalFree(descriptor);
    return granted;
}

TEST(WineSecurity, TheTemporaryFolderLetsInOnlyTheUserSystemAndAdministrators) {
    if (!getenv("DISPLAY"))
        GTEST_SKIP() << "the copy shows its progress window: no X display";
    TestDrives drives;
    MakeFile("D:\\Vardenholt.msi", Content(3000));
    MakeFile("D:\\setup.exe", Content(100));
    const char* privateFolder = "C:\\PatcherTests\\QuillmendTemp\\";
    const char* defaultFolder = "C:\\PatcherTests\\Default";
    ASSERT_TRUE(CreateDirectoryA(defaultFolder, nullptr));
    PatchRun run;
    ByteCounters::total = 3100;
    ASSERT_EQ(run.CopyToTemp("D:\\", privateFolder), 1);

    // Wine keeps no descriptor of its own for a file: it maps it onto the Unix
    // permissions and reads those back, which is what is checked here.
    const std::vector<std::string> allowed = {UserSid(), "S-1-5-18", "S-1-5-32-544"};
    auto isAllowed = [&](const std::string& sid) {
        return std::find(allowed.begin(), allowed.end(), sid) != allowed.end();
    };
    // Wine gives new files its own default instead of the inherited entries,
    // so only the folder is checked: others cannot enter it to reach them.
    std::vector<std::string> granted = Granted(privateFolder);
    EXPECT_NE(std::find(granted.begin(), granted.end(), UserSid()), granted.end());
    for (const std::string& sid : granted)
        EXPECT_TRUE(isAllowed(sid)) << sid << " may enter the temporary folder";
    std::vector<std::string> others = Granted(defaultFolder);
    EXPECT_FALSE(std::all_of(others.begin(), others.end(), isAllowed))
        << "default security lets others in, or the check above proves nothing";
}

// The descriptor's access list in its string form.
std::string AccessList(const PrivateSecurity& security) {
    char* text = nullptr;
    if (!security.Descriptor() ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorA(
            security.Descriptor(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
        return "(none)";
    std::string s = text;
    LocalFree(text);
    return s;
}

// The descriptor's integrity label, or "" without one. Wine reads labels from
// their string form but doesn't write them back into it, so the entry is
// spelt out here: its type, inheritance flags, policy mask and level SID.
std::string Label(const PrivateSecurity& security) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL sacl = nullptr;
    if (!security.Descriptor() ||
        !GetSecurityDescriptorSacl(security.Descriptor(), &present, &sacl, &defaulted) || !sacl)
        return "";
    std::string s;
    for (DWORD i = 0; i < sacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr; // a label's entry has the same layout
        if (!GetAce(sacl, i, reinterpret_cast<void**>(&ace)))
            return "?";
        char text[64];
        snprintf(text, sizeof text, "(type 0x%x, flags 0x%x, mask 0x%lx, ", ace->Header.AceType,
                 ace->Header.AceFlags, static_cast<unsigned long>(ace->Mask));
        s += text + SidString(&ace->SidStart) + ")";
    }
    return s;
}

// Whether the system knows integrity labels (Vista and later): XP's security
// strings have no label entry.
bool SystemKnowsLabels() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("S:(ML;;NW;;;HI)", SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return false;
    LocalFree(descriptor);
    return true;
}

TEST(WineSecurity, OnlyTheElevatedSideCanWriteTheCopyAndALimitedUserKeepsItsEntry) {
    // An unelevated program of the same user holds Administrators for deny
    // only, and runs below the high label (S-1-16-12288), which forbids writes
    // from below (mask 0x1) to the folder and all it holds (flags 0x3).
    PrivateSecurity elevated(1), limited(0);
    EXPECT_EQ(AccessList(elevated), "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
    EXPECT_EQ(Label(elevated),
              SystemKnowsLabels() ? "(type 0x11, flags 0x3, mask 0x1, S-1-16-12288)" : "");
    EXPECT_EQ(AccessList(limited),
              "D:P(A;OICI;FA;;;" + UserSid() + ")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
    EXPECT_EQ(Label(limited), "");
}

// Whether this process's token holds the Administrators group enabled, asked
// here on its own terms: Wine runs programs as an elevated administrator.
bool TokenHoldsAdministrators() {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    BOOL member = FALSE;
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) &&
           CheckTokenMembership(nullptr, sid, &member) && member;
}

TEST(WineSecurity, TheProgramTakesTheFormItsTokenCallsFor) {
    // The form that the copy is made with, as the program asks for it.
    PrivateSecurity own;
    const bool holds = TokenHoldsAdministrators();
    EXPECT_TRUE(holds) << "Wine runs programs as an elevated administrator";
    PrivateSecurity expected(holds);
    ASSERT_NE(own.Descriptor(), nullptr);
    EXPECT_EQ(AccessList(own), AccessList(expected));
    EXPECT_EQ(Label(own), Label(expected));
}

struct WineLinks : ::testing::Test {
    void SetUp() override {
        if (!(GetFileAttributesA("C:\\PatcherLinks\\Planted") & FILE_ATTRIBUTE_REPARSE_POINT) ||
            GetFileAttributesA("C:\\PatcherLinks\\Planted") == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "the links are planted by make-links.sh, which ctest runs first";
    }
    static bool Intact() {
        return GetFileAttributesA("C:\\PatcherLinks\\precious\\keep.dat") !=
                   INVALID_FILE_ATTRIBUTES &&
               GetFileAttributesA("C:\\PatcherLinks\\precious\\inner\\keep.dat") !=
                   INVALID_FILE_ATTRIBUTES &&
               GetFileAttributesA("C:\\PatcherLinks\\precious\\empty") != INVALID_FILE_ATTRIBUTES;
    }
};

TEST_F(WineLinks, ALinkInsideTheFolderIsNeverFollowed) {
    // Wine opens what a link leads to, even when asked for the link, and a
    // delete through that handle would delete it: the links stay, so the
    // folder stays and the result is 0. All the rest goes, nothing outside.
    EXPECT_EQ(PatchRun::RemoveTree("C:\\PatcherLinks\\QuillmendTemp\\", nullptr), 0);
    for (const char* gone : {"own.dat", "read-only.dat", "nested"})
        EXPECT_EQ(
            GetFileAttributesA((std::string("C:\\PatcherLinks\\QuillmendTemp\\") + gone).c_str()),
            INVALID_FILE_ATTRIBUTES)
            << gone;
    EXPECT_TRUE(Intact());
}

TEST_F(WineLinks, AFolderPlantedAsALinkIsNeverFollowed) {
    for (const char* planted :
         {"C:\\PatcherLinks\\Planted\\", "C:\\PatcherLinks\\PlantedEmpty\\"}) {
        SCOPED_TRACE(planted);
        EXPECT_EQ(PatchRun::RemoveTree(planted, nullptr), 0);
        EXPECT_TRUE(Intact());
    }
}

// The welcome dialog of a run whose copy is made and held, as during the copy
// or the wait for setup.
class HeldCopyDlg : public PatcherDlg {
  public:
    int Hold(const char* path, bool existing = false) {
        std::strcpy(m_tempPath, path);
        return existing ? m_tempFolder.OpenPath(path) : m_tempFolder.CreateFolder(path, nullptr);
    }
};

// Wine keeps what the next start of Windows does where Windows does: pairs of
// names in one value, an empty second name for a delete. Saved and cleared for
// the test, put back after it, so that no restart of the test prefix acts on it.
class PendingOperations {
  public:
    PendingOperations() {
        m_opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0,
                                 KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY,
                                 &m_key) == ERROR_SUCCESS;
        DWORD size = 0;
        m_had = m_opened &&
                RegQueryValueExW(m_key, kValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
        if (m_had) {
            m_saved.resize(size);
            RegQueryValueExW(m_key, kValue, nullptr, nullptr, m_saved.data(), &size);
        }
        if (m_opened)
            RegDeleteValueW(m_key, kValue);
    }
    ~PendingOperations() {
        if (!m_opened)
            return;
        RegDeleteValueW(m_key, kValue);
        if (m_had)
            RegSetValueExW(m_key, kValue, 0, REG_MULTI_SZ, m_saved.data(),
                           static_cast<DWORD>(m_saved.size()));
        RegCloseKey(m_key);
    }
    bool Opened() const { return m_opened; }
    // The names to delete, in order, without the "\??\" before each; a
    // rename shows as "rename " and its name.
    std::vector<std::string> Deletes() const {
        std::vector<std::string> names;
        DWORD size = 0;
        if (RegQueryValueExW(m_key, kValue, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
            return names;
        std::vector<wchar_t> value(size / sizeof(wchar_t) + 2, L'\0');
        RegQueryValueExW(m_key, kValue, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()),
                         &size);
        for (const wchar_t* p = value.data(); *p;) {
            const wchar_t* to = p + wcslen(p) + 1;
            char name[2 * MAX_PATH] = "";
            WideCharToMultiByte(CP_ACP, 0, p, -1, name, sizeof name, nullptr, nullptr);
            std::string s = std::strncmp(name, "\\??\\", 4) ? name : name + 4;
            names.push_back(*to ? "rename " + s : s);
            p = to + wcslen(to) + 1;
        }
        return names;
    }

    // The value as it is stored, its type first; empty when there is none.
    std::vector<BYTE> Raw() const {
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(m_key, kValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return {};
        std::vector<BYTE> raw(size + 1);
        raw[0] = static_cast<BYTE>(type);
        RegQueryValueExW(m_key, kValue, nullptr, nullptr, raw.data() + 1, &size);
        return raw;
    }
    void SetRaw(DWORD type, const std::vector<BYTE>& data) const {
        RegSetValueExW(m_key, kValue, 0, type, data.data(), static_cast<DWORD>(data.size()));
    }
    // Names as UTF-16 with their NULs, a list's end at the end of the text.
    void Set(const std::wstring& list) const {
        const BYTE* bytes = reinterpret_cast<const BYTE*>(list.data());
        SetRaw(REG_MULTI_SZ, std::vector<BYTE>(bytes, bytes + list.size() * sizeof(wchar_t)));
    }

  private:
    static constexpr const char* kKey = "System\\CurrentControlSet\\Control\\Session Manager";
    static constexpr const wchar_t* kValue = L"PendingFileRenameOperations";
    HKEY m_key = nullptr;
    bool m_opened = false, m_had = false;
    std::vector<BYTE> m_saved;
};

// A list of pairs as the value holds it: each name and its end, the list's end last.
std::wstring List(const std::vector<std::pair<std::wstring, std::wstring>>& pairs) {
    std::wstring list;
    for (const auto& pair : pairs)
        list += pair.first + L'\0' + pair.second + L'\0';
    return list + L'\0';
}

std::vector<BYTE> Stored(DWORD type, const std::wstring& data, size_t extraBytes = 0) {
    const size_t size = data.size() * sizeof(wchar_t);
    std::vector<BYTE> raw(1 + size + extraBytes, 0);
    raw[0] = static_cast<BYTE>(type);
    std::memcpy(raw.data() + 1, data.data(), size);
    return raw;
}

TEST(WineSessionEnd, TheCopyIsNamedForTheRestartDeepestFirstAndNothingElse) {
    if (!getenv("DISPLAY"))
        GTEST_SKIP() << "the session's end comes to the welcome dialog's window: no X display";
    TestDrives drives;
    PendingOperations pending;
    ASSERT_TRUE(pending.Opened());
    const std::string copy = "C:\\PatcherTests\\QuillmendTemp";
    MakeFile("C:\\PatcherTests\\outside.dat", "not the copy's");
    HeldCopyDlg dialog;
    ASSERT_TRUE(dialog.Hold((copy + "\\").c_str()));
    ASSERT_TRUE(dialog.Create(IDD_PATCHER_DIALOG));
    MakeFolder(copy + "\\Data\\Maps\\Empty");
    MakeFile(copy + "\\setup.exe", Content(100));
    MakeFile(copy + "\\readme.txt", "read me", true);
    MakeFile(copy + "\\Data\\rules.ini", "rules");
    MakeFile(copy + "\\Data\\Maps\\world.map", "world", true);
    // Another program's rename, queued before: it stays, first.
    const std::wstring other =
        List({{L"\\??\\C:\\PatcherTests\\other.new", L"!\\??\\C:\\PatcherTests\\other.dll"}});
    pending.Set(other);
    const std::string otherRename = "rename C:\\PatcherTests\\other.new";
    const std::vector<std::string> entries = {copy + "\\Data\\Maps\\Empty",
                                              copy + "\\Data\\Maps\\world.map",
                                              copy + "\\Data\\Maps",
                                              copy + "\\Data\\rules.ini",
                                              copy + "\\Data",
                                              copy + "\\readme.txt",
                                              copy + "\\setup.exe",
                                              copy};

    // The end is answered so that it goes ahead; called off, it changes nothing.
    EXPECT_EQ(SendMessageA(dialog.m_hWnd, WM_QUERYENDSESSION, 0, 0), TRUE);
    SendMessageA(dialog.m_hWnd, WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(pending.Deletes(), std::vector<std::string>{otherRename});
    EXPECT_TRUE(IsReadOnly(copy + "\\Data\\Maps\\world.map"));

    // The Restart Manager's close is such an end, too.
    SendMessageA(dialog.m_hWnd, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
    std::vector<std::string> named = pending.Deletes();
    ASSERT_FALSE(named.empty());
    EXPECT_EQ(named.front(), otherRename);
    named.erase(named.begin());
    std::vector<std::string> sorted = named, expected = entries;
    std::sort(sorted.begin(), sorted.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sorted, expected);
    // Deepest first: nothing is named after the folder it lies in.
    for (size_t i = 0; i < named.size(); ++i)
        for (size_t j = i + 1; j < named.size(); ++j)
            EXPECT_NE(named[j].rfind(named[i] + "\\", 0), 0u)
                << named[j] << " comes after its folder " << named[i];
    // Windows deletes no read-only file when it starts; nothing is gone yet.
    // (Wine keeps no read-only attribute for a folder: the host suite has it.)
    EXPECT_FALSE(IsReadOnly(copy + "\\Data\\Maps\\world.map"));
    EXPECT_FALSE(IsReadOnly(copy + "\\readme.txt"));
    for (const std::string& entry : entries)
        EXPECT_TRUE(Exists(entry)) << entry;
    // Byte for byte what Windows' own call writes, one name at a time in the
    // same order.
    const std::vector<BYTE> written = pending.Raw();
    pending.Set(other);
    for (const std::string& name : named)
        MoveFileExA(name.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    EXPECT_EQ(written, pending.Raw());
    dialog.DestroyWindow();
}

TEST(WineSessionEnd, TheCopysDeletesAreWithdrawnAndEveryOtherPairKeptInItsOrder) {
    PendingOperations pending;
    ASSERT_TRUE(pending.Opened());
    struct Pair {
        const wchar_t* source;
        const wchar_t* target;
        bool copys;
    };
    // C: is the test prefix's fixed drive, D: a CD-ROM drive.
    const Pair pairs[] = {
        {L"\\??\\C:\\windows\\temp\\other.tmp", L"", false},
        {L"\\??\\C:\\QuillmendTemp\\Data\\rules.ini", L"", true},
        {L"\\??\\C:\\Other\\new.dll", L"!\\??\\C:\\Other\\old.dll", false},
        {L"\\??\\c:\\quillmendtemp\\Data", L"", true},
        {L"\\??\\C:\\QuillmendTemp\\setup.exe", L"\\??\\C:\\Other\\setup.exe", false},
        {L"\\??\\C:\\QuillmendTemp\\..\\windows\\win.ini", L"", false},
        {L"\\??\\C:\\PatcherTests\\QuillmendTemp\\a.dat", L"", false},
        {L"\\??\\D:\\QuillmendTemp\\a.dat", L"", false},
        {L"\\??\\C:\\QuillmendTemp2\\a.dat", L"", false},
        {L"C:\\QuillmendTemp\\a.dat", L"", false},
        {L"\\??\\C:\\QuillmendTemp\\", L"", true},
        {L"\\??\\C:\\QuillmendTemp", L"", true},
    };
    std::vector<std::pair<std::wstring, std::wstring>> all, kept, copys;
    for (const Pair& pair : pairs) {
        all.emplace_back(pair.source, pair.target);
        (pair.copys ? copys : kept).emplace_back(pair.source, pair.target);
    }
    pending.Set(List(all));
    EXPECT_EQ(WithdrawRestartDeletes(kTempFolderName), 1);
    EXPECT_EQ(pending.Raw(), Stored(REG_MULTI_SZ, List(kept)));

    // With nothing else in it, the value goes.
    pending.Set(List(copys));
    EXPECT_EQ(WithdrawRestartDeletes(kTempFolderName), 1);
    EXPECT_TRUE(pending.Raw().empty());
}

TEST(WineSessionEnd, AValueThatIsNoListOfPairsIsLeftAsItWas) {
    PendingOperations pending;
    ASSERT_TRUE(pending.Opened());
    const std::wstring name = L"\\??\\C:\\QuillmendTemp\\a.dat";
    const std::wstring list = List({{name, L""}});
    struct Malformed {
        const char* what;
        std::vector<BYTE> stored;
    } cases[] = {
        // (Wine ends every list it stores with a NUL, so a last name without
        // its end can't be stored here; this is the nearest.)
        {"a pair without its second name", Stored(REG_MULTI_SZ, name + L'\0')},
        {"a name after the list's end", Stored(REG_MULTI_SZ, list + list)},
        {"an odd number of bytes", Stored(REG_MULTI_SZ, list, 1)},
        {"not a list of strings", Stored(REG_BINARY, list)},
    };
    for (const Malformed& malformed : cases) {
        SCOPED_TRACE(malformed.what);
        pending.SetRaw(malformed.stored[0],
                       std::vector<BYTE>(malformed.stored.begin() + 1, malformed.stored.end()));
        ASSERT_EQ(pending.Raw(), malformed.stored);
        EXPECT_EQ(WithdrawRestartDeletes(kTempFolderName), 0);
        EXPECT_EQ(pending.Raw(), malformed.stored);

        // A session end leaves it to Windows' own call, one name at a time,
        // which does with it what it can (Wine names nothing after a value of
        // another type).
        const std::vector<BYTE> data(malformed.stored.begin() + 1, malformed.stored.end());
        int named = 1;
        for (const char* name : {"C:\\QuillmendTemp\\a.dat", "C:\\QuillmendTemp"})
            named &= MoveFileExA(name, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
        const std::vector<BYTE> expected = pending.Raw();
        pending.SetRaw(malformed.stored[0], data);
        RestartDeletes deletes(kTempFolderName);
        deletes.Add("C:\\QuillmendTemp\\a.dat");
        deletes.Add("C:\\QuillmendTemp");
        EXPECT_EQ(deletes.Schedule(), named);
        EXPECT_EQ(pending.Raw(), expected);
    }
}

TEST_F(WineLinks, TheSessionEndNamesNoLinkNorWhatItLeadsTo) {
    if (!getenv("DISPLAY"))
        GTEST_SKIP() << "the session's end comes to the welcome dialog's window: no X display";
    PendingOperations pending;
    ASSERT_TRUE(pending.Opened());
    HeldCopyDlg dialog;
    ASSERT_TRUE(dialog.Hold("C:\\PatcherLinks\\QuillmendTemp\\", true));
    ASSERT_TRUE(dialog.Create(IDD_PATCHER_DIALOG));
    SendMessageA(dialog.m_hWnd, WM_ENDSESSION, TRUE, 0);
    std::vector<std::string> named = pending.Deletes();
    EXPECT_FALSE(named.empty()) << "the folder itself is named";
    for (const std::string& name : named)
        EXPECT_TRUE(name.find("junction") == std::string::npos &&
                    name.find("precious") == std::string::npos)
            << name;
    EXPECT_TRUE(Intact());
    dialog.DestroyWindow();
}

// A disc in D: whose setup is the stand-in that records how it was run;
// false when the stand-in can't be read.
bool MakeRecordingDisc() {
    std::ifstream in(RECORD_ARGS_PATH, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream setup;
    setup << in.rdbuf();
    MakeFile("D:\\setup.exe", setup.str());
    MakeFile("D:\\Vardenholt.msi", Content(3000));
    return true;
}

TEST(WineRun, ALeftoverFolderIsRemovedAndTheRunThenInstalls) {
    if (!getenv("DISPLAY"))
        GTEST_SKIP() << "the copy shows its progress window: no X display";
    TestDrives drives;
    ASSERT_TRUE(MakeRecordingDisc());
    // What a run killed during its copy leaves: read-only files, as the disc's
    // are, in nested folders.
    const std::string temp = "C:\\QuillmendTemp";
    RemoveAll(temp);
    MakeFolder(temp + "\\data\\maps");
    MakeFile(temp + "\\Vardenholt.msi", "partial", true);
    MakeFile(temp + "\\data\\maps\\world.map", "partial", true);
    const char log[] = "C:\\PatcherTests\\setup.log";
    const char cwd[] = "C:\\PatcherTests\\setup-cwd.txt";
    DeleteFileA(cwd);
    SetEnvironmentVariableA("RECORD_ARGS_LOG", log);
    SetEnvironmentVariableA("RECORD_ARGS_CWD", cwd);
    PatchRun run;
    run.RunPatch();
    SetEnvironmentVariableA("RECORD_ARGS_LOG", nullptr);
    SetEnvironmentVariableA("RECORD_ARGS_CWD", nullptr);
    std::string runs = ReadAll(log);
    runs.erase(std::remove(runs.begin(), runs.end(), '\r'), runs.end());
    // Setup ran once, on the whole copy with the carried package.
    EXPECT_EQ(runs,
              "C:\\QuillmendTemp\\setup.exe " + std::to_string(ReplacementPackageSize) + "\n");
    // In the copy, which the run holds meanwhile: the hold must leave setup
    // free to take it as its current folder.
    EXPECT_EQ(ReadAll(cwd), temp);
    EXPECT_FALSE(Exists(temp));
    RemoveAll(temp);
}

// The names in a folder, "." and ".." left out.
std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = entry.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return names;
}

TEST(WineRun, ALeftoverThatCannotBeRemovedGetsNothingOfTheRun) {
    if (!getenv("DISPLAY"))
        GTEST_SKIP() << "a copy would show its progress window: no X display";
    TestDrives drives;
    ASSERT_TRUE(MakeRecordingDisc());
    const std::string temp = "C:\\QuillmendTemp";
    RemoveAll(temp);
    MakeFolder(temp);
    MakeFile(temp + "\\in-use.dat", "someone else's");
    const char log[] = "C:\\PatcherTests\\setup.log";
    SetEnvironmentVariableA("RECORD_ARGS_LOG", log);
    {
        // Held open without delete sharing, as another program may hold it:
        // the leftover can't be removed, and the run must not copy into it.
        LockedFile inUse(temp + "\\in-use.dat");
        PatchRun run;
        run.RunPatch();
    }
    SetEnvironmentVariableA("RECORD_ARGS_LOG", nullptr);
    EXPECT_EQ(ReadAll(log), "") << "setup ran";
    EXPECT_EQ(Names(temp), std::vector<std::string>{"in-use.dat"});
    RemoveAll(temp);
}

} // namespace
