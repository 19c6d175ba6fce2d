#include "app/main_window_fit.h"

#include <algorithm>

#include "ui/center_on_owner.h"

MainWindowFit FitMainWindow(const Rect& window, const Rect& workArea, int paneHeight, int minPaneHeight) {
    int excess = window.Height() - workArea.Height();
    int shrink = std::clamp(excess, 0, std::max(0, paneHeight - minPaneHeight));
    int height = window.Height() - shrink;
    Point at = KeptInWorkArea({window.left, window.top}, window.Width(), height, workArea);
    return {shrink, {at.x, at.y, at.x + window.Width(), at.y + height}};
}
