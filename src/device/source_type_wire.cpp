#include "device/source_type_wire.h"

#include "device/frame.h"
#include "platform/text.h"

std::string ReadNameField(const uint8_t* field, size_t width) {
    size_t length = 0;
    while (length < width && field[length] != 0)
        ++length;
    return std::string(reinterpret_cast<const char*>(field), length);
}

std::vector<uint8_t> EncodeSourceType(const SourceTypeRecord& record) {
    std::vector<uint8_t> out;
    out.reserve(kSourceTypeBytes);
    std::string_view name = CutUtf8(record.name, SourceTypeRecord::kNameBytes - 1);
    out.insert(out.end(), name.begin(), name.end());
    out.resize(SourceTypeRecord::kNameBytes, 0);
    out.push_back(record.usbcChoice);
    out.push_back(record.batteryChargingChoice);
    out.push_back(record.appleChoice);
    out.push_back(record.pdProfileCount);
    for (size_t i = 0; i < SourceTypeRecord::kMaxProfiles; ++i) {
        SourcePdProfile p = i < record.pdProfileCount ? record.pdProfiles[i] : SourcePdProfile{};
        out.push_back(p.type);
        AppendU16(out, p.minimumMv);
        AppendU16(out, p.maximumMv);
        AppendU16(out, p.currentMa);
    }
    return out;
}

SourceTypeRecord DecodeSourceType(std::span<const uint8_t> bytes) {
    SourceTypeRecord r;
    if (bytes.size() < kSourceTypeBytes) return r;
    r.name = ReadNameField(bytes.data(), SourceTypeRecord::kNameBytes);
    r.usbcChoice = bytes[16];
    r.batteryChargingChoice = bytes[17];
    r.appleChoice = bytes[18];
    r.pdProfileCount = bytes[19];
    for (size_t i = 0; i < SourceTypeRecord::kMaxProfiles; ++i) {
        const uint8_t* e = bytes.data() + 20 + 7 * i;
        r.pdProfiles[i] = {e[0], ReadU16(e + 1), ReadU16(e + 3), ReadU16(e + 5)};
    }
    return r;
}
