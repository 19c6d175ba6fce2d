#include "app/plug_info_table.h"

#include <cstring>

int ReleasePlugInfoRecords(std::span<uint8_t, kPlugInfoTableBytes> table, uint32_t processId) {
    int freed = 0;
    for (size_t i = 0; i < kPlugInfoRecordCount; ++i) {
        uint8_t* record = table.data() + i * kPlugInfoRecordBytes;
        uint8_t* owner = record + kPlugInfoNameBytes;
        uint32_t ownerId = static_cast<uint32_t>(owner[0]) | static_cast<uint32_t>(owner[1]) << 8 |
                           static_cast<uint32_t>(owner[2]) << 16 | static_cast<uint32_t>(owner[3]) << 24;
        if (ownerId != processId) continue;
        std::memset(record, 0, kPlugInfoRecordBytes);
        ++freed;
    }
    return freed;
}
