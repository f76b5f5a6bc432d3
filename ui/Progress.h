// The progress window shown while the disc is copied. The run is synchronous
// on the user-interface thread, so every report ends by draining the thread's
// message queue; that is what keeps the windows alive during long loops.
#pragma once

#include <cstdint>

// Opens the one progress window (closing any earlier one) with a caption line.
void OpenProgress(const char* text);
// Moves the bar and, when text is not null, sets the current-file line; the
// window is touched only when the percentage changes. Always drains the queue.
void UpdateProgress(int32_t percent, const char* text);
void CloseProgress();
// Removes and dispatches every pending message of the thread without waiting.
void PumpMessages();
// The run's progress callback: the byte count in percent of the measured total.
void OnCopyProgress(const char* path, int32_t bytes);
