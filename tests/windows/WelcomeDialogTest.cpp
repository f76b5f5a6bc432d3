// The application's start-up and the welcome dialog, worked through the real
// dialog. The run behind OK is replaced here by a recorder: the whole run is
// tested end to end on its own.
#include "WindowTest.h"

#include "app/PatcherApp.h"
#include "app/PatcherDlg.h"
#include "res/resource.h"

namespace {

struct RunRecord {
    int calls;
    BOOL dialogVisible;
    HWND mainWindow;
} g_run;

class WelcomeDialogTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        g_run = RunRecord{};
    }
};

TEST_F(WelcomeDialogTest, StartUpShowsTheDialogAndCancelEndsTheProgramUntouched) {
    // A mode the process had before start-up is kept.
    SetErrorMode(SEM_NOGPFAULTERRORBOX);
    PatcherApp app;
    HWND shown = nullptr;
    HICON big = nullptr, small = nullptr, drag = nullptr;
    LRESULT autoPlay = 0;
    int result;
    {
        DialogDriver driver(kCaption, [&](HWND dialog) {
            shown = dialog;
            big = reinterpret_cast<HICON>(SendMessageA(dialog, WM_GETICON, ICON_BIG, 0));
            small = reinterpret_cast<HICON>(SendMessageA(dialog, WM_GETICON, ICON_SMALL, 0));
            drag = reinterpret_cast<HICON>(SendMessageA(dialog, WM_QUERYDRAGICON, 0, 0));
            autoPlay = SendMessageA(dialog, RegisterWindowMessageA("QueryCancelAutoPlay"), 0, 0);
            Click(dialog, IDCANCEL);
        });
        result = AfxWinMain();
    }
    EXPECT_EQ(result, 0);
    EXPECT_NE(shown, nullptr);
    EXPECT_FALSE(IsWindow(shown)) << "the dialog's window is destroyed when it ends";
    EXPECT_EQ(g_run.calls, 0);
    EXPECT_NE(big, nullptr);
    EXPECT_EQ(small, big);
    EXPECT_EQ(drag, big);
    EXPECT_EQ(autoPlay, 1);

    UINT mode = SetErrorMode(0);
    EXPECT_TRUE(mode & SEM_NOGPFAULTERRORBOX);
    EXPECT_TRUE(mode & SEM_FAILCRITICALERRORS);
    EXPECT_TRUE(mode & SEM_NOOPENFILEERRORBOX);
    EXPECT_STREQ(app.m_pszAppName, "WelcomeDialogTest");
    EXPECT_STREQ(app.m_pszRegistryKey, "Local AppWizard-Generated Applications");
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

TEST_F(WelcomeDialogTest, OkHidesTheDialogThenRunsOnceThenEndsIt) {
    PatcherApp app;
    HWND shown = nullptr;
    {
        DialogDriver driver(kCaption, [&](HWND dialog) {
            shown = dialog;
            Click(dialog, IDOK);
        });
        AfxWinMain();
    }
    EXPECT_EQ(g_run.calls, 1);
    EXPECT_FALSE(g_run.dialogVisible) << "the run started with the dialog still shown";
    EXPECT_EQ(g_run.mainWindow, shown) << "the dialog is the main window during the run";
    EXPECT_FALSE(IsWindow(shown));
}

struct Key {
    WPARAM key;
    INT_PTR result;
    int runs;
};

void PrintTo(const Key& k, std::ostream* out) {
    *out << (k.key == VK_RETURN ? "Enter" : "Escape");
}

class WelcomeKeyTest : public WelcomeDialogTest, public ::testing::WithParamInterface<Key> {};

TEST_P(WelcomeKeyTest, EnterIsOkAndEscapeIsCancel) {
    PatcherDlg dialog;
    INT_PTR result;
    {
        // The dialog manager reads the keys of every control of the dialog.
        DialogDriver driver(kCaption, [&](HWND shown) {
            PostMessageA(GetDlgItem(shown, IDOK), WM_KEYDOWN, GetParam().key, 0);
        });
        result = dialog.DoModal();
    }
    EXPECT_EQ(result, GetParam().result);
    EXPECT_EQ(g_run.calls, GetParam().runs);
}

INSTANTIATE_TEST_SUITE_P(Keys, WelcomeKeyTest,
                         ::testing::Values(Key{VK_RETURN, IDOK, 1}, Key{VK_ESCAPE, IDCANCEL, 0}));

TEST_F(WelcomeDialogTest, MessageBoxCarriesTheProgramNameAndTheMainWindowOwnsIt) {
    CWinApp app;
    PatcherDlg main;
    ASSERT_TRUE(main.Create(IDD_PATCHER_DIALOG));
    app.m_pMainWnd = &main;
    main.ShowWindow(SW_HIDE);
    std::string text;
    HWND owner = nullptr;
    int result;
    {
        DialogDriver driver("WelcomeDialogTest", [&](HWND box) {
            text = WindowText(GetDlgItem(box, 0xFFFF));
            owner = GetWindow(box, GW_OWNER);
            Click(box, IDOK);
        });
        result = AfxMessageBox("Dialog box could not be created!", MB_OK, 0);
    }
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(text, "Dialog box could not be created!");
    EXPECT_EQ(owner, main.m_hWnd);
}

} // namespace

// The run behind OK, recorded instead of run.
void PatchRun::RunPatch() {
    ++g_run.calls;
    CWinApp* app = AfxGetApp();
    g_run.mainWindow = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    g_run.dialogVisible = g_run.mainWindow && IsWindowVisible(g_run.mainWindow);
}
