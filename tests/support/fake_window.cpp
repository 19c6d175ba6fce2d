#include "support/fake_window.h"

#include <cstdio>

void FakeWindow::CheckThread(int id) {
    std::thread::id owner = owner_.load();
    if (owner == std::thread::id() || owner == std::this_thread::get_id()) return;
    ++foreignCalls_;
    std::fprintf(stderr, "control %d of the window was used from another thread than the window's\n", id);
}

void FakeWindow::ClearItems(int id) {
    Locked<Control> c = At(id);
    c->items.clear();
    c->selected = -1;
}

void FakeWindow::SelectItem(int id, int index) {
    Locked<Control> c = At(id);
    c->selected = index >= 0 && index < static_cast<int>(c->items.size()) ? index : -1;
}

void FakeWindow::SetRange(int id, int minimum, int maximum) {
    Locked<Control> c = At(id);
    c->minimum = minimum;
    c->maximum = maximum;
}

void FakeWindow::SetScrollBar(int id, bool shown, int maximum, int page, int position) {
    Locked<Control> c = At(id);
    c->scrollShown = shown;
    c->scrollMaximum = maximum;
    c->scrollPage = page;
    c->scrollPosition = position;
}

int FakeWindow::ShowMessage(const std::string& text, const std::string& title, uint32_t style) {
    Lock(lock_, messages_)->push_back({text, title, style});
    int answer = *Lock(lock_, messageAnswer_);
    if (std::function<void()> action = *Lock(lock_, whileMessageShown_)) action();
    return answer;
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
