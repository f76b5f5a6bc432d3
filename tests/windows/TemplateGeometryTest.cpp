// The three dialog templates as the program carries them, and the windows made
// from them: styles, controls, texts and places in dialog units.
#include "WindowTest.h"

#include "platform/Dialog.h"
#include "res/resource.h"

#include <cstring>
#include <vector>

namespace {

struct Item {
    int id;
    std::string cls; // "Button", "Static" or a registered class name
    std::string text;
    RECT dlu; // left, top, width, height
    DWORD style;
};

struct Template {
    UINT id;
    int cx, cy;
    DWORD style;
    DWORD exStyle;
    WORD weight;
    std::vector<Item> items;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kDialog = DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION;
constexpr DWORD kGroupBox = kChild | BS_GROUPBOX;

const Template kTemplates[] = {
    {IDD_PATCHER_DIALOG,
     283,
     87,
     kDialog | WS_VISIBLE,
     WS_EX_APPWINDOW,
     0,
     {{IDOK, "Button", "OK", {74, 55, 50, 16}, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON},
      {IDCANCEL, "Button", "Cancel", {151, 55, 50, 16}, kChild | WS_TABSTOP | BS_PUSHBUTTON},
      {-1,
       "Static",
       "Vardenholt Installation patcher Verson 1.0",
       {7, 17, 266, 8},
       kChild | WS_GROUP | SS_CENTER},
      {-1,
       "Static",
       "Press OK to Install Vardenholt to your machine.",
       {21, 33, 236, 14},
       kChild | WS_GROUP | SS_CENTER},
      {-1, "Button", "", {7, 7, 266, 43}, kGroupBox}}},
    {IDD_PROGRESS,
     283,
     86,
     kDialog | DS_SYSMODAL,
     0,
     FW_NORMAL,
     {{IDOK, "Button", "OK", {187, 65, 50, 14}, WS_CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON},
      {IDCANCEL, "Button", "Cancel", {88, 65, 50, 14}, WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON},
      {IDC_PROGRESS_BAR, "msctls_progress32", "", {16, 56, 250, 15}, kChild | WS_BORDER},
      {IDC_PROGRESS_CAPTION,
       "Static",
       "Copying Files, Please Wait...",
       {7, 18, 269, 14},
       kChild | WS_GROUP | SS_CENTER},
      {IDC_PROGRESS_FILE, "Static", "Static", {19, 39, 247, 12}, kChild | WS_GROUP | SS_LEFT},
      {-1, "Button", "", {7, 7, 269, 45}, kGroupBox}}},
    {IDD_PROMPT,
     283,
     86,
     kDialog,
     0,
     FW_NORMAL,
     {{IDOK, "Button", "OK", {73, 54, 50, 18}, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON},
      {IDCANCEL, "Button", "Cancel", {153, 54, 50, 17}, kChild | WS_TABSTOP | BS_PUSHBUTTON},
      {IDC_PROMPT_TEXT,
       "Static",
       "line 1\nline 2\nline 3",
       {15, 18, 253, 24},
       kChild | WS_GROUP | SS_LEFT},
      {-1, "Button", "", {7, 7, 269, 42}, kGroupBox}}},
};

// Reads a DLGTEMPLATEEX: fixed fields, then variable-length strings and
// ordinals, each item aligned to four bytes.
class TemplateReader {
  public:
    explicit TemplateReader(const BYTE* data) : m_base(data), m_at(data) {}
    template <typename T> T Read() {
        T value;
        std::memcpy(&value, m_at, sizeof value);
        m_at += sizeof value;
        return value;
    }
    // A string, or an ordinal as "#n"; predefined classes by their names.
    std::string StringOrOrdinal() {
        WORD first = Read<WORD>();
        if (first == 0xFFFF) {
            WORD ordinal = Read<WORD>();
            if (ordinal == 0x80)
                return "Button";
            if (ordinal == 0x82)
                return "Static";
            return "#" + std::to_string(ordinal);
        }
        std::string text;
        for (WORD c = first; c; c = Read<WORD>())
            text += static_cast<char>(c);
        return text;
    }
    void Align() {
        while ((m_at - m_base) % 4)
            ++m_at;
    }

