// The percentage that the progress window shows for a byte count.
#include "patch/Percent.h"

#include "platform/DoubleDivision.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    int32_t bytes;
    int32_t total;
    int32_t percent;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.bytes << " of " << c.total;
}

class PercentTest : public ::testing::TestWithParam<Case> {};

TEST_P(PercentTest, TruncatesTheSinglePrecisionQuotient) {
    EXPECT_EQ(ProgressPercent(GetParam().bytes, GetParam().total), GetParam().percent);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PercentTest,
    ::testing::Values(Case{0, 200, 0}, Case{1, 200, 0}, Case{2, 200, 1}, Case{199, 200, 99},
                      Case{200, 200, 100},
                      // Narrowed to single precision, a quotient just under 100 becomes 100.
                      Case{599999990, 600000000, 100}, Case{599999000, 600000000, 99},
                      // Quotients a hair below the single-precision midpoint under
                      // a whole number round onto it in double precision, and from
                      // there up to the whole number; not so from the x87 unit's
                      // extended precision.
                      Case{550502378, 550502399, 100}, Case{275251189, 550502399, 50},
                      // Quotients a hair below the double-precision midpoint under
                      // that one: rounded first to extended precision, they would
                      // land on it, and ties would carry them on to the whole number.
                      Case{365072199, 536870911, 67}, Case{1401004951, 1610350589, 86},
                      Case{INT32_MAX / 2, INT32_MAX, 50},
                      // No integer overflow: the product is formed in floating point.
                      Case{INT32_MAX, INT32_MAX, 100},
                      // A total of 0 gives 0 without a fault.
                      Case{0, 0, 0}, Case{5, 0, 0}, Case{-5, 0, 0},
                      // Beyond 32 bits there is no percentage to show.
                      Case{INT32_MAX, 1, 0}));

#if defined(__i386__) || defined(__x86_64__)
unsigned short X87ControlWord() {
    unsigned short word;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}

void SetX87ControlWord(unsigned short word) {
    __asm__ volatile("fldcw %0" : : "m"(word));
}
#endif

// The caller's x87 unit may be set to any precision, as a program that draws
// with Direct3D sets it to single: the division rounds to double whatever it
// finds, and leaves the unit as it found it.
TEST(X87Division, RoundsToDoubleAndLeavesTheCallersPrecisionAsItWas) {
#if defined(__i386__) || defined(__x86_64__)
    const unsigned short original = X87ControlWord();
    // A third rounded to double; from single precision it would be 0x1.555556p-2.
    const double third = 0x1.5555555555555p-2;
    for (unsigned short precision : {0x000, 0x300}) { // single, extended
        SCOPED_TRACE(precision);
        const unsigned short callers = static_cast<unsigned short>((original & ~0x300) | precision);
        SetX87ControlWord(callers);
        double quotient = DivideOnX87InDoublePrecision(1.0, 3.0);
        unsigned short after = X87ControlWord();
        SetX87ControlWord(original);
        EXPECT_EQ(after, callers);
        EXPECT_EQ(quotient, third) << std::hexfloat << quotient;
    }
#else
    GTEST_SKIP() << "no x87 unit on this processor";
#endif
}

} // namespace
