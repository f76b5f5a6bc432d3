// The whole-number percentage that the progress window shows for a byte count.
#pragma once

#include <cstdint>

// bytes x 100 / total: the quotient in double precision, narrowed to single
// precision, then truncated toward zero. The narrowing rounds a quotient just
// below 100 up to 100. A quotient that is no number in range, as from a total
// of 0, gives 0.
int32_t ProgressPercent(int32_t bytes, int32_t total);
