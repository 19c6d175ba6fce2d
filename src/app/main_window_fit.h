#pragma once

#include "platform/drawing_values.h"

// How the main window fits the work area of its monitor at start. At a large
// display scale the window can be taller than the screen: the event log pane
// gives up height (down to `minPaneHeight`) and the commands below it move
// up, then the window is kept inside the work area.
struct MainWindowFit {
    int paneShrink = 0;  // pixels the log pane, and so the window, lose
    Rect window;         // where the window goes, in screen pixels
};

MainWindowFit FitMainWindow(const Rect& window, const Rect& workArea, int paneHeight, int minPaneHeight);
