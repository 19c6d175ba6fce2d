#pragma once

#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "graphs/test_run.h"
#include "ui/controls.h"
#include "ui/prompts.h"

// The window seams for a console: controls that keep only their lists (the
// poll loop fills the profile list and reads its selection), message boxes
// that become lines on standard error, a test view that shows nothing (the
// log lines carry the run's progress).
class HeadlessControls : public Controls {
public:
    void SetText(int, const std::string&) override {}
    std::string GetText(int) override { return {}; }
    void Enable(int, bool) override {}
    void Show(int, bool) override {}
    void SetCheck(int, bool) override {}
    bool IsChecked(int) override { return false; }
    void SetTextLimit(int, int) override {}
    void ClearItems(int id) override;
    void AddItem(int id, const std::string& text) override;
    void SelectItem(int id, int index) override;
    int SelectedItem(int id) override;
    int ItemCount(int id) override;
    void SetRange(int, int, int) override {}
    void SetPosition(int, int) override {}
    int Position(int) override { return 0; }
    void SetLineSize(int, int) override {}
    void SetScrollBar(int, bool, int, int, int) override {}
    void StartTimer(int, uint32_t) override {}
    void StopTimer(int) override {}
    void Repaint(int) override {}

    std::vector<std::string> Items(int id);

private:
    std::mutex lock_;  // the poll thread writes while a command reads
    std::map<int, std::vector<std::string>> items_;
    std::map<int, int> selected_;
};

class StderrPrompts : public Prompts {
public:
    StderrPrompts(std::ostream& err, std::string prefix) : err_(err), prefix_(std::move(prefix)) {}
    int ShowMessage(const std::string& text, const std::string& title, uint32_t style) override;
    std::optional<std::string> AskSaveFile(const SaveFileRequest&) override { return std::nullopt; }
    // One whole line to standard error; safe from several threads.
    void WriteLine(const std::string& text);

private:
    std::mutex lock_;
    std::ostream& err_;
    const std::string prefix_;
};

class SilentTestView : public TestView {
public:
    void ShowSeries(std::span<const float>) override {}
    void ShowStatus(const std::string&) override {}
    void EnableSettings(bool) override {}
};
