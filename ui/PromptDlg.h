// The prompt dialog, on template 131: a message with OK and Cancel, either of
// which can be disabled. Shown by ShowPromptDialog (ui/Prompt.h).
#pragma once

#include "platform/Dialog.h"

#include <memory>

class PromptDlg : public CDialog {
  public:
    // Null shows an empty text; a nonzero flag disables its button.
    PromptDlg(const char* message, int okDisabled, int cancelDisabled);

  protected:
    INT_PTR WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;

  private:
    std::unique_ptr<char[]> m_message; // the text's own copy; null shows none
    int m_okDisabled;
    int m_cancelDisabled;
    static UINT s_queryCancelAutoPlay;
};
