#pragma once

#include <memory>
#include <string>

#include "ui/canvas.h"

// A canvas to draw charts on for measurements: GDI and GDI+ into a memory
// bitmap on Windows, a canvas that only counts elsewhere.
struct BenchCanvas {
    std::unique_ptr<Canvas> canvas;
    std::string name;
};
BenchCanvas MakeBenchCanvas(int width, int height);
