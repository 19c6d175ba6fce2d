#include "cli/headless.h"

void StderrPrompts::WriteLine(const std::string& text) {
    std::lock_guard<std::mutex> held(lock_);
    err_ << text << "\n";
    err_.flush();
}

// A question is answered with its first button: OK or Yes.
int StderrPrompts::ShowMessage(const std::string& text, const std::string&, uint32_t style) {
    std::string line = text;
    while (!line.empty() && line.back() == '\n')
        line.pop_back();
    for (char& c : line)
        if (c == '\n') c = ' ';
    WriteLine(prefix_ + line);
    return (style & 0xF) == kYesNo ? kAnswerYes : kAnswerOk;
}

void HeadlessControls::ClearItems(int id) {
    std::lock_guard<std::mutex> held(lock_);
    items_[id].clear();
    selected_[id] = -1;
}

void HeadlessControls::AddItem(int id, const std::string& text) {
    std::lock_guard<std::mutex> held(lock_);
    items_[id].push_back(text);
}

void HeadlessControls::SelectItem(int id, int index) {
    std::lock_guard<std::mutex> held(lock_);
    selected_[id] = index;
}

int HeadlessControls::SelectedItem(int id) {
    std::lock_guard<std::mutex> held(lock_);
    auto found = selected_.find(id);
    return found == selected_.end() ? -1 : found->second;
}

int HeadlessControls::ItemCount(int id) {
    std::lock_guard<std::mutex> held(lock_);
    return static_cast<int>(items_[id].size());
}

std::vector<std::string> HeadlessControls::Items(int id) {
    std::lock_guard<std::mutex> held(lock_);
    return items_[id];
}
