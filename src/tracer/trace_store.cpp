#include "tracer/trace_store.h"

namespace {
std::string RowText(const Logger& rows, int index) {
    std::optional<Logger::Record> record = rows.GetRecord(index);
    return record ? record->text : std::string();
}
}  // namespace

TraceStore::TraceStore(uint32_t capacity) : rows_(capacity) {}

void TraceStore::Append(const std::string& row) {
    std::lock_guard<std::mutex> held(lock_);
    rows_.AddRecord(row, 0);
    ++appended_;
    choices_.push_back(1);
    while (choices_.size() > static_cast<size_t>(rows_.RecordCount()))
        choices_.pop_front();
    scroll_.UpdateRange(rows_.RecordCount(), kVisibleRows);
}

void TraceStore::Clear() {
    std::lock_guard<std::mutex> held(lock_);
    rows_.Clear();
    choices_.clear();
    scroll_.top = 0;
    scroll_.UpdateRange(0, kVisibleRows);
}

int TraceStore::RowCount() const {
    std::lock_guard<std::mutex> held(lock_);
    return rows_.RecordCount();
}

std::vector<std::string> TraceStore::Rows() const {
    std::lock_guard<std::mutex> held(lock_);
    std::vector<std::string> all;
    int count = rows_.RecordCount();
    all.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        all.push_back(RowText(rows_, i));
    return all;
}

TraceStore::View TraceStore::Visible() const {
    std::lock_guard<std::mutex> held(lock_);
    View view;
    view.rowCount = rows_.RecordCount();
    view.scroll = scroll_;
    uint64_t firstId = appended_ - static_cast<uint64_t>(view.rowCount);
    for (int slot = 0; slot < kVisibleRows && scroll_.top + slot < view.rowCount; ++slot) {
        int index = scroll_.top + slot;
        view.rows.push_back({index, firstId + static_cast<uint64_t>(index), RowText(rows_, index),
                             choices_[static_cast<size_t>(index)]});
    }
    return view;
}

RowScroll TraceStore::Scroll() const {
    std::lock_guard<std::mutex> held(lock_);
    return scroll_;
}

bool TraceStore::Choose(uint64_t id, int choice) {
    std::lock_guard<std::mutex> held(lock_);
    uint64_t firstId = appended_ - choices_.size();
    if (id < firstId || id >= appended_) return false;
    choices_[static_cast<size_t>(id - firstId)] = static_cast<uint8_t>(choice);
    return true;
}

void TraceStore::ScrollBy(RowScroll::Request request, int thumbPosition) {
    std::lock_guard<std::mutex> held(lock_);
    scroll_.Apply(request, thumbPosition);
}

void TraceStore::Wheel(int delta) {
    std::lock_guard<std::mutex> held(lock_);
    scroll_.Wheel(delta);
}
