#pragma once

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/logger.h"
#include "platform/mutex.h"

// The application's event log: one Logger that every subsystem records
// events in through LogEvent, from any thread. A view learns of every change
// through its listener.
class EventLog {
public:
    explicit EventLog(Logger::TimeSource now = nullptr, uint32_t capacity = Logger::kDefaultCapacity);

    // Called after every change, on the thread that made it; it must not
    // wait for a window. Nothing (nullptr) stops the calls.
    void SetChangeListener(std::function<void()> listener);

    void LogEvent(const std::string& text, int category);
    // Empties the log and writes the banner.
    void ClearLog();

    const Logger& Records() const { return logger_; }

private:
    void Changed();

    Logger logger_;
    Mutex listenerLock_;
    std::function<void()> listener_;
};

// Writes records as the log file's text; false when a write failed.
bool WriteLogFile(std::FILE* file, const std::vector<Logger::Record>& records);
