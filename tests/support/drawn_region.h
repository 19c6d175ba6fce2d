#pragma once

#include <vector>

#include "graphs/compliance_regions.h"

// Where the painter puts a point, judged from the painted shapes alone: in
// a green or grey shape it is drawn in a passing region, in a red one (or
// above them all) in a failing one. A point on an edge is neither.
enum class DrawnIn { Passing, Failing, Edge };
DrawnIn DrawnRegion(const std::vector<ComplianceShape>& shapes, int currentMa, float volts);
