#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "graphs/run_profile.h"
#include "ui/canvas.h"

// The background of the voltage-versus-current plot: where a charger's
// voltage must lie (green), where it is out of spec (red) and where it may
// shut down (grey, between the rated current and the load limit), for the
// copied profile. Coordinates are the chart's: current in mA, voltage in V.
struct ComplianceShape {
    bool box = false;            // a box from (current[0], volts[0]) to (current[1], volts[1])
    std::vector<int> currentMa;  // otherwise a polygon with these vertices in order
    std::vector<float> volts;
    Color color;
};

inline constexpr Color kOutOfSpecColor{255, 0, 0, 0x40};
inline constexpr Color kOperatingColor{0, 255, 0, 0x40};
inline constexpr Color kShutDownColor{100, 100, 100, 0x40};

// The shapes in painting order; none for profiles without regions (unknown,
// and battery-charging kinds other than SDP, CDP and DCP).
std::vector<ComplianceShape> ComplianceRegions(const RunProfile& profile);

// The regions' edges at one current as drawn: between minimumV and
// maximumV is the required operating range; where shutDownAllowed, any
// voltage below maximumV lies in the permissible shut-down region. Nothing
// for profiles without regions.
struct RegionEdges {
    float minimumV = 0;
    float maximumV = 0;
    bool shutDownAllowed = false;
};
std::optional<RegionEdges> RegionEdgesAt(const RunProfile& profile, int currentMa);
// A step's verdict: a pass when its point is drawn in the required range or
// the shut-down region (edges excluded), a fail when drawn out of spec.
bool InsideRegions(const RegionEdges& edges, float volts);

// The chart's translucent fills in data coordinates: x in mA with
// maPerCategory mA per category, y in volts, alpha 0x40.
class ChartFills {
public:
    virtual ~ChartFills() = default;
    virtual void FillBox(int x1Ma, float volts1, int x2Ma, float volts2, int maPerCategory, Color color) = 0;
    virtual void FillPolygon(std::span<const int> xMa, std::span<const float> volts, int maPerCategory,
                             Color color) = 0;
};

// Paints the regions over the chart and the legend below it (chartHeight
// is the chart's height in pixels), on screen and in saved images alike.
void PaintComplianceRegions(ChartFills& chart, Canvas& canvas, const RunProfile& profile, uint16_t stepMa,
                            int chartHeight);
