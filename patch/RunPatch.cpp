// The run behind the welcome dialog's OK button, from the disc search to the
// removal of the temporary copy.
#include "patch/PatchRun.h"
#include "platform/MessageBox.h"
#include "platform/PrivateSecurity.h"
#include "platform/RestartDeletes.h"
#include "platform/Win32Api.h"
#include "patch/ProgressReport.h"
#include "ui/Progress.h"
#include "ui/Prompt.h"

namespace {

const char kInsertDiscMessage[] =
    "\n        Please insert the original Vardenholt Disk, then click on OK";
const char kNoSpaceMessage[] =
    "No space found for the temporary file storage\n\n"
    "Make Sure you have at least 650MB of space for the temporary files.";

} // namespace

void PatchRun::RunPatch() {
    // Deletes an earlier run named for a restart that never came (a log-off,
    // say) would act by name on whatever takes the copy's place at the drive's
    // root once it is gone, a link among them; they go before anything else.
    WithdrawRestartDeletes(kTempFolderName);

    char discRoot[kPathSize];
    if (!FindSourceDisc(discRoot)) {
        for (;;) {
            int answer = ShowPrompt(kInsertDiscMessage, 0, 0);
            if (answer == 1) {
                if (FindSourceDisc(discRoot))
                    break;
            } else if (answer == 2 || answer == 3) {
                return;
            } else if (answer == -1) {
                AfxMessageBox("Dialog box could not be created!", kMessageBoxOk, 0);
                return;
            }
        }
    }

    // A measure pass that stops early only leaves the total short; the copy
    // then fails its completeness check.
    ByteCounters::total = 0;
    WalkTree(discRoot, "", 1, nullptr);

    if (!FindTempLocation(m_tempPath)) {
        ShowPrompt(kNoSpaceMessage, 1, 0);
        return;
    }

    // A folder left over from an earlier run (one killed during its copy, say)
    // is removed first, as that run would have removed it. The copy is made
    // only in a folder that this run creates, never in one that was there
    // before: if the leftover stays, or comes back, the run ends here.
    RemoveTree(m_tempPath, OnCopyProgress);

    if (CopyToTemp(discRoot, m_tempPath) && WritePackage(m_tempPath))
        RunSetup(m_tempPath);

    // Only the folder this run made is removed, through the handle that has
    // held it since. A session end that named the copy for a restart need not
    // have ended the program (the Restart Manager's close ends nothing): with
    // the copy gone, those names go too.
    if (m_tempFolder.IsOpen() && RemoveTree(m_tempFolder, m_tempPath, OnCopyProgress))
        WithdrawRestartDeletes(kTempFolderName);
}

int PatchRun::CopyToTemp(const char* discRoot, const char* tempPath) {
    // A run under way holds its folder until it removes it; making another
    // would let go of it, and that copy would never be removed.
    if (m_tempFolder.IsOpen())
        return 0;
    PrivateSecurity privateSecurity;
    // Without its private descriptor the folder is not made at all: any local
    // user could otherwise swap the copy's setup program before it runs.
    if (!privateSecurity.Descriptor())
        return 0;
    SECURITY_ATTRIBUTES security = {sizeof security, privateSecurity.Descriptor(), TRUE};
    // Made and held in one step, so that nothing can take its place; a
    // folder already there, whoever made it, is never used.
    if (!m_tempFolder.CreateFolder(tempPath, &security))
        return 0;

    OpenProgress("Copying Files. Please Wait...");
    // The window's template carries placeholders: the bar goes to 1 and back
    // so that both changes take effect, and the file line is cleared.
    UpdateProgress(1, "");
    UpdateProgress(0, "");
    PumpMessages();

    ByteCounters::copied = 0;
    int copiedAll = WalkTree(discRoot, tempPath, 0, OnCopyProgress);
    CloseProgress();
    return ByteCounters::copied == ByteCounters::total ? copiedAll : 0;
}

int PatchRun::ShowPrompt(const char* message, int okDisabled, int cancelDisabled) {
    return ShowPromptDialog(message, okDisabled, cancelDisabled);
}
