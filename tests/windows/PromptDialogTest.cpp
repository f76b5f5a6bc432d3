// The prompt dialog, shown through ShowPrompt and answered through its real
// buttons from a second thread.
#include "WindowTest.h"

#include "patch/PatchRun.h"
#include "platform/Dialog.h"
#include "platform/WinApp.h"
#include "res/resource.h"

// The test program stands for Vista's user32: it exports the older filter
// call, under its undecorated name, and not the newer one.
static UINT s_filteredMessage;
static DWORD s_filterFlag;
extern "C" __declspec(dllexport) BOOL WINAPI ChangeWindowMessageFilter(UINT message, DWORD flag) {
    s_filteredMessage = message;
    s_filterFlag = flag;
    return TRUE;
}

namespace {

constexpr char kDiscMessage[] =
    "\n        Please insert the original Vardenholt Disk, then click on OK";

class PromptDialogTest : public WindowTest {
  protected:
    PatchRun run;
};

struct Press {
    int okDisabled;
    int cancelDisabled;
    int pressFirst; // a button clicked first, which must do nothing, or 0
    int pressThen;  // the button that ends the dialog
    int expected;
};

void PrintTo(const Press& p, std::ostream* out) {
    *out << "flags " << p.okDisabled << ", " << p.cancelDisabled << "; press " << p.pressFirst
         << " then " << p.pressThen;
}

class PromptPressTest : public PromptDialogTest, public ::testing::WithParamInterface<Press> {};

TEST_P(PromptPressTest, ReturnsTheButtonPressedAndIgnoresDisabledOnes) {
    const Press p = GetParam();
    bool okEnabled = false, cancelEnabled = false, stillUp = false;
    std::string text;
    int result;
    {
        DialogDriver driver(kCaption, [&](HWND dialog) {
            text = WindowText(GetDlgItem(dialog, IDC_PROMPT_TEXT));
            okEnabled = IsWindowEnabled(GetDlgItem(dialog, IDOK));
            cancelEnabled = IsWindowEnabled(GetDlgItem(dialog, IDCANCEL));
            if (p.pressFirst) {
                Click(dialog, p.pressFirst);
                // The same command as from the dialog manager or another program.
                HWND button = GetDlgItem(dialog, p.pressFirst);
                SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(p.pressFirst, BN_CLICKED),
                             reinterpret_cast<LPARAM>(button));
                Sleep(100);
                stillUp = IsWindowVisible(dialog);
            }
            Click(dialog, p.pressThen);
        });
        result = run.ShowPrompt(kDiscMessage, p.okDisabled, p.cancelDisabled);
    }
    EXPECT_EQ(result, p.expected);
    EXPECT_EQ(text, kDiscMessage);
    EXPECT_EQ(okEnabled, p.okDisabled == 0);
    EXPECT_EQ(cancelEnabled, p.cancelDisabled == 0);
    if (p.pressFirst) {
        EXPECT_TRUE(stillUp) << "a disabled button ended the dialog";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Flags, PromptPressTest,
    ::testing::Values(Press{0, 0, 0, IDOK, IDOK}, Press{0, 0, 0, IDCANCEL, IDCANCEL},
                      Press{1, 0, IDOK, IDCANCEL, IDCANCEL}, Press{0, 1, IDCANCEL, IDOK, IDOK},
                      Press{7, 0, IDOK, IDCANCEL, IDCANCEL}, Press{-1, 0, IDOK, IDCANCEL, IDCANCEL},
                      Press{0, 0x10000, IDCANCEL, IDOK, IDOK}));

TEST_F(PromptDialogTest, NullMessageShowsEmptyText) {
    std::string text = "unread";
    int result;
    {
        DialogDriver driver(kCaption, [&](HWND dialog) {
            text = WindowText(GetDlgItem(dialog, IDC_PROMPT_TEXT));
            Click(dialog, IDOK);
        });
        result = run.ShowPrompt(nullptr, 0, 0);
    }
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(text, "");
}

TEST_F(PromptDialogTest, AnswersQueryCancelAutoPlayWithOne) {
    UINT query = RegisterWindowMessageA("QueryCancelAutoPlay");
    LRESULT answer = 0, other = -1;
    {
        DialogDriver driver(kCaption, [&](HWND dialog) {
            answer = SendMessageA(dialog, query, 0, 0);
            other = SendMessageA(dialog, RegisterWindowMessageA("SomeOtherMessage"), 0, 0);
            Click(dialog, IDCANCEL);
        });
        run.ShowPrompt("text", 0, 0);
    }
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(other, 0);
}

TEST(MessageFilter, WithoutThePerWindowCallTheMessageIsAllowedForTheProcess) {
    UINT query = RegisterWindowMessageA("QueryCancelAutoPlay");
    AllowFromLowerIntegrity(GetModuleHandleA(nullptr), nullptr, query);
    EXPECT_EQ(s_filteredMessage, query);
    EXPECT_EQ(s_filterFlag, 1u) << "MSGFLT_ADD";
}

TEST_F(PromptDialogTest, MainWindowOwnsItAndIsDisabledMeanwhile) {
    CWinApp app;
    CDialog main(IDD_PROMPT);
    ASSERT_TRUE(main.Create(IDD_PROMPT));
    app.m_pMainWnd = &main;
    HWND owner = nullptr;
    BOOL ownerEnabled = TRUE;
    {
        DialogDriver driver(kCaption, [&](HWND dialog) {
            owner = GetWindow(dialog, GW_OWNER);
            ownerEnabled = IsWindowEnabled(main.m_hWnd);
            Click(dialog, IDOK);
        });
        // The main window is the hidden one here, as during the run.
        EXPECT_EQ(run.ShowPrompt("text", 0, 0), IDOK);
    }
    EXPECT_EQ(owner, main.m_hWnd);
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(main.m_hWnd));
    main.DestroyWindow();
    EXPECT_EQ(app.m_pMainWnd, nullptr) << "a destroyed main window is no main window";
}

TEST_F(PromptDialogTest, QuitMessageEndsItWithMinusOneAndIsPostedAgain) {
    int result;
    {
        DWORD thread = GetCurrentThreadId();
        DialogDriver driver(kCaption, [&](HWND) { PostThreadMessageA(thread, WM_QUIT, 3, 0); });
        result = run.ShowPrompt("text", 0, 0);
    }
    EXPECT_EQ(result, -1);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(PromptDialogTest, MinusOneWhenTheWindowCannotBeMade) {
    CreationBlocker blocker;
    EXPECT_EQ(run.ShowPrompt("text", 0, 0), -1);
}

} // namespace
