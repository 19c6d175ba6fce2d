#pragma once

#include "ui/canvas.h"

// Where a dialog of the given size goes so that it is centred on its owner
// and stays on the screen: a coordinate that would be negative becomes 0, one
// that would push the dialog past the screen's far edge is pulled back.
Point CenteredOnOwner(const Rect& owner, int dialogWidth, int dialogHeight, int screenWidth, int screenHeight);
