#include "tester_memory.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "device/frame.h"

namespace {

// Width in bytes of the registers the model knows; others store what they get.
size_t RegisterWidth(uint8_t reg) {
    switch (reg) {
        case kRegSdpLimit:
        case kRegCableResistance:
        case kRegAutoVoltage:
        case kRegAutoCurrent:
        case kRegOperatingCurrent:
        case kRegLoadChangeTime:
        case kRegUsbcDefaultLimit:
            return 2;
        case kRegSecondCapability:
            return 4;
        default:
            return 1;
    }
}

std::vector<uint8_t> U16Bytes(uint16_t value) {
    std::vector<uint8_t> out;
    AppendU16(out, value);
    return out;
}

SourcePdProfile Profile(uint8_t type, uint16_t minMv, uint16_t maxMv, uint16_t ma) {
    return {type, minMv, maxMv, ma};
}

SourceTypeRecord DefaultSourceType(size_t index) {
    SourceTypeRecord r;
    switch (index) {
        case 0:
            r = {"PD 100W", 1, 2, 0, 5, {}};
            r.pdProfiles = {Profile(0, 5000, 5000, 3000), Profile(0, 9000, 9000, 3000), Profile(0, 15000, 15000, 3000),
                            Profile(0, 20000, 20000, 5000), Profile(1, 3300, 21000, 5000)};
            break;
        case 1:
            r = {"PD 45W", 2, 1, 0, 3, {}};
            r.pdProfiles = {Profile(0, 5000, 5000, 3000), Profile(0, 9000, 9000, 3000), Profile(0, 15000, 15000, 3000)};
            break;
        case 2:
            r = {"PPS 25W", 2, 1, 0, 2, {}};
            r.pdProfiles = {Profile(0, 5000, 5000, 3000), Profile(1, 3300, 11000, 2250)};
            break;
        case 3:
            r = {"QC3 18W", 1, 3, 0, 0, {}};
            break;
        default:
            r = {"Apple 2.4A", 1, 1, 4, 0, {}};
            break;
    }
    return r;
}

std::string Hex(std::span<const uint8_t> bytes) {
    std::string out;
    char digits[3];
    for (uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        out += digits;
    }
    return out;
}

bool FromHex(const std::string& text, std::vector<uint8_t>& out) {
    if (text.size() % 2 != 0) return false;
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        if (std::sscanf(text.c_str() + i, "%2x", &value) != 1) return false;
        out.push_back(static_cast<uint8_t>(value));
    }
    return true;
}
}  // namespace

int32_t StoredCalibration::Apply(int32_t raw) const {
    int32_t r1 = values[0], t1 = values[1], r2 = values[2], t2 = values[3];
    if (!stored || t1 == t2) return raw;
    double gain = static_cast<double>(r1 - r2) / (t1 - t2);
    double offset = r1 - t1 * gain;
    return static_cast<int32_t>(raw * gain + offset + (raw * gain + offset >= 0 ? 0.5 : -0.5));
}

TesterMemory::TesterMemory() {
    registers_ = {
        {kRegLoopback, {0}},
        {kRegCurrentLimit, {0, 0, 0}},
        {kRegSdpLimit, U16Bytes(500)},
        {kRegEstimateVbus, {0}},
        {kRegCableResistance, U16Bytes(80)},
        {kRegAutoProfile, {kAutoProfileOff}},
        {kRegAutoVoltage, U16Bytes(5000)},
        {kRegAutoCurrent, U16Bytes(0)},
        {kRegOperatingCurrent, U16Bytes(65535)},
        {kRegSecondCapability, {0xFF, 0xFF, 0xFF, 0xFF}},
        {kRegPdDetection, {255}},
        {kRegEprDetection, {255}},
        {kRegBcDetection, {255}},
        {kRegQcDetection, {255}},
        {kRegPpsDetection, {1}},
        {kRegApplyOnChange, {0}},
        {kRegLoadChangeTime, U16Bytes(200)},
        {kRegUsbcDefaultLimit, U16Bytes(500)},
    };
    for (size_t i = 0; i < sourceTypes_.size(); ++i)
        sourceTypes_[i] = DefaultSourceType(i);
}

std::vector<uint8_t> TesterMemory::Register(uint8_t reg) const {
    auto found = registers_.find(reg);
    return found == registers_.end() ? std::vector<uint8_t>{} : found->second;
}

