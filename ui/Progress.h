// The progress window of the copy: one modeless window with a bar from 0 to
// 100, a caption line and the current file. Every report ends by draining the
// thread's message queue, which keeps the program's windows alive while the
// copy runs on the user-interface thread. User-interface thread only.
#pragma once

#include <cstdint>

// Closes any progress window, then shows a new one with the caption line text.
void OpenProgress(const char* text);
// Moves the bar and, unless text is null, sets the current-file line, but only
// when percent differs from the last shown; then drains the queue either way.
// Without a window only the percentage is recorded.
void UpdateProgress(int32_t percent, const char* text);
// Destroys the progress window; nothing when there is none.
void CloseProgress();
// Removes and dispatches every pending message of the thread without waiting,
// WM_QUIT included.
void PumpMessages();
