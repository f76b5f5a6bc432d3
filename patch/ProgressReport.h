// The progress report of the run's copy and removal, which the progress window
// shows as a percentage of the measured total.
#pragma once

#include <cstdint>

// The copy's and the removal's progress callback: bytes in percent of
// ByteCounters::total, with path as the current file.
void OnCopyProgress(const char* path, int32_t bytes);
