#include "monitor/load_change_speed.h"

#include <array>
#include <cstddef>

namespace {

struct LoadChangeItem {
    const char* text;
    int timeMs;
};
constexpr std::array<LoadChangeItem, kLoadChangeItemCount> kLoadChangeItems = {{
    {"10 (Instant)", 10},
    {"20", 20},
    {"50", 50},
    {"100", 100},
    {"200 (Fast)", 200},
    {"500", 500},
    {"1000 (Slow)", 1000},
}};
constexpr int kDefaultLoadChangeIndex = 4;

}  // namespace

const char* LoadChangeItemText(int index) {
    return index >= 0 && index < kLoadChangeItemCount ? kLoadChangeItems[static_cast<size_t>(index)].text : "";
}

int LoadChangeTimeForIndex(int index) {
    return index >= 0 && index < kLoadChangeItemCount ? kLoadChangeItems[static_cast<size_t>(index)].timeMs : -1;
}

int LoadChangeIndexForTime(int timeMs) {
    for (int i = 0; i < kLoadChangeItemCount; ++i) {
        if (kLoadChangeItems[static_cast<size_t>(i)].timeMs == timeMs) return i;
    }
    return -1;
}

int LoadChangeIndexOrDefault(int timeMs) {
    int index = LoadChangeIndexForTime(timeMs);
    return index >= 0 ? index : kDefaultLoadChangeIndex;
}
