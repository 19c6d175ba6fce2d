#pragma once

#include <windows.h>

#include "graphs/graph_window.h"

// What the graph window needs from the application.
struct GraphWindowServices {
    LiveState& live;
    PortEvents& events;
    EventLog* log;
    TesterConnection* tester;
};

// Shows the graph window modally over `owner` until it is closed.
void ShowGraphWindow(HINSTANCE instance, HWND owner, const GraphWindowServices& services);
