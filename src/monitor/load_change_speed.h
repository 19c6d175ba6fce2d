#pragma once

// The load change list: item index <-> ramp time in ms.
constexpr int kLoadChangeItemCount = 7;
const char* LoadChangeItemText(int index);
int LoadChangeTimeForIndex(int index);   // -1 outside the list
int LoadChangeIndexForTime(int timeMs);  // -1 when no item has that time
// The item shown for a time read from a tester: its own, else "200 (Fast)".
int LoadChangeIndexOrDefault(int timeMs);