  private:
    const BYTE* m_base;
    const BYTE* m_at;
};

bool SameClass(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

void PrintTo(const Template& t, std::ostream* out) {
    *out << "template " << t.id;
}

class TemplateTest : public WindowTest, public ::testing::WithParamInterface<Template> {};

TEST_P(TemplateTest, ResourceMatchesTheTable) {
    const Template& t = GetParam();
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(t.id), MAKEINTRESOURCEA(5) /*RT_DIALOG*/);
    ASSERT_NE(found, nullptr);
    TemplateReader r(static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found))));
    EXPECT_EQ(r.Read<WORD>(), 1);      // version
    EXPECT_EQ(r.Read<WORD>(), 0xFFFF); // the extended template's signature
    r.Read<DWORD>();                   // help id
    EXPECT_EQ(r.Read<DWORD>(), t.exStyle);
    EXPECT_EQ(r.Read<DWORD>(), t.style);
    WORD count = r.Read<WORD>();
    ASSERT_EQ(count, t.items.size());
    r.Read<short>();
    r.Read<short>();
    EXPECT_EQ(r.Read<short>(), t.cx);
    EXPECT_EQ(r.Read<short>(), t.cy);
    EXPECT_EQ(r.StringOrOrdinal(), ""); // no menu
    EXPECT_EQ(r.StringOrOrdinal(), ""); // the standard dialog class
    EXPECT_EQ(r.StringOrOrdinal(), kCaption);
    EXPECT_EQ(r.Read<WORD>(), 8);
    EXPECT_EQ(r.Read<WORD>(), t.weight);
    EXPECT_EQ(r.Read<BYTE>(), 0); // not italic
    r.Read<BYTE>();
    EXPECT_EQ(r.StringOrOrdinal(), "MS Shell Dlg");

    for (const Item& want : t.items) {
        SCOPED_TRACE(want.text);
        r.Align();
        r.Read<DWORD>(); // help id
        EXPECT_EQ(r.Read<DWORD>(), 0u);
        EXPECT_EQ(r.Read<DWORD>(), want.style);
        RECT at;
        at.left = r.Read<short>();
        at.top = r.Read<short>();
        at.right = r.Read<short>();
        at.bottom = r.Read<short>();
        EXPECT_TRUE(EqualRect(&at, &want.dlu));
        EXPECT_EQ(r.Read<DWORD>(), static_cast<DWORD>(want.id));
        EXPECT_TRUE(SameClass(r.StringOrOrdinal(), want.cls));
        EXPECT_EQ(r.StringOrOrdinal(), want.text);
        EXPECT_EQ(r.Read<WORD>(), 0); // no creation data
    }
}

TEST_P(TemplateTest, WindowPlacesEveryControlWhereTheTableSays) {
    const Template& t = GetParam();
    CDialog dialog(t.id);
    ASSERT_TRUE(dialog.Create(t.id));
    HWND hwnd = dialog.m_hWnd;

    RECT size = {0, 0, t.cx, t.cy}, client;
    MapDialogRect(hwnd, &size);
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    EXPECT_EQ(WindowText(hwnd), kCaption);

    DWORD style = GetWindowLongA(hwnd, GWL_STYLE);
    EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION);
    EXPECT_FALSE(style & WS_SYSMENU) << "no system menu, so no close box";
    EXPECT_EQ((style & WS_VISIBLE) != 0, (t.style & WS_VISIBLE) != 0);
    EXPECT_EQ((GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, t.id == IDD_PROGRESS);

    // Centred in the work area of its screen.
    RECT window, work;
    GetWindowRect(hwnd, &window);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR(window.left - work.left, work.right - window.right, 1);
    EXPECT_NEAR(window.top - work.top, work.bottom - window.bottom, 1);

    HWND child = GetWindow(hwnd, GW_CHILD);
    for (const Item& want : t.items) {
        SCOPED_TRACE(want.text);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(GetDlgCtrlID(child), want.id);
        char cls[64];
        GetClassNameA(child, cls, sizeof cls);
        EXPECT_TRUE(SameClass(cls, want.cls)) << cls;
        if (want.cls != "msctls_progress32") {
            EXPECT_EQ(WindowText(child), want.text);
        }
        EXPECT_EQ(GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE, want.style & WS_VISIBLE);
        EXPECT_TRUE(IsWindowEnabled(child));

        // As the dialog manager does: the origin and the size each in pixels.
        RECT expected = want.dlu;
        MapDialogRect(hwnd, &expected);
        expected.right += expected.left;
        expected.bottom += expected.top;
        RECT actual;
        GetWindowRect(child, &actual);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_TRUE(EqualRect(&actual, &expected))
            << actual.left << "," << actual.top << "," << actual.right << "," << actual.bottom
            << " instead of " << expected.left << "," << expected.top << "," << expected.right
            << "," << expected.bottom;
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "a control that the table lacks";
}

INSTANTIATE_TEST_SUITE_P(Templates, TemplateTest, ::testing::ValuesIn(kTemplates),
                         [](const ::testing::TestParamInfo<Template>& info) {
                             return "Template" + std::to_string(info.param.id);
                         });

} // namespace
