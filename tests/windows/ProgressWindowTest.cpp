// The progress window and the functions that drive it, read back through the
// windows themselves.
#include "WindowTest.h"

#include "patch/PatchRun.h"
#include "patch/ProgressReport.h"
#include "res/resource.h"
#include "ui/Progress.h"
#include "ui/ProgressDlg.h"

#include <commctrl.h>

#include <atomic>
#include <memory>

namespace {

class ProgressWindowTest : public WindowTest {
  protected:
    void TearDown() override {
        CloseProgress();
        WindowTest::TearDown();
    }

    HWND Window() const { return FindDialog(GetCurrentThreadId(), kCaption); }
    HWND Item(int id) const { return GetDlgItem(Window(), id); }
    int Position() const {
        return static_cast<int>(SendMessageA(Item(IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0));
    }
    std::string FileLine() const { return WindowText(Item(IDC_PROGRESS_FILE)); }
};

TEST_F(ProgressWindowTest, OpensShownOnTopWithRangeAndCaption) {
    OpenProgress("Copying Files. Please Wait...");
    HWND window = Window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(WindowText(Item(IDC_PROGRESS_CAPTION)), "Copying Files. Please Wait...");
    EXPECT_EQ(FileLine(), "Static");
    PBRANGE range;
    SendMessageA(Item(IDC_PROGRESS_BAR), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);
    EXPECT_FALSE(IsWindowVisible(Item(IDOK)));
    EXPECT_FALSE(IsWindowVisible(Item(IDCANCEL)));
    EXPECT_TRUE(IsWindowVisible(Item(IDC_PROGRESS_BAR)));
}

TEST_F(ProgressWindowTest, OpeningAgainLeavesOneWindow) {
    OpenProgress("first");
    HWND first = Window();
    OpenProgress("second");
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(CountDialogs(GetCurrentThreadId(), kCaption), 1);
    EXPECT_EQ(WindowText(Item(IDC_PROGRESS_CAPTION)), "second");
}

TEST_F(ProgressWindowTest, ShowsOnlyChangesOfPercentage) {
    OpenProgress("caption");
    UpdateProgress(0, "first");
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(FileLine(), "first") << "0 right after opening must take effect";

    UpdateProgress(0, "second");
    EXPECT_EQ(FileLine(), "first") << "the same percentage leaves the window alone";

    UpdateProgress(37, nullptr);
    EXPECT_EQ(Position(), 37);
    EXPECT_EQ(FileLine(), "first") << "a null text leaves the file line";

    UpdateProgress(38, "D:\\Data\\file.dat");
    EXPECT_EQ(Position(), 38);
    EXPECT_EQ(FileLine(), "D:\\Data\\file.dat");
}

TEST_F(ProgressWindowTest, CopyReportsShowPercentOfTheTotal) {
    OpenProgress("caption");
    ByteCounters::total = 200;
    OnCopyProgress("D:\\a.dat", 199);
    EXPECT_EQ(Position(), 99);
    EXPECT_EQ(FileLine(), "D:\\a.dat");
    OnCopyProgress("D:\\b.dat", 200);
    EXPECT_EQ(Position(), 100);
    EXPECT_EQ(FileLine(), "D:\\b.dat");

    ByteCounters::total = 0;
    OnCopyProgress("D:\\c.dat", 5);
    EXPECT_EQ(Position(), 0);
    OnCopyProgress("D:\\d.dat", 9);
    EXPECT_EQ(FileLine(), "D:\\c.dat");
}

TEST_F(ProgressWindowTest, AfterClosingReportsDrawNothingAndCloseIsHarmless) {
    OpenProgress("caption");
    CloseProgress();
    EXPECT_EQ(CountDialogs(GetCurrentThreadId(), kCaption), 0);
    ByteCounters::total = 100;
    UpdateProgress(50, "x");
    OnCopyProgress("y", 70);
    CloseProgress();
    EXPECT_EQ(CountDialogs(GetCurrentThreadId(), kCaption), 0);
}

TEST_F(ProgressWindowTest, PumpingConsumesAQuitMessage) {
    PostQuitMessage(0);
    PumpMessages();
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));

    OpenProgress("caption");
    PostQuitMessage(0);
    UpdateProgress(5, "x");
    UpdateProgress(5, "x"); // unchanged, but drains all the same
    PostQuitMessage(0);
    UpdateProgress(5, "x");
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST_F(ProgressWindowTest, AnswersQueryCancelAutoPlayWithOne) {
    OpenProgress("caption");
    UINT query = RegisterWindowMessageA("QueryCancelAutoPlay");
    HWND window = Window();
    std::atomic<LRESULT> answer{-1};
    // From another thread, as the shell sends it; the pump delivers it.
    std::thread shell([&] { answer = SendMessageA(window, query, 0, 0); });
    while (answer == -1)
        PumpMessages();
    shell.join();
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(SendMessageA(Window(), WM_USER + 77, 0, 0), 0);
}

TEST_F(ProgressWindowTest, CancelCommandOnlyHidesIt) {
    OpenProgress("caption");
    HWND window = Window();
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(IsWindowVisible(window));
    CloseProgress();
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(ProgressWindowTest, WindowThatCannotBeMadeIsReportedAndTheCopyGoesOn) {
    std::string text;
    {
        // The message box carries the program's name as its caption.
        DialogDriver driver("ProgressWindowTest", [&](HWND box) {
            text = WindowText(GetDlgItem(box, 0xFFFF));
            Click(box, IDOK);
        });
        CreationBlocker blocker;
        OpenProgress("caption");
        ByteCounters::total = 10;
        OnCopyProgress("x", 5);
        UpdateProgress(60, "y");
    }
    EXPECT_EQ(text, "Error creating Dialog");
    EXPECT_EQ(CountDialogs(GetCurrentThreadId(), kCaption), 0);
    CloseProgress();
}

TEST(ProgressDlgClassTest, CarriesItsRunTimeClassRecord) {
    const CRuntimeClass* record = &ProgressDlg::classProgressDlg;
    EXPECT_STREQ(record->m_lpszClassName, "ProgressDlg");
    EXPECT_EQ(record->m_wSchema, 0xFFFFu);
    EXPECT_EQ(record->m_pBaseClass, &CDialog::classCDialog);
    EXPECT_TRUE(record->IsDerivedFrom(&CDialog::classCDialog));
    EXPECT_FALSE(CDialog::classCDialog.IsDerivedFrom(record));
    std::unique_ptr<CDialog> made(record->CreateObject());
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetRuntimeClass(), record);
    EXPECT_EQ(made->m_hWnd, nullptr) << "the factory makes no window";
}

} // namespace
