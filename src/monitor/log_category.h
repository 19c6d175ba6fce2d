#pragma once

#include <string_view>

#include "platform/drawing_values.h"

// What a log record is about; stored with each record.
enum LogCategory : int {
    kLogInformation = 0,
    kLogLoopback = 1,
    kLogBenchmark = 2,
    kLogError = 3,
    kLogDiagnostics = 4,
    kLogFileOperation = 5,
    kLogResults = 6,
    kLogMinorError = 7,
    kLogPass = 8,
};

// The category's name as written to log files, padded to 11 characters; an
// unknown category is written under the error category's name.
std::string_view CategoryName(int category);
// The row colour in the log pane; unknown categories are white.
Color CategoryColor(int category);
