#pragma once
// The pace of a CD-ROM drive for tools/bench/DriveSpeedFs.cpp: one stream of
// data at a fixed rate, shared by every read of every file, as one drive's
// head is. The drive reads ahead into a buffer of `buffer` nanoseconds' worth
// of data: time the reader spends between reads is made up from it, and no
// more; with none, a drive delivers no faster after a pause. Seeks and spin-up
// are not modelled.

#include <cstdint>

namespace drive_rate {

// A single-speed drive reads 75 sectors of 2,048 bytes a second; a 52x drive
// 52 times that, 7,987,200 bytes a second.
constexpr std::int64_t kSingleSpeed = 75 * 2048;

constexpr std::int64_t BytesPerSecond(std::int64_t speed) {
    return speed * kSingleSpeed;
}

// How long the drive takes to read `bytes`, in nanoseconds.
constexpr std::int64_t Duration(std::int64_t bytes, std::int64_t bytesPerSecond) {
    return bytes * 1000000000 / bytesPerSecond;
}

// The moment (in nanoseconds on the caller's clock) when a read of `bytes`
// that arrives at `now` is delivered, given that the drive has delivered all
// it was asked for by `busyUntil`; advances `busyUntil` to that moment.
constexpr std::int64_t Deliver(std::int64_t& busyUntil, std::int64_t now, std::int64_t bytes,
                               std::int64_t bytesPerSecond, std::int64_t buffer) {
    const std::int64_t start = now - buffer > busyUntil ? now - buffer : busyUntil;
    busyUntil = start + Duration(bytes, bytesPerSecond);
    return busyUntil;
}

} // namespace drive_rate
