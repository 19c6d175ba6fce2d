#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/tester_records.h"

// PD messages written as hex, one per line, header first in wire order: an
// optional 0x, blanks or colons between bytes; blank lines and lines
// starting with # are skipped.
struct MessageLines {
    std::vector<TraceRecord> records;  // each message in a zero-filled record
    int badLine = 0;                   // the first line refused, 1-based; 0 when none
    std::string problem;               // why it was refused
};

// The text of a message file as UTF-8: without the byte-order mark Windows
// tools put before UTF-8, and converted from UTF-16 (little- or big-endian,
// with its byte-order mark, as PowerShell 5.1 writes redirected output).
// Anything else is returned as it is.
std::string MessageTextAsUtf8(std::string_view bytes);

// Refuses a line that is not hex, has an odd number of digits, or whose
// length is not 2 + 4 x the object count its header gives.
MessageLines ParseMessageLines(std::string_view text);
