// Records the calls of a progress callback.
#pragma once

#include "patch/PatchRun.h"

#include <string>
#include <utility>
#include <vector>

struct Recorder {
    inline static std::vector<std::pair<std::string, int32_t>> calls;
    static void Record(const char* path, int32_t bytes) { calls.emplace_back(path, bytes); }
    Recorder() { calls.clear(); }
};
