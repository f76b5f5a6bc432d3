// What the window tests share: a fixture that needs a display, a way to find
// the program's dialogs, a driver that works a dialog from a second thread the
// way a user or the shell would, and a hook that makes window creation fail.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

constexpr char kCaption[] = "Vardenholt Installer Patcher v1.0.1";

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    // Drains the thread's queue, so that nothing one test leaves (a quit
    // message, a timer) reaches the next.
    void TearDown() override;
};

std::string WindowText(HWND hwnd);
// The visible top-level window of the thread with that caption and the dialog
// class, or null.
HWND FindDialog(DWORD thread, const char* caption);
// Every top-level window of the thread with that caption, shown or hidden.
int CountDialogs(DWORD thread, const char* caption);
// Clicks a button the way the mouse does, through the button itself.
void Click(HWND dialog, int id);

// Waits on a second thread for the test thread's visible dialog with the given
// caption, then runs the action with it. If the dialog never comes, or is
// still there long after the action, a quit message ends the test thread's
// modal loop so that the test fails instead of hanging.
class DialogDriver {
  public:
    DialogDriver(const char* caption, std::function<void(HWND)> action);
    ~DialogDriver();

  private:
    std::thread m_thread;
};

// While it lives, windows of this thread with the program's caption fail to be
// created, as when a template cannot be made into a window.
class CreationBlocker {
  public:
    CreationBlocker();
    ~CreationBlocker();

  private:
    HHOOK m_hook;
};
