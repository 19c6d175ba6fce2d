#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "monitor/event_log.h"

using Bytes = std::vector<uint8_t>;

// Appends each value little-endian, in its own width, as the tester's wire has them.
template <typename... T>
Bytes Le(Bytes out, T... values) {
    (..., [&](auto v) {
        for (size_t i = 0; i < sizeof(v); ++i)
            out.push_back(static_cast<uint8_t>(v >> 8 * i));
    }(values));
    return out;
}

// Little-endian 16-bit words after `out`.
inline Bytes Words(std::initializer_list<int> values, Bytes out = {}) {
    for (int v : values)
        out = Le(std::move(out), static_cast<uint16_t>(v));
    return out;
}

// Polls (in real time) until `done` holds; false when the time ran out first.
inline bool WaitUntil(const std::function<bool()>& done, uint32_t timeoutMs = 1000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The texts of the log's records, from record `from` on.
inline std::vector<std::string> LogTexts(const EventLog& log, size_t from = 0) {
    std::vector<std::string> texts;
    for (int i = static_cast<int>(from); i < log.Records().RecordCount(); ++i)
        texts.push_back(log.Records().GetRecord(i)->text);
    return texts;
}

inline std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / name).string();
}
