#include "graphs/compliance_regions.h"

#include <algorithm>

#include "monitor/profile_type.h"

namespace {
constexpr uint8_t kSubtypeSdp = 0;
constexpr uint8_t kSubtypeCdp = 1;
constexpr uint8_t kSubtypeDcp = 2;
constexpr float kUsbHighV = 5.5f;
constexpr float kUsbLowV = 4.75f;
constexpr float kDcpFloorV = 2.0f;  // a DCP may fall this far once it gives more than 500 mA
constexpr int kDcpKneeMa = 500;
// The green region's corner on the chart's bottom when its lower edge would
// leave the chart.
constexpr int kSteepFallMa = 3000;

ComplianceShape Box(int fromMa, float fromV, int toMa, float toV, Color color) {
    return {true, {fromMa, toMa}, {fromV, toV}, color};
}

ComplianceShape Polygon(std::vector<int> currentMa, std::vector<float> volts, Color color) {
    return {false, std::move(currentMa), std::move(volts), color};
}

// The allowances below the nominal voltage for the cable and the load; none
// while the tester estimates the upstream voltage itself.
struct Allowances {
    const TestProfile& profile;
    float Drop(int currentMa) const { return profile.estimateUpstreamVbus ? 0.0f : currentMa / 1000.0f * 0.834f; }
    float Ir(int currentMa) const {
        float rating = profile.ratedMa <= 3000 ? 3000.0f : 5000.0f;
        return profile.estimateUpstreamVbus ? 0.0f : currentMa / rating * 0.75f;
    }
};

// Chargers held to the 5 V USB range: 4.75 V less the cable drop up to 5.5 V.
void AddUsbRegions(std::vector<ComplianceShape>& shapes, const TestProfile& profile, const VoltageAxis& axis) {
    Allowances allow{profile};
    int limit = profile.limitMa, rated = profile.ratedMa, edge = std::min(rated, limit);
    shapes.push_back(Box(0, kUsbHighV, limit, axis.maximumV, kOutOfSpecColor));
    shapes.push_back(
        Polygon({0, limit, limit, 0}, {kUsbHighV, kUsbHighV, kUsbLowV - allow.Drop(limit), kUsbLowV}, kOperatingColor));
    shapes.push_back(Polygon({0, edge, edge, 0}, {kUsbLowV, kUsbLowV - allow.Drop(edge), 0, 0}, kOutOfSpecColor));
    if (rated < limit) shapes.push_back(Box(rated, 0, limit, kUsbHighV, kShutDownColor));
}

// A dedicated charging port may fall to 2 V once it gives more than 500 mA.
void AddDcpRegions(std::vector<ComplianceShape>& shapes, const TestProfile& profile, const VoltageAxis& axis) {
    float knee = profile.estimateUpstreamVbus ? kUsbLowV : 4.333f;
    int limit = profile.limitMa, rated = profile.ratedMa;
    shapes.push_back(Box(0, kUsbHighV, limit, axis.maximumV, kOutOfSpecColor));
    shapes.push_back(Polygon({0, limit, limit, kDcpKneeMa, kDcpKneeMa, 0},
                             {kUsbHighV, kUsbHighV, kDcpFloorV, kDcpFloorV, knee, kUsbLowV}, kOperatingColor));
    shapes.push_back(Polygon({0, kDcpKneeMa, kDcpKneeMa, 0}, {kUsbLowV, knee, 0, 0}, kOutOfSpecColor));
    if (rated < limit) {
        shapes.push_back(Box(kDcpKneeMa, 0, rated, kDcpFloorV, kShutDownColor));
        shapes.push_back(Box(rated, 0, limit, kUsbHighV, kShutDownColor));
    } else {
        shapes.push_back(Box(kDcpKneeMa, 0, limit, kDcpFloorV, kShutDownColor));
    }
}

// Negotiated voltages: 5 % either side, the lower bound less the load's
// allowance (the cable drop for QC, the IR allowance for Type-C and PD).
void AddNegotiatedRegions(std::vector<ComplianceShape>& shapes, const TestProfile& profile, const VoltageAxis& axis) {
    Allowances allow{profile};
    bool qc = profile.type == kProfileQc;
    auto allowance = [&](int currentMa) { return qc ? allow.Drop(currentMa) : allow.Ir(currentMa); };
    float nominal = profile.voltageMv / 1000.0f;
    float high = nominal * 1.05f, low = nominal * 0.95f;
    if (profile.type == kProfileUsbc || (profile.type == kProfilePd && profile.voltageMv == 5000)) high = kUsbHighV;
    int limit = profile.limitMa, rated = profile.ratedMa, edge = std::min(rated, limit);
    float bottom = axis.minimumV, lowest = low - allowance(limit);

    shapes.push_back(Box(0, high, limit, axis.maximumV, kOutOfSpecColor));
    if (lowest <= bottom) {
        shapes.push_back(
            Polygon({0, limit, limit, kSteepFallMa, 0}, {high, high, bottom, bottom, low}, kOperatingColor));
    } else {
        shapes.push_back(Polygon({0, limit, limit, 0}, {high, high, lowest, low}, kOperatingColor));
    }
    shapes.push_back(Polygon({0, edge, edge, 0}, {low, low - allowance(edge), bottom, bottom}, kOutOfSpecColor));
    // Only a rated current below the limit leaves room to shut down.
    if (rated < limit) shapes.push_back(Box(rated, bottom, limit, high, kShutDownColor));
}

struct LegendEntry {
    int swatchX;
    int textX;
    Color color;
    const char* text;
};
constexpr LegendEntry kLegend[] = {
    {20, 55, kOperatingColor, "Required Operating Range"},
    {175, 210, kOutOfSpecColor, "Out of Spec"},
    {275, 310, kShutDownColor, "Permissible shut down region"},
};
}  // namespace

std::vector<ComplianceShape> ComplianceRegions(const TestProfile& profile) {
    std::vector<ComplianceShape> shapes;
    VoltageAxis axis = VoltageAxisFor(profile);
    switch (profile.type) {
        case kProfileApple:
            AddUsbRegions(shapes, profile, axis);
            break;
        case kProfileBc:
            if (profile.subtype == kSubtypeSdp || profile.subtype == kSubtypeCdp) AddUsbRegions(shapes, profile, axis);
            if (profile.subtype == kSubtypeDcp) AddDcpRegions(shapes, profile, axis);
            break;
        case kProfileQc:
        case kProfileUsbc:
        case kProfilePd:
        case kProfileEpr:
            AddNegotiatedRegions(shapes, profile, axis);
            break;
        default:
            break;
    }
    return shapes;
}

void PaintComplianceRegions(ChartFills& chart, Canvas& canvas, const TestProfile& profile, uint16_t stepMa,
                            int chartHeight) {
    int perCategory = std::max<int>(stepMa, 1);
    for (const ComplianceShape& shape : ComplianceRegions(profile)) {
        if (shape.box) {
            chart.FillBox(shape.currentMa[0], shape.volts[0], shape.currentMa[1], shape.volts[1], perCategory,
                          shape.color);
        } else {
            chart.FillPolygon(shape.currentMa, shape.volts, perCategory, shape.color);
        }
    }
    const FontSpec font{"Arial", 12};
    for (const LegendEntry& entry : kLegend) {
        int top = chartHeight + 2;
        canvas.FillRect({entry.swatchX, top, entry.swatchX + 30, top + 20}, entry.color);
        canvas.DrawText(entry.text, entry.textX, top + 5, font, {entry.textX, top, entry.textX + 300, top + 20});
    }
}
