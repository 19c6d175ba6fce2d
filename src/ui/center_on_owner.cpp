#include "ui/center_on_owner.h"

#include <algorithm>

namespace {

int Keep(int position, int size, int areaStart, int areaEnd) {
    return std::max(areaStart, std::min(position, areaEnd - size));
}

// Wider than the area: centred, so what spills over is the frame and the
// margins on both sides, not one side's controls.
int KeepAcross(int position, int size, int areaStart, int areaEnd) {
    if (size > areaEnd - areaStart) return areaStart - (size - (areaEnd - areaStart)) / 2;
    return Keep(position, size, areaStart, areaEnd);
}

}  // namespace

Point KeptInWorkArea(Point at, int width, int height, const Rect& workArea) {
    return {KeepAcross(at.x, width, workArea.left, workArea.right), Keep(at.y, height, workArea.top, workArea.bottom)};
}

Point CenteredOnOwner(const Rect& owner, int dialogWidth, int dialogHeight, const Rect& workArea) {
    Point centred = {owner.left + (owner.Width() - dialogWidth) / 2, owner.top + (owner.Height() - dialogHeight) / 2};
    return KeptInWorkArea(centred, dialogWidth, dialogHeight, workArea);
}
