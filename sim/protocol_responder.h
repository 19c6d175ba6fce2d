#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "identity.h"
#include "physical_model.h"
#include "tester_memory.h"

// Status of SetSourceTypeConfig and SelectSourceType answers.
enum SourceTypeStatus : uint8_t {
    kSourceTypeOk = 0,
    kSourceTypeBadIndex = 1,
    kSourceTypeBadRecord = 2,
};

// The tester's side of the command set: one request in, its answer frames
// out (none for a command the tester does not know or a request too short to
// act on). Runs with the model already advanced to the present.
class ProtocolResponder {
public:
    using Frames = std::vector<std::vector<uint8_t>>;

    ProtocolResponder(PhysicalModel& model, TesterMemory& memory, const TesterIdentity& identity)
        : model_(model), memory_(memory), identity_(identity) {}

    Frames Answer(uint8_t cmd, std::span<const uint8_t> payload);

    bool Tracing() const { return tracing_; }
    bool Capturing() const { return capturing_; }

private:
    std::vector<uint8_t> DeviceInfo() const;
    std::vector<uint8_t> PortStatusPayload() const;
    std::vector<uint8_t> Capabilities() const;
    std::vector<uint8_t> MeasurementsPayload();
    uint8_t StoreSourceType(std::span<const uint8_t> payload);
    Frames SpectrumFrames();

    PhysicalModel& model_;
    TesterMemory& memory_;
    const TesterIdentity& identity_;
    bool tracing_ = false;
    bool capturing_ = false;
};
