// The tracer under load, in one process: the simulator replays traced
// messages at a high rate while the status poll loop runs and a stand-in
// window thread picks up rows and paints. Prints whether every row arrived
// (counted in the export), the poll loop's cycle times and how long the
// window thread waited for rows and for its paints.
//
//   bench-tracer-load [MESSAGES] [RATE]   (default 20000 at 2000 per second)
#include <condition_variable>
#include <mutex>
#include <thread>

#include "counting_canvas.h"
#include "figures.h"
#include "monitor/status_poll_loop.h"
#include "simulator.h"
#include "simulator_link.h"
#include "support/fake_window.h"
#include "tracer/trace_csv.h"
#include "tracer/tracer_window.h"

namespace {
// The real clock; notes when each of the poll loop's sleeps starts and ends.
// The loop sleeps in slices; the time between two slices is the loop's own
// work, and a gap of more than a fraction of a millisecond is a cycle's
// exchange with the tester.
class CycleClock : public Clock {
public:
    uint64_t NowMs() override { return SystemClock().NowMs(); }
    void SleepMs(uint32_t ms) override {
        Steady::time_point entered = Steady::now();
        SystemClock().SleepMs(ms);
        std::lock_guard<std::mutex> held(lock);
        sleeps.push_back({entered, Steady::now()});
    }
    std::mutex lock;
    std::vector<std::pair<Steady::time_point, Steady::time_point>> sleeps;
};

// A window thread's queue of "rows arrived" posts, coalesced as PostMessage is.
struct WindowQueue {
    std::mutex lock;
    std::condition_variable wake;
    bool pending = false;
    bool stopping = false;
    Steady::time_point postedAt;
};

}  // namespace

int main(int argc, char** argv) {
    int messages = NumberArg(argc, argv, 1, 20000);
    double rate = NumberArg(argc, argv, 2, 2000);

    Simulator simulator;
    SimulatorLink link(simulator);
    TesterConnection tester(link.Factory());
    PortEvents events;
    LiveState live;
    EventLog log;
    FakeWindow window;
    CycleClock clock;
    if (!tester.Connect("SIM", [&](int n) { events.Notify(n); })) return 1;
    simulator.Plug("pd65");
    live.connected = true;
    ++live.connectionCount;
    StatusPollLoop poll(tester, live, log, events, clock);
    poll.Start();

    WindowQueue queue;
    TracerWindow tracer({window, window, tester, live, TracerShared(), [&] {
                             std::lock_guard<std::mutex> held(queue.lock);
                             if (queue.pending) return;
                             queue.pending = true;
                             queue.postedAt = Steady::now();
                             queue.wake.notify_one();
                         }});
    std::vector<double> waits, paints;
    std::thread windowThread([&] {
        CountingCanvas canvas;
        std::unique_lock<std::mutex> held(queue.lock);
        while (true) {
            queue.wake.wait(held, [&] { return queue.pending || queue.stopping; });
            if (queue.stopping) return;
            queue.pending = false;
            waits.push_back(MsSince(queue.postedAt));
            held.unlock();
            auto start = Steady::now();
            tracer.OnRowsArrived();
            tracer.Paint(canvas);
            paints.push_back(MsSince(start));
            held.lock();
        }
    });
    tracer.Initialize();
    std::this_thread::sleep_for(std::chrono::seconds(2));  // the plug's negotiation settles
    tracer.Store().Clear();

    ReplayScript script;
    for (int i = 0; i < messages; ++i) {
        pd::Message m;
        // GoodCRC and Request alternately, message IDs counting.
        uint16_t header = i % 2 ? 0x1082 | (i / 2 % 8) << 9 : 0x0041 | (i / 2 % 8) << 9;
        m.bytes = {static_cast<uint8_t>(header), static_cast<uint8_t>(header >> 8)};
        if (i % 2) m.bytes.insert(m.bytes.end(), {0x2C, 0xB1, 0x04, 0x13});
        script.messages.push_back(m);
    }
    {
        std::lock_guard<std::mutex> held(clock.lock);
        clock.sleeps.clear();
    }
    auto start = Steady::now();
    simulator.StartReplay(script, rate);
    int rows = 0;
    while (MsSince(start) < 1000.0 * messages / rate + 5000) {
        rows = tracer.Store().RowCount();
        if (rows >= messages) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    double seconds = SecondsSince(start);
    std::vector<std::pair<Steady::time_point, Steady::time_point>> sleeps;
    {
        std::lock_guard<std::mutex> held(clock.lock);
        sleeps = clock.sleeps;
    }
    std::string csv = TraceCsvText(tracer.Store().Rows());
    long exported = std::count(csv.begin(), csv.end(), '\n') - 1;
    std::printf("replay of %d messages at %.0f/s: %ld rows in the export after %.2f s (%.0f rows/s)\n", messages, rate,
                exported, seconds, exported / seconds);
    std::vector<double> cycles, exchanges;
    Steady::time_point lastCycle;
    for (size_t i = 1; i < sleeps.size(); ++i) {
        double work = MsSince(sleeps[i - 1].second, sleeps[i].first);
        if (work < 0.02) continue;
        exchanges.push_back(work);
        if (lastCycle != Steady::time_point()) cycles.push_back(MsSince(lastCycle, sleeps[i - 1].second));
        lastCycle = sleeps[i - 1].second;
    }
    PrintSpread("poll loop: time between cycles during the replay", cycles);
    PrintSpread("poll loop: a cycle's exchanges with the tester", exchanges);
    PrintSpread("window thread: wait from post to pick-up", waits);
    PrintSpread("window thread: scroll bar and paint", paints);
    Measurements m;
    auto before = Steady::now();
    bool ok = tester.GetMeasurements(m);
    std::printf("a command right after: %s in %.2f ms\n", ok ? "answered" : "failed", MsSince(before));

    tracer.Close();
    {
        std::lock_guard<std::mutex> held(queue.lock);
        queue.stopping = true;
        queue.wake.notify_one();
    }
    windowThread.join();
    poll.Stop();
    tester.Close();
    return exported == messages ? 0 : 1;
}
