#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "device/config_registers.h"
#include "device/source_type_wire.h"
#include "device/tester_records.h"

constexpr uint8_t kAutoProfileOff = 255;
constexpr uint8_t kAutoProfileMax = 254;
constexpr size_t kCalibrationChannels = 4;

struct StoredCalibration {
    bool stored = false;
    uint8_t yearSince2000 = 0;
    uint8_t month = 0;
    std::array<int16_t, 4> values = {};  // reference 1, tester 1, reference 2, tester 2

    // The reading mapped through the line of the two points; the raw reading
    // when nothing is stored or both tester values are equal.
    int32_t Apply(int32_t raw) const;
};

// What the tester keeps across restarts: configuration registers, the five
// source types with the selected one, and the calibration of four channels.
// With a file set, every change is written to it at once.
class TesterMemory {
public:
    TesterMemory();

    // Register values as stored, little-endian; empty for a register never
    // written that has no default.
    std::vector<uint8_t> Register(uint8_t reg) const;
    // Stores a register write; a value shorter than the register's width is
    // refused (false) so that a truncated frame cannot corrupt a setting.
    bool SetRegister(uint8_t reg, std::span<const uint8_t> value);
    uint8_t U8(uint8_t reg) const;
    uint16_t U16(uint8_t reg, size_t offset = 0) const;

    const SourceTypeRecord& SourceType(size_t index) const { return sourceTypes_.at(index); }
    void SetSourceType(size_t index, const SourceTypeRecord& record);
    uint8_t SelectedSourceType() const { return selectedSourceType_; }
    void SelectSourceType(uint8_t index);

    const StoredCalibration& Calibration(size_t channel) const { return calibration_.at(channel); }
    void SetCalibration(size_t channel, const StoredCalibration& calibration);

    // Persistence. Load keeps the defaults for whatever the file lacks and
    // skips lines it cannot read; false when the file cannot be read at all.
    void SetFile(const std::string& path) { file_ = path; }
    bool Load(const std::string& path);
    bool Save() const;
    std::string Serialize() const;
    void Deserialize(const std::string& text);

private:
    void Changed() const;

    std::map<uint8_t, std::vector<uint8_t>> registers_;
    std::array<SourceTypeRecord, SourceTypeNames::kTypeCount> sourceTypes_;
    uint8_t selectedSourceType_ = 0;
    std::array<StoredCalibration, kCalibrationChannels> calibration_ = {};
    std::string file_;
};
