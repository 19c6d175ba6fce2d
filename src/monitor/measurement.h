#pragma once

#include <cstdint>

// One GetMeasurements answer as the poll loop took it: the readings of both
// ports, the sequence number of the cycle that measured them and the
// steady-clock time they were taken. Sequence 0 means nothing measured yet.
struct Measurement {
    uint64_t sequence = 0;
    uint64_t takenMs = 0;
    uint8_t temperatureC = 0;
    uint16_t sinkMv = 0;
    uint16_t sourceMv = 0;
    uint16_t loadSetpointMa = 0;  // the load current set point the tester reports
    uint16_t sinkCurrentMa = 0;
    uint16_t loopbackCurrentMa = 0;

    float SinkVolts() const { return static_cast<float>(sinkMv / 1000.0); }
    float SourceVolts() const { return static_cast<float>(sourceMv / 1000.0); }
    uint16_t TotalCurrentMa() const { return static_cast<uint16_t>(sinkCurrentMa + loopbackCurrentMa); }
    float SinkPowerW() const { return sinkCurrentMa * SinkVolts() / 1000; }
    float SourcePowerW() const { return loopbackCurrentMa * SourceVolts() / 1000; }
};
