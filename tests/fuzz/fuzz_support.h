#pragma once

// What every fuzz target shares: the input as typed pieces, and a property
// check that stops the run with a message (libFuzzer keeps the input).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_REQUIRE(condition, ...)                                     \
    do {                                                                 \
        if (!(condition)) {                                              \
            std::fprintf(stderr, "property failed: %s\n  ", #condition); \
            std::fprintf(stderr, __VA_ARGS__);                           \
            std::fprintf(stderr, "\n");                                  \
            std::abort();                                                \
        }                                                                \
    } while (0)

// The hex text of bytes, "0A 1B", for messages about them.
inline std::string HexOf(const uint8_t* bytes, size_t size) {
    std::string text;
    char byte[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", bytes[i]);
        text += byte;
    }
    return text;
}
