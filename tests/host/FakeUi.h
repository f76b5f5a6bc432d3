// The user interface of the run, replaced for the host tests: prompts are
// answered from a script and every call is recorded.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace fakeui {

struct Prompt {
    std::string message;
    int okDisabled, cancelDisabled;
};

struct Answer {
    int result;
    std::function<void()> before = nullptr; // what the user does before answering
};

extern std::vector<Answer> answers; // taken in order; Cancel when none is left
extern std::vector<Prompt> prompts;
extern std::vector<std::string> messageBoxes;
extern std::vector<std::string> progress; // "open <text>", "update <n> <text>", "pump", "close"
extern std::vector<std::pair<std::string, int>> reports; // OnCopyProgress calls
// Runs as the progress window opens: after the measure pass, before the copy.
extern std::function<void()> onOpenProgress;

void Reset();

} // namespace fakeui
