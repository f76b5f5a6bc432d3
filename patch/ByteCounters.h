// The byte counts of the current run, the state its passes share: the measure
// pass adds up the total, the copy pass counts what it copied, and the progress
// report divides the one by the other. Reset per pass; additions wrap at 32
// bits.
#pragma once

#include <cstdint>

namespace ByteCounters {
extern int32_t copied; // bytes copied in the current copy pass
extern int32_t total;  // bytes in all files of the disc's tree
} // namespace ByteCounters
