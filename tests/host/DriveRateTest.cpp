// The pace of the benchmark's disc at a drive's speed (tools/bench): one read
// after another on one drive, with and without read-ahead.
#include "tools/bench/DriveRate.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

struct Read {
    std::int64_t now;
    std::int64_t bytes;
    std::int64_t buffer;
    std::int64_t due;
};

TEST(DriveRateTest, SpeedsCountSectorsOf2048Bytes) {
    EXPECT_EQ(drive_rate::BytesPerSecond(1), 153600);
    EXPECT_EQ(drive_rate::BytesPerSecond(52), 7987200);
}

TEST(DriveRateTest, ReadsQueueAndPausesAreMadeUpOnlyFromTheBuffer) {
    // At 52x a 4 KiB read takes 512,820 ns; times in ns.
    const Read reads[] = {
        {0, 4096, 0, 512820},                     // an idle drive starts at once
        {0, 4096, 0, 1025640},                    // a second read waits for the first
        {5000000, 4096, 0, 5512820},              // without read-ahead a pause is lost
        {20000000, 4096, 1000000, 19512820},      // with it, made up to the buffer's 1 ms
        {20000000, 7987200, 1000000, 1019512820}, // and no more: a second's bytes
        {1019512820, 4096, 1000000, 1020025640},  // busy: read-ahead gives nothing
    };
    std::int64_t busy = 0;
    for (const Read& r : reads) {
        EXPECT_EQ(drive_rate::Deliver(busy, r.now, r.bytes, 7987200, r.buffer), r.due)
            << "read of " << r.bytes << " at " << r.now;
        EXPECT_EQ(busy, r.due);
    }
}

} // namespace
