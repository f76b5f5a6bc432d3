// The application: shows the welcome dialog once and ends when it closes.
#pragma once

#include "platform/WinApp.h"

class PatcherApp : public CWinApp {
  public:
    // Runs the welcome dialog modally; always false, so no message loop follows
    // and the program ends.
    BOOL InitInstance() override;
};
