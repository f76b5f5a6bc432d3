#include "patch/ByteCounters.h"

namespace ByteCounters {
int32_t copied = 0;
int32_t total = 0;
} // namespace ByteCounters
