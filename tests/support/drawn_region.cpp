#include "support/drawn_region.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kEdgeV = 1e-3f;
constexpr float kEdgeMa = 0.5f;

enum class Where { Outside, Inside, OnEdge };

struct Vertex {
    float ma;
    float volts;
};

std::vector<Vertex> Outline(const ComplianceShape& shape) {
    if (shape.box) {
        float x1 = shape.currentMa[0], x2 = shape.currentMa[1], y1 = shape.volts[0], y2 = shape.volts[1];
        return {{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}};
    }
    std::vector<Vertex> outline;
    for (size_t i = 0; i < shape.currentMa.size(); ++i)
        outline.push_back({static_cast<float>(shape.currentMa[i]), shape.volts[i]});
    return outline;
}

bool OnSegment(Vertex a, Vertex b, Vertex p) {
    if (std::fabs(a.ma - b.ma) < kEdgeMa) {
        return std::fabs(p.ma - a.ma) < kEdgeMa && p.volts >= std::min(a.volts, b.volts) - kEdgeV &&
               p.volts <= std::max(a.volts, b.volts) + kEdgeV;
    }
    if (p.ma < std::min(a.ma, b.ma) || p.ma > std::max(a.ma, b.ma)) return false;
    float at = a.volts + (b.volts - a.volts) * (p.ma - a.ma) / (b.ma - a.ma);
    return std::fabs(at - p.volts) < kEdgeV;
}

// Even-odd rule, with the edges themselves set apart.
Where Locate(const std::vector<Vertex>& outline, Vertex p) {
    bool inside = false;
    for (size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++) {
        Vertex a = outline[i], b = outline[j];
        if (OnSegment(a, b, p)) return Where::OnEdge;
        if ((a.volts > p.volts) != (b.volts > p.volts) &&
            p.ma < (b.ma - a.ma) * (p.volts - a.volts) / (b.volts - a.volts) + a.ma) {
            inside = !inside;
        }
    }
    return inside ? Where::Inside : Where::Outside;
}
}  // namespace

DrawnIn DrawnRegion(const std::vector<ComplianceShape>& shapes, int currentMa, float volts) {
    bool passing = false, failing = false;
    Vertex p{static_cast<float>(currentMa), volts};
    for (const ComplianceShape& shape : shapes) {
        Where where = Locate(Outline(shape), p);
        if (where == Where::OnEdge) return DrawnIn::Edge;
        if (where == Where::Outside) continue;
        (shape.color == kOutOfSpecColor ? failing : passing) = true;
    }
    return passing && !failing ? DrawnIn::Passing : DrawnIn::Failing;
}
