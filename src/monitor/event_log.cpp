#include "monitor/event_log.h"

#include "monitor/log_category.h"
#include "platform/files.h"
#include "platform/version.h"

namespace {

// The banner every log starts with.
constexpr const char* kBanner = "Quarnel Voltiq " AMPWRIGHT_VERSION_NAME " " AMPWRIGHT_VERSION_BUILD_TEXT;

}  // namespace

EventLog::EventLog(Logger::TimeSource now, uint32_t capacity) : logger_(capacity, now) {}

void EventLog::SetChangeListener(std::function<void()> listener) {
    std::lock_guard<std::mutex> held(listenerLock_);
    listener_ = std::move(listener);
}

void EventLog::LogEvent(const std::string& text, int category) {
    logger_.AddRecord(text, category);
    Changed();
}

void EventLog::ClearLog() {
    logger_.Clear();
    Changed();
    LogEvent(kBanner, kLogInformation);
}

void EventLog::Changed() {
    std::function<void()> listener;
    {
        std::lock_guard<std::mutex> held(listenerLock_);
        listener = listener_;
    }
    if (listener) listener();
}

bool WriteLogFile(std::FILE* file, const std::vector<Logger::Record>& records) {
    if (std::fprintf(file,
                     "QUARNEL Voltiq Log file\r\n===========================================\r\n"
                     "Number of records logged: %d\r\n\r\n",
                     static_cast<int>(records.size())) < 0) {
        return false;
    }
    for (const Logger::Record& record : records) {
        std::string when = FormatCtime(LocalTime(record.time));
        std::string name(CategoryName(record.category));
        if (std::fprintf(file, "%s: %s- %s\r\n", when.c_str(), name.c_str(), record.text.c_str()) < 0) return false;
    }
    return true;
}
