#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/tester_records.h"

// A stored source type as it travels: the 16-byte name, the USB-C, battery
// charging and Apple choices, the PD profile count and seven 7-byte profiles.
constexpr size_t kSourceTypeBytes = 69;

// The record's bytes; the name is cut to 15 bytes on a character boundary so
// it always ends within its field, and slots beyond the count are zero.
std::vector<uint8_t> EncodeSourceType(const SourceTypeRecord& record);
// The record from its bytes (a default record when too few are given).
SourceTypeRecord DecodeSourceType(std::span<const uint8_t> bytes);

// A NUL-terminated UTF-8 name field of `width` bytes.
std::string ReadNameField(const uint8_t* field, size_t width);
