#include "graphs/real_time_loop.h"

#include <algorithm>

#include "graphs/real_time_graph.h"
#include "platform/format.h"
#include "ui/graph_ids.h"
#include "ui/number_text.h"

float ReadSignal(const Measurement& m, int signal) {
    switch (signal) {
        case kSignalSourceVoltage:
            return m.SourceVolts();
        case kSignalSourceCurrent:
            return m.loopbackCurrentMa;
        case kSignalSourcePower:
            return static_cast<float>(m.loopbackCurrentMa) * m.SourceVolts() / 1000.0f;
        case kSignalSinkVoltage:
            return m.SinkVolts();
        case kSignalSinkCurrent:
            return m.sinkCurrentMa;
        default:
            return static_cast<float>(m.sinkCurrentMa) * m.SinkVolts() / 1000.0f;
    }
}

RealTimeResult RealTimeLoop(GraphRun& run) {
    GraphSettings& settings = run.settings;
    uint32_t seconds =
        static_cast<uint32_t>(std::clamp(ReadNumber(run.window.GetText(IDC_GRAPH_DURATION), 9), 1, 18000));
    settings.testDurationS = seconds;
    const int signal = static_cast<int>(settings.signal.load());
    const int division = static_cast<int>(settings.timeDivision.load());
    RealTimeGraph graph(run.chart, settings, signal, division, seconds);
    graph.Begin();
    run.window.Repaint(IDC_GRAPH_AREA);
    run.events.testStop.Reset();
    run.events.sinkDetach.Reset();
    const uint32_t tickMs = graph.SecondsMode() ? 100 : 1;
    const double start = run.clock.NowMs();

    RealTimeResult result;
    while (!run.live.testIdle) {
        int woken = WaitAny({&run.events.testStop, &run.events.sinkDetach}, tickMs);
        if (woken == 0) break;
        if (woken == 1) {
            run.live.testIdle = true;
            continue;
        }
        float value = ReadSignal(run.live.LatestMeasurement(), signal);
        if (!graph.AddSample(value, run.clock.NowMs() - start)) break;
    }
    result.samples = graph.SampleCount();
    result.filled = graph.FilledCount();
    result.elapsedMs = run.clock.NowMs() - start;
    return result;
}
