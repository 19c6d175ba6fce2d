#include "support/fake_window.h"

void FakeWindow::SetText(int id, const std::string& text) {
    std::lock_guard<std::mutex> held(lock_);
    controls_[id].text = text;
}

std::string FakeWindow::GetText(int id) {
    std::lock_guard<std::mutex> held(lock_);
    return controls_[id].text;
}

void FakeWindow::Enable(int id, bool enabled) {
    std::lock_guard<std::mutex> held(lock_);
    controls_[id].enabled = enabled;
}

void FakeWindow::Show(int id, bool shown) {
    std::lock_guard<std::mutex> held(lock_);
    controls_[id].shown = shown;
}

void FakeWindow::SetCheck(int id, bool checked) {
    std::lock_guard<std::mutex> held(lock_);
    controls_[id].checked = checked;
}

bool FakeWindow::IsChecked(int id) {
    std::lock_guard<std::mutex> held(lock_);
    return controls_[id].checked;
}

void FakeWindow::SetTextLimit(int id, int characters) {
    std::lock_guard<std::mutex> held(lock_);
    controls_[id].textLimit = characters;
}

void FakeWindow::ClearItems(int id) {
    std::lock_guard<std::mutex> held(lock_);
    controls_[id].items.clear();
    controls_[id].selected = -1;
}

void FakeWindow::AddItem(int id, const std::string& text) {
    std::lock_guard<std::mutex> held(lock_);
    controls_[id].items.push_back(text);
}

void FakeWindow::SelectItem(int id, int index) {
    std::lock_guard<std::mutex> held(lock_);
    Control& c = controls_[id];
    c.selected = index >= 0 && index < static_cast<int>(c.items.size()) ? index : -1;
}

int FakeWindow::SelectedItem(int id) {
    std::lock_guard<std::mutex> held(lock_);
    return controls_[id].selected;
}

int FakeWindow::ItemCount(int id) {
    std::lock_guard<std::mutex> held(lock_);
    return static_cast<int>(controls_[id].items.size());
}

void FakeWindow::SetRange(int id, int minimum, int maximum) {
    std::lock_guard<std::mutex> held(lock_);
    controls_[id].minimum = minimum;
    controls_[id].maximum = maximum;
}

void FakeWindow::SetPosition(int id, int position) {
    std::lock_guard<std::mutex> held(lock_);
    controls_[id].position = position;
}

int FakeWindow::Position(int id) {
    std::lock_guard<std::mutex> held(lock_);
    return controls_[id].position;
}

void FakeWindow::SetLineSize(int id, int size) {
    std::lock_guard<std::mutex> held(lock_);
    controls_[id].lineSize = size;
}

void FakeWindow::SetScrollBar(int id, bool shown, int maximum, int page, int position) {
    std::lock_guard<std::mutex> held(lock_);
    Control& c = controls_[id];
    c.scrollShown = shown;
    c.scrollMaximum = maximum;
    c.scrollPage = page;
    c.scrollPosition = position;
}

void FakeWindow::StartTimer(int timerId, uint32_t periodMs) {
    std::lock_guard<std::mutex> held(lock_);
    timers_[timerId] = periodMs;
}

void FakeWindow::StopTimer(int timerId) {
    std::lock_guard<std::mutex> held(lock_);
    timers_.erase(timerId);
}

void FakeWindow::Repaint(int id) {
    std::lock_guard<std::mutex> held(lock_);
    ++controls_[id].repaints;
}

int FakeWindow::ShowMessage(const std::string& text, const std::string& title, uint32_t style) {
    std::function<void()> action;
    int answer;
    {
        std::lock_guard<std::mutex> held(lock_);
        messages_.push_back({text, title, style});
        action = whileMessageShown_;
        answer = messageAnswer_;
    }
    if (action) action();
    return answer;
}

void FakeWindow::WhileMessageShown(std::function<void()> action) {
    std::lock_guard<std::mutex> held(lock_);
    whileMessageShown_ = std::move(action);
}

std::optional<std::string> FakeWindow::AskSaveFile(const SaveFileRequest& request) {
    std::lock_guard<std::mutex> held(lock_);
    saveRequests_.push_back(request);
    if (savePaths_.empty()) return std::nullopt;
    std::optional<std::string> path = savePaths_.front();
    savePaths_.erase(savePaths_.begin());
    return path;
}

FakeWindow::Control FakeWindow::Get(int id) const {
    std::lock_guard<std::mutex> held(lock_);
    auto found = controls_.find(id);
    return found == controls_.end() ? Control{} : found->second;
}

std::map<int, uint32_t> FakeWindow::Timers() const {
    std::lock_guard<std::mutex> held(lock_);
    return timers_;
}

std::vector<FakeWindow::Message> FakeWindow::Messages() const {
    std::lock_guard<std::mutex> held(lock_);
    return messages_;
}

std::vector<Prompts::SaveFileRequest> FakeWindow::SaveRequests() const {
    std::lock_guard<std::mutex> held(lock_);
    return saveRequests_;
}

void FakeWindow::AnswerMessagesWith(int answer) {
    std::lock_guard<std::mutex> held(lock_);
    messageAnswer_ = answer;
}

void FakeWindow::QueueSavePath(std::optional<std::string> path) {
    std::lock_guard<std::mutex> held(lock_);
    savePaths_.push_back(std::move(path));
}
