#include "monitor/log_category.h"

#include <array>

namespace {
struct CategoryLook {
    std::string_view name;
    Color color;
};

constexpr std::array<CategoryLook, 9> kCategories = {{
    {"Information", {255, 255, 128}},
    {"Loopback   ", {150, 255, 255}},
    {"Benchmark  ", {200, 150, 200}},
    {"ERROR      ", {255, 64, 64}},
    {"Diagnostics", {255, 224, 129}},
    {"File op.   ", {255, 255, 255}},
    {"Results    ", {255, 255, 255}},
    {"Minor Error", {255, 116, 61}},
    {"PASS       ", {128, 255, 128}},
}};

bool Known(int category) {
    return category >= 0 && category < static_cast<int>(kCategories.size());
}
}  // namespace

std::string_view CategoryName(int category) {
    return kCategories[Known(category) ? category : kLogError].name;
}

Color CategoryColor(int category) {
    return Known(category) ? kCategories[category].color : Color{255, 255, 255};
}
