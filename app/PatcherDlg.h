// The welcome dialog, on template 102. Its OK button runs the whole patch run,
// whose operations are the dialog's own; Cancel ends the program untouched.
#pragma once

#include "patch/PatchRun.h"
#include "platform/Dialog.h"

class PatcherDlg : public CDialog, public PatchRun {
  public:
    explicit PatcherDlg(CWnd* parent = nullptr);

  protected:
    INT_PTR WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;

    void OnPaint();
    HICON OnQueryDragIcon();
    // Hides the dialog, runs the patch run and ends the dialog as OK, whatever
    // the run's outcome. Does nothing while the run is under way.
    void OnOkClicked();

  private:
    HICON m_hIcon;
    bool m_runUnderWay; // from OK until the dialog ends
    static UINT s_queryCancelAutoPlay;
};
