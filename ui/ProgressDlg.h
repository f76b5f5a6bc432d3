// The progress window's dialog class, on template 129. Driven by the functions
// of ui/Progress.h; it sets nothing itself.
#pragma once

#include "platform/Dialog.h"

class ProgressDlg : public CDialog {
  public:
    ProgressDlg();

    static const CRuntimeClass classProgressDlg;
    const CRuntimeClass* GetRuntimeClass() const override { return &classProgressDlg; }

  protected:
    INT_PTR WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;

  private:
    static CDialog* CreateObject();
    static UINT s_queryCancelAutoPlay;
};
