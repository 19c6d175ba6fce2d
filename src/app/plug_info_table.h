#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The plug-information table that instances of the application share: 32
// records of a 20-character UTF-16 name and the owner's process id (0 when
// free), 44 bytes each, no header.
constexpr size_t kPlugInfoRecordCount = 32;
constexpr size_t kPlugInfoRecordBytes = 44;
constexpr size_t kPlugInfoNameBytes = 40;
constexpr size_t kPlugInfoTableBytes = kPlugInfoRecordCount * kPlugInfoRecordBytes;

// Frees the records a process owns (name emptied, id 0); others stay as
// they are. Returns how many were freed.
int ReleasePlugInfoRecords(std::span<uint8_t, kPlugInfoTableBytes> table, uint32_t processId);