bool TesterMemory::SetRegister(uint8_t reg, std::span<const uint8_t> value) {
    if (value.empty()) return false;
    std::vector<uint8_t> stored(value.begin(), value.end());
    if (reg == kRegCurrentLimit) {
        // The mode, and the forced limit when one comes with it; a write
        // without a limit keeps the last one.
        std::vector<uint8_t> old = Register(reg);
        old.resize(3, 0);
        old[0] = value[0];
        if (value.size() >= 3) std::copy_n(value.begin() + 1, 2, old.begin() + 1);
        stored = old;
    } else if (registers_.count(reg) || RegisterWidth(reg) > 1) {
        size_t width = RegisterWidth(reg);
        if (value.size() < width) return false;
        stored.resize(width);
    }
    registers_[reg] = stored;
    Changed();
    return true;
}

uint8_t TesterMemory::U8(uint8_t reg) const {
    auto found = registers_.find(reg);
    return found == registers_.end() || found->second.empty() ? 0 : found->second[0];
}

uint16_t TesterMemory::U16(uint8_t reg, size_t offset) const {
    auto found = registers_.find(reg);
    if (found == registers_.end() || found->second.size() < offset + 2) return 0;
    return ReadU16(found->second.data() + offset);
}

void TesterMemory::SetSourceType(size_t index, const SourceTypeRecord& record) {
    sourceTypes_.at(index) = DecodeSourceType(EncodeSourceType(record));
    Changed();
}

void TesterMemory::SelectSourceType(uint8_t index) {
    if (index >= sourceTypes_.size()) return;
    selectedSourceType_ = index;
    Changed();
}

void TesterMemory::SetCalibration(size_t channel, const StoredCalibration& calibration) {
    calibration_.at(channel) = calibration;
    Changed();
}

void TesterMemory::Changed() const {
    if (!file_.empty()) Save();
}

std::string TesterMemory::Serialize() const {
    std::ostringstream out;
    out << "# tester memory: registers, source types, calibration\n";
    for (const auto& [reg, value] : registers_) {
        char number[8];
        std::snprintf(number, sizeof number, "%02X", reg);
        out << "register " << number << ' ' << Hex(value) << '\n';
    }
    out << "selected-source-type " << int(selectedSourceType_) << '\n';
    for (size_t i = 0; i < sourceTypes_.size(); ++i) {
        out << "source-type " << i << ' ' << Hex(EncodeSourceType(sourceTypes_[i])) << '\n';
    }
    for (size_t i = 0; i < calibration_.size(); ++i) {
        const StoredCalibration& c = calibration_[i];
        if (!c.stored) continue;
        out << "calibration " << i << ' ' << int(c.yearSince2000) << ' ' << int(c.month);
        for (int16_t v : c.values)
            out << ' ' << v;
        out << '\n';
    }
    return out.str();
}

void TesterMemory::Deserialize(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        std::vector<uint8_t> bytes;
        if (kind == "register") {
            std::string reg, value;
            words >> reg >> value;
            std::vector<uint8_t> number;
            if (FromHex(reg, number) && number.size() == 1 && FromHex(value, bytes) && !bytes.empty()) {
                registers_[number[0]] = bytes;
            }
        } else if (kind == "selected-source-type") {
            unsigned index = 0;
            if (words >> index && index < sourceTypes_.size()) selectedSourceType_ = static_cast<uint8_t>(index);
        } else if (kind == "source-type") {
            unsigned index = 0;
            std::string value;
            if (words >> index >> value && index < sourceTypes_.size() && FromHex(value, bytes) &&
                bytes.size() == kSourceTypeBytes) {
                sourceTypes_[index] = DecodeSourceType(bytes);
            }
        } else if (kind == "calibration") {
            unsigned channel = 0, year = 0, month = 0;
            int v[4] = {};
            if (words >> channel >> year >> month >> v[0] >> v[1] >> v[2] >> v[3] && channel < calibration_.size()) {
                StoredCalibration& c = calibration_[channel];
                c = {true, static_cast<uint8_t>(year), static_cast<uint8_t>(month), {}};
                for (int i = 0; i < 4; ++i)
                    c.values[i] = static_cast<int16_t>(v[i]);
            }
        }
    }
}

bool TesterMemory::Load(const std::string& path) {
    std::ifstream in(path);
    if (!in) return false;
    std::stringstream text;
    text << in.rdbuf();
    Deserialize(text.str());
    return true;
}

bool TesterMemory::Save() const {
    if (file_.empty()) return false;
    // Written beside the file and renamed over it, so a crash never leaves half a file.
    std::string temporary = file_ + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        if (!out) return false;
        out << Serialize();
        if (!out.flush()) return false;
    }
    if (std::rename(temporary.c_str(), file_.c_str()) == 0) return true;
    // Windows does not rename over an existing file.
    std::remove(file_.c_str());
    return std::rename(temporary.c_str(), file_.c_str()) == 0;
}
