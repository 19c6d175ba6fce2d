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

ComplianceShape Box(int fromMa, float fromV, int toMa, float toV, Color color) {
    return {true, {fromMa, toMa}, {fromV, toV}, color};
}

ComplianceShape Polygon(std::vector<int> currentMa, std::vector<float> volts, Color color) {
    return {false, std::move(currentMa), std::move(volts), color};
}

enum class RegionKind { None, Usb, Dcp, Negotiated };

// The regions of one profile as functions of the current. The painter draws
// them and the verdict reads them, so a point is judged by where it is drawn.
struct Regions {
    RegionKind kind = RegionKind::None;
    const RunProfile& profile;
    VoltageAxis axis;
    float high = kUsbHighV;  // the top of the required range
    float low = kUsbLowV;    // its lower edge at 0 mA
    float knee = kUsbLowV;   // a DCP's lower edge at 500 mA

    // The allowance below `low` for the cable (drop: the 5 V kinds and QC)
    // or the load (IR: Type-C, PD and EPR); none while the tester estimates
    // the upstream voltage itself.
    float Allowance(int currentMa) const {
        if (profile.estimateUpstreamVbus) return 0.0f;
        if (kind == RegionKind::Negotiated && profile.type != kProfileQc) {
            float rating = profile.ratedMa <= 3000 ? 3000.0f : 5000.0f;
            return currentMa / rating * 0.75f;
        }
        return currentMa / 1000.0f * 0.834f;
    }
    // The required range's lower edge at a current.
    float LowerEdge(int currentMa) const {
        if (kind != RegionKind::Dcp) return low - Allowance(currentMa);
        if (currentMa >= kDcpKneeMa) return kDcpFloorV;
        return kUsbLowV + (knee - kUsbLowV) * static_cast<float>(currentMa) / kDcpKneeMa;
    }
    // Where any voltage below the top may be: the charger may shut down
    // there, or (a DCP past 500 mA) fall as far as it likes.
    bool ShutDownAllowed(int currentMa) const {
        if (kind == RegionKind::Dcp && currentMa >= kDcpKneeMa) return true;
        return profile.ratedMa < profile.limitMa && currentMa >= profile.ratedMa;
    }
};

Regions RegionsFor(const RunProfile& profile) {
    Regions regions{RegionKind::None, profile, VoltageAxisFor(profile)};
    switch (profile.type) {
        case kProfileLegacy:
        case kProfileApple:
            regions.kind = RegionKind::Usb;
            break;
        case kProfileBc:
            if (profile.subtype == kSubtypeSdp || profile.subtype == kSubtypeCdp) regions.kind = RegionKind::Usb;
            if (profile.subtype == kSubtypeDcp) regions.kind = RegionKind::Dcp;
            break;
        case kProfileQc:
        case kProfileUsbc:
        case kProfilePd:
        case kProfileEpr:
            regions.kind = RegionKind::Negotiated;
            break;
        default:
            break;
    }
    regions.knee = profile.estimateUpstreamVbus ? kUsbLowV : 4.333f;
    if (regions.kind == RegionKind::Negotiated) {
        float nominal = profile.voltageMv / 1000.0f;
        regions.high = nominal * 1.05f;
        regions.low = nominal * 0.95f;
        if (profile.type == kProfileUsbc || (profile.type == kProfilePd && profile.voltageMv == 5000))
            regions.high = kUsbHighV;
    }
    return regions;
}

// Chargers held to the 5 V USB range: 4.75 V less the cable drop up to 5.5 V.
void AddUsbRegions(std::vector<ComplianceShape>& shapes, const Regions& r) {
    int limit = r.profile.limitMa, rated = r.profile.ratedMa, edge = std::min(rated, limit);
    shapes.push_back(Box(0, kUsbHighV, limit, r.axis.maximumV, kOutOfSpecColor));
    shapes.push_back(
        Polygon({0, limit, limit, 0}, {kUsbHighV, kUsbHighV, r.LowerEdge(limit), r.LowerEdge(0)}, kOperatingColor));
    shapes.push_back(Polygon({0, edge, edge, 0}, {r.LowerEdge(0), r.LowerEdge(edge), 0, 0}, kOutOfSpecColor));
    if (rated < limit) shapes.push_back(Box(rated, 0, limit, kUsbHighV, kShutDownColor));
}

