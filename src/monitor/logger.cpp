#include "monitor/logger.h"

#include <cstdlib>
#include <ctime>
#include <new>

#include "platform/text.h"

namespace {
int64_t CurrentUnixTime() {
    return static_cast<int64_t>(std::time(nullptr));
}

// calloc hands out zeroed pages that cost nothing until written, so a large
// empty ring stays cheap in resident memory.
template <typename T>
T* ReserveZeroed(size_t count) {
    void* memory = std::calloc(count, sizeof(T));
    if (memory == nullptr) throw std::bad_alloc();
    return static_cast<T*>(memory);
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
}  // namespace

Logger::Logger(uint32_t capacity, TimeSource now)
    : capacity_(capacity < 2 ? 2 : capacity),
      now_(now != nullptr ? now : &CurrentUnixTime),
      texts_(ReserveZeroed<char16_t>(static_cast<size_t>(capacity_) * kSlotUnits)),
      categories_(ReserveZeroed<int32_t>(capacity_)),
      times_(ReserveZeroed<int64_t>(capacity_)) {}

Logger::~Logger() = default;

void Logger::FreeDeleter::operator()(void* memory) const {
    std::free(memory);
}

void Logger::AddRecord(std::string_view text, int category) {
    char16_t units[kSlotUnits];
    size_t length = Utf8ToUtf16Into(text, units, kSlotUnits);
    for (size_t i = 0; i < length; ++i) {
        if (units[i] < 32) units[i] = u' ';
    }
    if (category == 3 || category == 4) {
        size_t kept = 0;
        for (size_t i = 0; i < length; ++i) {
            if (units[i] == u' ' && i + 1 < length && units[i + 1] == u' ') continue;
            units[kept++] = units[i];
        }
        length = kept;
    }
    if (length > kMaxTextUnits) length = kMaxTextUnits;
    if (length > 0 && IsHighSurrogate(units[length - 1])) --length;
    int64_t time = now_();

    std::lock_guard<std::mutex> held(lock_);
    char16_t* slot = Slot(writeIndex_);
    std::copy(units, units + length, slot);
    slot[length] = u'\0';
    categories_[writeIndex_] = category;
    times_[writeIndex_] = time;
    writeIndex_ = (writeIndex_ + 1) % capacity_;
    if (writeIndex_ == oldestIndex_) oldestIndex_ = (oldestIndex_ + 1) % capacity_;
    if (count_ < static_cast<int32_t>(capacity_ - 1)) ++count_;
}

std::optional<Logger::Record> Logger::GetRecord(int64_t index) const {
    std::lock_guard<std::mutex> held(lock_);
    // Only slots holding one of the records count; a cleared ring is empty
    // without touching its slots.
    if (index >= count_ || -index > count_) return std::nullopt;
    int64_t base = index >= 0 ? oldestIndex_ : writeIndex_;
    return RecordAtLocked(static_cast<uint32_t>(((base + index) % capacity_ + capacity_) % capacity_));
}

std::optional<Logger::Record> Logger::RecordAtLocked(uint32_t slot) const {
    const char16_t* text = Slot(slot);
    if (text[0] == u'\0') return std::nullopt;
    size_t length = 0;
    while (text[length] != u'\0')
        ++length;
    return Record{Utf16ToUtf8({text, length}), categories_[slot], times_[slot]};
}

std::vector<Logger::Record> Logger::Snapshot() const {
    std::lock_guard<std::mutex> held(lock_);
    std::vector<Record> records;
    records.reserve(static_cast<size_t>(count_));
    for (int32_t i = 0; i < count_; ++i) {
        std::optional<Record> record = RecordAtLocked((oldestIndex_ + static_cast<uint32_t>(i)) % capacity_);
        if (record) records.push_back(std::move(*record));
    }
    return records;
}

int Logger::RecordCount() const {
    std::lock_guard<std::mutex> held(lock_);
    return count_;
}

void Logger::Clear() {
    std::lock_guard<std::mutex> held(lock_);
    writeIndex_ = 0;
    oldestIndex_ = 0;
    count_ = 0;
}
