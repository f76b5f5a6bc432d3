#include "FakeUi.h"

#include "patch/ProgressReport.h"
#include "platform/MessageBox.h"
#include "ui/Progress.h"
#include "ui/Prompt.h"

namespace fakeui {

std::vector<Answer> answers;
std::vector<Prompt> prompts;
std::vector<std::string> messageBoxes;
std::vector<std::string> progress;
std::vector<std::pair<std::string, int>> reports;
std::function<void()> onOpenProgress;

void Reset() {
    answers.clear();
    prompts.clear();
    messageBoxes.clear();
    progress.clear();
    reports.clear();
    onOpenProgress = nullptr;
}

} // namespace fakeui

using namespace fakeui;

int ShowPromptDialog(const char* message, int okDisabled, int cancelDisabled) {
    prompts.push_back({message ? message : "", okDisabled, cancelDisabled});
    if (answers.empty() || prompts.size() > 50)
        return 2;
    Answer answer = answers.front();
    answers.erase(answers.begin());
    if (answer.before)
        answer.before();
    return answer.result;
}

int AfxMessageBox(const char* text, unsigned, unsigned) {
    messageBoxes.push_back(text);
    return 1;
}

void OpenProgress(const char* text) {
    progress.push_back(std::string("open ") + text);
    if (onOpenProgress)
        onOpenProgress();
}

void UpdateProgress(int32_t percent, const char* text) {
    progress.push_back("update " + std::to_string(percent) + " " + (text ? text : "(null)"));
}

void CloseProgress() {
    progress.push_back("close");
}

void PumpMessages() {
    progress.push_back("pump");
}

// In place of the run's own report (patch/ProgressReport.cpp), which only
// turns the bytes into the percentage: the tests see the bytes themselves.
void OnCopyProgress(const char* path, int32_t bytes) {
    reports.emplace_back(path, bytes);
}
