// Figures for the graphs: LineChart::Draw of three full series, and the CPU
// share of the real-time graph's update at 1 kHz per time division, with a
// rewrite of the whole window per sample (as before) and with the
// incremental update.
#include <ctime>
#include <random>

#include "chart_canvas.h"
#include "figures.h"
#include "graphs/line_chart.h"
#include "graphs/real_time_graph.h"

namespace {

double CpuMs() {
    return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

void BenchDraw() {
    const int width = 1100, height = 560;
    LineChart chart;
    chart.SetSize(width, height);
    chart.SetSeriesCount(3);
    chart.SetYRange(0, 5000);
    chart.SetGrid(true, 1);
    std::mt19937 random(3);
    std::uniform_real_distribution<float> noise(-200, 200);
    for (int s = 0; s < 3; ++s) {
        for (int i = 0; i < LineChart::kCapacity; ++i)
            chart.SetValue(s, i, 2500 + 800 * s + noise(random));
        chart.SetValueCount(s, LineChart::kCapacity);
    }
    for (int i = 0; i < LineChart::kCapacity; i += 60000)
        chart.SetCategoryLabel(i, std::to_string(i));
    BenchCanvas target = MakeBenchCanvas(width + 10, height + 40);
    const int rounds = 40;
    chart.Draw(*target.canvas, 5, 5);
    Steady::time_point start = Steady::now();
    for (int r = 0; r < rounds; ++r)
        chart.Draw(*target.canvas, 5, 5);
    double ms = MsSince(start);
    std::printf("LineChart::Draw, 3 x %d points, %dx%d, %s: %.2f ms per draw\n", LineChart::kCapacity, width, height,
                target.name.c_str(), ms / rounds);
}

// CPU time per 1 ms sample, over `samples` samples (window moves included).
double UpdateCpuShare(int division, RealTimeGraph::Update update, int samples) {
    LineChart chart;
    GraphSettings settings;
    chart.SetSeriesCount(3);
    chart.SetYRange(0, 5000);
    RealTimeGraph graph(chart, settings, kSignalSinkCurrent, division, 18000, update);
    graph.Begin();
    std::mt19937 random(5);
    std::uniform_real_distribution<float> value(900, 1100);
    double start = CpuMs();
    for (int i = 0; i < samples; ++i)
        graph.AddSample(value(random), i);
    return 100.0 * (CpuMs() - start) / samples;  // one sample per millisecond
}

void BenchRealTime() {
    std::printf(
        "Real-time update, CPU share of one core at 1 kHz (before: whole window per sample; after: "
        "incremental):\n");
    const int divisions[] = {3, 4, 5};
    for (int division : divisions) {
        const TimeDivision& d = TimeDivisionAt(division);
        // Long enough for the incremental run to move its window at least twice.
        int incrementalSamples = static_cast<int>(d.samplesPerDivision) * 7;
        int fullSamples = division == 5 ? 60 : division == 4 ? 300 : 2000;
        double before = UpdateCpuShare(division, RealTimeGraph::Update::FullRebuild, fullSamples);
        double after = UpdateCpuShare(division, RealTimeGraph::Update::Incremental, incrementalSamples);
        std::printf("  %-10s window %6u samples: before %8.1f %%, after %6.2f %%\n", d.text, d.samplesPerDivision * 5,
                    before, after);
    }
}

}  // namespace

int main() {
    BenchDraw();
    BenchRealTime();
    return 0;
}
