#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mutex.h"

// A fixed ring of text records, each with a category and the time it was
// added. Storage is reserved once and never touched until used, so an empty
// logger costs almost no memory, and adding never allocates. When full, each
// new record drops the oldest. Safe to use from several threads.
class Logger {
public:
    static constexpr uint32_t kDefaultCapacity = 200001;
    static constexpr size_t kSlotUnits = 300;  // UTF-16 code units per slot, terminator included
    static constexpr size_t kMaxTextUnits = 299;

    using TimeSource = int64_t (*)();  // seconds since 1970-01-01 UTC

    explicit Logger(uint32_t capacity = kDefaultCapacity, TimeSource now = nullptr);
    virtual ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    struct Record {
        std::string text;  // UTF-8
        int category = 0;
        int64_t time = 0;
    };

    // Control characters become spaces; for errors and diagnostics runs of
    // spaces shrink to one; the text is cut to 299 UTF-16 units.
    void AddRecord(std::string_view text, int category);
    // Index 0 and up count from the oldest record, -1 and down back from the
    // newest. Nothing for an index outside the records held.
    std::optional<Record> GetRecord(int64_t index) const;
    int RecordCount() const;
    // Every record held, oldest first, taken in one step: records added
    // meanwhile are neither in it nor push any out of it.
    std::vector<Record> Snapshot() const;
    void Clear();
    uint32_t Capacity() const { return capacity_; }

private:
    struct FreeDeleter {
        void operator()(void* memory) const;
    };
    template <typename T>
    using Storage = std::unique_ptr<T[], FreeDeleter>;

    std::optional<Record> RecordAtLocked(uint32_t slot) const;
    char16_t* Slot(uint32_t index) const { return texts_.get() + static_cast<size_t>(index) * kSlotUnits; }

    const uint32_t capacity_;
    const TimeSource now_;
    Storage<char16_t> texts_;  // capacity x kSlotUnits, zero until written
    Storage<int32_t> categories_;
    Storage<int64_t> times_;
    mutable Mutex lock_;
    uint32_t writeIndex_ = 0;
    uint32_t oldestIndex_ = 0;
    int32_t count_ = 0;
};
