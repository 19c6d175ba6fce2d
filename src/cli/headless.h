#pragma once

#include <mutex>
#include <ostream>
#include <string>
#include <utility>

#include "graphs/run_context.h"
#include "ui/prompts.h"
#include "platform/mutex.h"

// The window seams a console still has: message boxes that become lines on
// standard error, and a test view that shows nothing (the log lines carry
// the run's progress).
class StderrPrompts : public Prompts {
public:
    StderrPrompts(std::ostream& err, std::string prefix) : err_(err), prefix_(std::move(prefix)) {}
    int ShowMessage(const std::string& text, const std::string& title, uint32_t style) override;
    std::optional<std::string> AskSaveFile(const SaveFileRequest&) override { return std::nullopt; }
    // One whole line to standard error; safe from several threads.
    void WriteLine(const std::string& text);

private:
    Mutex lock_;
    std::ostream& err_;
    const std::string prefix_;
};

class SilentRunView : public RunView {
public:
    void ShowSeries(std::span<const float>) override {}
    void ShowStatus(const std::string&) override {}
    void EnableSettings(bool) override {}
};
