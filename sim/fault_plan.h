#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// Bytes to send, after a pause measured from the piece before.
struct OutgoingPiece {
    std::vector<uint8_t> bytes;
    uint32_t pauseBeforeMs = 0;
};

// Faults the simulator puts on its answers for robustness tests. Counted
// faults apply to the next N answers (an answer of several frames, such as a
// spectrum, counts once); delay and silence stay until changed.
class FaultPlan {
public:
    void DropNext(uint32_t count) { drop_ = count; }
    void SetDelay(uint32_t ms) { delayMs_ = ms; }
    void CorruptCheckNext(uint32_t count) { corruptCheck_ = count; }
    void CorruptEndNext(uint32_t count) { corruptEnd_ = count; }
    void GarbageNext(uint32_t count) { garbage_ = count; }
    void PauseNext(uint32_t count, uint32_t ms) {
        pause_ = count;
        pauseMs_ = ms;
    }
    void InterleaveNext(uint32_t count) { interleave_ = count; }
    void SetSilent(bool silent) { silent_ = silent; }
    void Clear() { *this = FaultPlan(); }

    // Silent: the tester sends nothing at all, answers or unsolicited frames.
    bool Silent() const { return silent_; }

    // The pieces that carry one answer. `interleaved` is an unsolicited frame
    // to put between request and answer when that fault is armed.
    std::vector<OutgoingPiece> Shape(const std::vector<std::vector<uint8_t>>& frames,
                                     const std::vector<uint8_t>& interleaved, std::mt19937& random);

    std::string Describe() const;

private:
    static bool Take(uint32_t& counter);

    uint32_t drop_ = 0;
    uint32_t delayMs_ = 0;
    uint32_t corruptCheck_ = 0;
    uint32_t corruptEnd_ = 0;
    uint32_t garbage_ = 0;
    uint32_t pause_ = 0;
    uint32_t pauseMs_ = 0;
    uint32_t interleave_ = 0;
    bool silent_ = false;
};
