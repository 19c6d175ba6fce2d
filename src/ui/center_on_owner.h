#pragma once

#include "platform/drawing_values.h"

// Where a dialog of the given size goes so that it is centred on its owner
// and stays in the work area of the owner's monitor: a dialog that would
// start before the area's near edge starts at it, one that would run past
// its far edge is pulled back.
Point CenteredOnOwner(const Rect& owner, int dialogWidth, int dialogHeight, const Rect& workArea);

// Keeps a window of the given size at `at` inside the work area: pulled back
// from the far edges, never before the near ones. A window taller than the
// area starts at its top, so its caption stays in reach; one wider than the
// area is centred on it.
Point KeptInWorkArea(Point at, int width, int height, const Rect& workArea);
