#include "fault_plan.h"

#include <sstream>

#include "device/frame.h"

bool FaultPlan::Take(uint32_t& counter) {
    if (counter == 0) return false;
    --counter;
    return true;
}

std::vector<OutgoingPiece> FaultPlan::Shape(const std::vector<std::vector<uint8_t>>& frames,
                                            const std::vector<uint8_t>& interleaved, std::mt19937& random) {
    std::vector<OutgoingPiece> pieces;
    if (frames.empty() || silent_) return pieces;
    if (Take(drop_)) return pieces;
    if (Take(interleave_) && !interleaved.empty()) pieces.push_back({interleaved, 0});
    if (Take(garbage_)) {
        // Line noise without STX, so it cannot be taken for the start of a frame.
        std::uniform_int_distribution<int> length(3, 12), value(0x04, 0xFF);
        OutgoingPiece noise;
        for (int i = length(random); i > 0; --i)
            noise.bytes.push_back(static_cast<uint8_t>(value(random)));
        pieces.push_back(noise);
    }
    std::vector<uint8_t> first = frames.front();
    if (Take(corruptCheck_)) first[first.size() - 2] ^= 0x5A;
    if (Take(corruptEnd_)) first.back() = 0x7E;
    if (Take(pause_)) {
        size_t half = first.size() / 2;
        pieces.push_back({std::vector<uint8_t>(first.begin(), first.begin() + half), 0});
        pieces.push_back({std::vector<uint8_t>(first.begin() + half, first.end()), pauseMs_});
    } else {
        pieces.push_back({first, 0});
    }
    for (size_t i = 1; i < frames.size(); ++i)
        pieces.push_back({frames[i], 0});
    if (delayMs_ > 0) pieces.front().pauseBeforeMs += delayMs_;
    return pieces;
}

std::string FaultPlan::Describe() const {
    std::ostringstream out;
    out << "drop " << drop_ << ", delay " << delayMs_ << " ms, corrupt-chk " << corruptCheck_ << ", corrupt-etx "
        << corruptEnd_ << ", garbage " << garbage_ << ", pause " << pause_ << " x " << pauseMs_ << " ms, interleave "
        << interleave_ << ", silent " << (silent_ ? "on" : "off");
    return out.str();
}
