#pragma once

#include <string>
#include <vector>

#include "pd_message.h"

// PD messages to play back as traced records: one message per line, hex
// bytes as on the wire, header first (blanks between bytes allowed, an
// optional 0x prefix, # starts a comment). Lines that are not a whole message
// (odd digit count, not hex, fewer than 2 or more than 30 bytes) are skipped
// and counted.
struct ReplayScript {
    std::vector<pd::Message> messages;
    size_t skippedLines = 0;
};

ReplayScript ParseReplay(const std::string& text);
bool LoadReplay(const std::string& path, ReplayScript& out);
