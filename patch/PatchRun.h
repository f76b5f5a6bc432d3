// The patch run: find the disc, measure it, pick a temporary folder on a fixed
// drive, copy the disc there, write the replacement package over the copy's,
// run the copy's setup program and wait, then delete the copy.
#pragma once

#include "patch/ByteCounters.h"
#include "patch/RunConstants.h"
#include "platform/HeldEntry.h"

#include <cstdint>

// Called after every chunk of a copy (with the running copied count) and after
// every file of a removal (with that file's own size). Null means none.
typedef void (*ProgressCallback)(const char* path, int32_t bytes);

// The run's operations. The welcome dialog derives from this, so they are the
// dialog's own operations. RunPatch, CopyToTemp and the session end's removal
// share the run's own state below, the temporary folder; the rest need none.
class PatchRun {
  public:
    PatchRun() { m_tempPath[0] = '\0'; }

    void RunPatch();
    int CopyToTemp(const char* discRoot, const char* tempPath);

    // 1 and the root (for example D:\) when a CD-ROM drive holds the package;
    // 0 and the buffer untouched otherwise.
    static int FindSourceDisc(char (&discRoot)[kPathSize]);
    // 1 and "<root>QuillmendTemp\" for the first fixed drive with more than
    // total + 1,000,000 bytes free to the caller; 0 and the buffer untouched otherwise.
    static int FindTempLocation(char (&tempPath)[kPathSize]);

    // Measure mode (nonzero) adds every file's size to total; copy mode (0)
    // re-creates the tree under target and copies every file.
    static int WalkTree(const char* source, const char* target, int measure,
                        ProgressCallback callback);
    // A destination ending in a backslash is a folder that receives the
    // source's file name.
    static int CopyFileChunked(const char* source, const char* destination,
                               ProgressCallback callback);
    // Deletes everything below the folder and the folder itself; nonzero when
    // the folder is gone. A link is removed itself and never entered, the
    // folder included. The second form removes a folder already held.
    static int RemoveTree(const char* folder, ProgressCallback callback);
    static int RemoveTree(HeldEntry& held, const char* folder, ProgressCallback callback);

    // At the end of the session (ending nonzero; 0 means it was called off),
    // while the copy exists: names every entry of the copy, deepest first, for
    // deletion at the next start of Windows, through the held folder. The
    // second form does that; 1 when every entry was named.
    void OnSessionEnd(int ending);
    int ScheduleRemovalAtRestart();

    static int WritePackage(const char* folder);
    // The folder must end in a backslash; 1 only when setup exits with 0.
    static int RunSetup(const char* folder);

    // Shows the prompt (ShowPromptDialog); its modal result: 1 OK, 2 Cancel,
    // -1 not shown.
    int ShowPrompt(const char* message, int okDisabled, int cancelDisabled);

  protected:
    // The run's state. The temporary folder's path, found by RunPatch, and
    // the folder itself, held from its creation by CopyToTemp to its removal,
    // so that no one can rename it away meanwhile; the session end's removal
    // reads both.
    char m_tempPath[kPathSize];
    HeldEntry m_tempFolder;
};
