#include "ui/center_on_owner.h"

namespace {

int Place(int ownerStart, int ownerSize, int size, int screenSize) {
    int position = ownerStart + (ownerSize - size) / 2;
    if (position < 0) return 0;
    if (position + size > screenSize) return screenSize - size;
    return position;
}

}  // namespace

Point CenteredOnOwner(const Rect& owner, int dialogWidth, int dialogHeight, int screenWidth, int screenHeight) {
    return {Place(owner.left, owner.Width(), dialogWidth, screenWidth),
            Place(owner.top, owner.Height(), dialogHeight, screenHeight)};
}
