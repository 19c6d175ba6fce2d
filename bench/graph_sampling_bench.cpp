// The sampling rate a real-time graph reaches against a tester (run it
// against ampwright-sim): the status poll loop and RealTimeLoop run as in the
// program, and the figures are the samples per second, the ticks that had to
// be filled, and the measurements per second the poll loop took.
//
//   bench-graph-sampling PORT [SECONDS] [TIME_DIVISION]
#include <thread>

#include "figures.h"
#include "device/tester_connection.h"
#include "graphs/real_time_graph.h"
#include "graphs/real_time_loop.h"
#include "monitor/event_log.h"
#include "monitor/status_poll_loop.h"
#include "support/fake_window.h"
#include "ui/graph_ids.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench-graph-sampling PORT [SECONDS] [TIME_DIVISION]\n");
        return 2;
    }
    const int seconds = NumberArg(argc, argv, 2, 5);
    const int division = NumberArg(argc, argv, 3, 4);
    TesterConnection tester;
    PortEvents events;
    if (!tester.Connect(SerialDevicePath(argv[1]), [&events](int n) { events.Notify(n); })) {
        std::fprintf(stderr, "no tester on %s\n", argv[1]);
        return 1;
    }
    LiveState live;
    live.connected = true;
    live.loadCurrentPending = false;
    EventLog log;
    FakeWindow window;
    StatusPollLoop poll(tester, live, log, events);
    poll.Start();
    for (int i = 0; i < 100 && !live.sinkActive; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!live.sinkActive) {
        std::fprintf(stderr, "the sink port did not become active\n");
        return 1;
    }

    LineChart chart;
    GraphSettings settings;
    settings.signal = kSignalSinkCurrent;
    settings.timeDivision = static_cast<uint32_t>(division);
    chart.SetSeriesCount(3);
    chart.SetYRange(0, 5000);
    window.SetText(IDC_GRAPH_DURATION, "18000");
    RunProfile profile;
    GraphRun run{chart, window, window, live, events, settings, SteadySampleClock(), &tester, profile};
    live.testIdle = false;
    uint64_t first = live.MeasurementSequence();
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        events.testStop.Set();
    });
    RealTimeResult result = RealTimeLoop(run);
    uint64_t measured = live.MeasurementSequence() - first;
    stopper.join();
    live.testIdle = true;
    poll.Stop();
    tester.Close();

    double s = result.elapsedMs / 1000.0;
    std::printf(
        "real-time graph on %s, \"%s\", %.1f s: %.0f samples/s (%.0f taken, %.0f filled), "
        "poll loop %.0f measurements/s\n",
        argv[1], TimeDivisionAt(division).text, s, result.samples / s, (result.samples - result.filled) / s,
        result.filled / s, measured / s);
    return 0;
}
