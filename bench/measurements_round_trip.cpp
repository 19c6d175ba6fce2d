// GetMeasurements round trips through the real serial port: exchanges per
// second and latency percentiles. With a port name, talks to a responder
// already on that port (bench/measurements_responder); without one, answers
// itself on the far end of the platform's test line.
//
//   bench-measurements [PORT] [EXCHANGES]
#include <memory>
#include <string>

#include "figures.h"
#include "measurement_answers.h"
#include "support/peer_pump.h"

int main(int argc, char** argv) {
    std::string port = argc > 1 ? argv[1] : "";
    int exchanges = NumberArg(argc, argv, 2, 2000);

    ScriptedTester tester(&AnswerForBenchmark);
    std::unique_ptr<PeerPump> pump;
    if (port.empty()) {
        auto link = PeerLink::Open();
        if (!link) {
            std::fprintf(stderr, "no test line here; give the responder's port\n");
            return 2;
        }
        port = link->PortName();
        pump = std::make_unique<PeerPump>(std::move(link), tester);
    }

    TesterConnection connection;
    if (!connection.Connect(port, nullptr)) {
        std::fprintf(stderr, "cannot open %s\n", port.c_str());
        return 1;
    }
    std::vector<double> latenciesMs;
    latenciesMs.reserve(static_cast<size_t>(exchanges));
    int failures = 0;
    Measurements m;
    Steady::time_point start = Steady::now();
    for (int i = 0; i < exchanges; ++i) {
        Steady::time_point before = Steady::now();
        if (!connection.GetMeasurements(m)) ++failures;
        latenciesMs.push_back(MsSince(before));
    }
    std::printf("GetMeasurements over %s: %d exchanges, %d failed, %.0f exchanges/s\n", port.c_str(), exchanges,
                failures, exchanges / SecondsSince(start));
    PrintSpread("round trip", latenciesMs);
    connection.Close();
    return failures == 0 ? 0 : 1;
}
