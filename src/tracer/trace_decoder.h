#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "device/tester_records.h"
#include "tracer/pd_header.h"

// What the composer waits to see on the trace after a send. Shared by the
// window thread (the composer) and the communication thread (the decoder).
struct PendingEcho {
    static constexpr uint8_t kNothing = 0xFF;
    static constexpr uint8_t kByHeader = 0xFE;

    // kNothing, kByHeader (await heldHeader), or the MessageTypeCode whose
    // name is awaited.
    std::atomic<uint8_t> pending{kNothing};
    // The header of the last raw message prepared. While it is not zero,
    // records with an all-zero header are not traced.
    std::atomic<uint16_t> heldHeader{0x001F};
};

// One traced record as a row: "echo,type,data role,power role,revision,
// message id,object count,data,raw". Nothing for a record with an all-zero
// header. A record that is the awaited echo gets flag 1 and ends the wait.
std::optional<std::string> DecodeTracedMessage(const TraceRecord& record, PendingEcho& echo);
