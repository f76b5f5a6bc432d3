#include "patch/Percent.h"
#include "platform/DoubleDivision.h"

int32_t ProgressPercent(int32_t bytes, int32_t total) {
    // The product is exact: 38 bits at most.
    double quotient =
        DivideInDoublePrecision(static_cast<double>(bytes) * 100.0, static_cast<double>(total));
    float narrowed = static_cast<float>(quotient);
    // Infinities, NaN and values beyond 32 bits have no integer to truncate to.
    if (!(narrowed > -2147483648.0f && narrowed < 2147483648.0f))
        return 0;
    return static_cast<int32_t>(narrowed);
}