// A dedicated charging port may fall to 2 V once it gives more than 500 mA.
void AddDcpRegions(std::vector<ComplianceShape>& shapes, const Regions& r) {
    int limit = r.profile.limitMa, rated = r.profile.ratedMa;
    shapes.push_back(Box(0, kUsbHighV, limit, r.axis.maximumV, kOutOfSpecColor));
    shapes.push_back(Polygon({0, limit, limit, kDcpKneeMa, kDcpKneeMa, 0},
                             {kUsbHighV, kUsbHighV, kDcpFloorV, kDcpFloorV, r.knee, kUsbLowV}, kOperatingColor));
    shapes.push_back(Polygon({0, kDcpKneeMa, kDcpKneeMa, 0}, {kUsbLowV, r.knee, 0, 0}, kOutOfSpecColor));
    if (rated < limit) {
        shapes.push_back(Box(kDcpKneeMa, 0, rated, kDcpFloorV, kShutDownColor));
        shapes.push_back(Box(rated, 0, limit, kUsbHighV, kShutDownColor));
    } else {
        shapes.push_back(Box(kDcpKneeMa, 0, limit, kDcpFloorV, kShutDownColor));
    }
}

// Negotiated voltages: 5 % either side, the lower edge less the load's
// allowance; where that edge leaves the chart the green region follows the
// chart's bottom from the current where it crosses it.
void AddNegotiatedRegions(std::vector<ComplianceShape>& shapes, const Regions& r) {
    int limit = r.profile.limitMa, rated = r.profile.ratedMa, edge = std::min(rated, limit);
    float bottom = r.axis.minimumV, lowest = r.LowerEdge(limit);

    shapes.push_back(Box(0, r.high, limit, r.axis.maximumV, kOutOfSpecColor));
    if (lowest <= bottom) {
        float perMa = r.Allowance(limit) / static_cast<float>(std::max(limit, 1));
        int crossingMa = std::clamp(static_cast<int>((r.low - bottom) / perMa + 0.5f), 0, limit);
        shapes.push_back(
            Polygon({0, limit, limit, crossingMa, 0}, {r.high, r.high, bottom, bottom, r.low}, kOperatingColor));
    } else {
        shapes.push_back(Polygon({0, limit, limit, 0}, {r.high, r.high, lowest, r.low}, kOperatingColor));
    }
    shapes.push_back(Polygon({0, edge, edge, 0}, {r.low, r.LowerEdge(edge), bottom, bottom}, kOutOfSpecColor));
    // Only a rated current below the limit leaves room to shut down.
    if (rated < limit) shapes.push_back(Box(rated, bottom, limit, r.high, kShutDownColor));
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

std::vector<ComplianceShape> ComplianceRegions(const RunProfile& profile) {
    std::vector<ComplianceShape> shapes;
    Regions regions = RegionsFor(profile);
    switch (regions.kind) {
        case RegionKind::Usb:
            AddUsbRegions(shapes, regions);
            break;
        case RegionKind::Dcp:
            AddDcpRegions(shapes, regions);
            break;
        case RegionKind::Negotiated:
            AddNegotiatedRegions(shapes, regions);
            break;
        case RegionKind::None:
            break;
    }
    return shapes;
}

std::optional<RegionEdges> RegionEdgesAt(const RunProfile& profile, int currentMa) {
    Regions regions = RegionsFor(profile);
    if (regions.kind == RegionKind::None) return std::nullopt;
    return RegionEdges{regions.LowerEdge(currentMa), regions.high, regions.ShutDownAllowed(currentMa)};
}

bool InsideRegions(const RegionEdges& edges, float volts) {
    return volts < edges.maximumV && (edges.shutDownAllowed || volts > edges.minimumV);
}

void PaintComplianceRegions(ChartFills& chart, Canvas& canvas, const RunProfile& profile, uint16_t stepMa,
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
