#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "simulator.h"

// The simulator behind a pseudo-terminal: the program opens Path() as its
// serial port. The far end is non-blocking, so a program that stops reading
// loses bytes instead of stalling the simulator. The simulator must outlive
// this object.
class SimulatorPty {
public:
    explicit SimulatorPty(Simulator& simulator) : simulator_(simulator) {}
    ~SimulatorPty();

    // Opens a new pty (closing an earlier one) and starts serving it.
    bool Open();
    void Close();
    const std::string& Path() const { return path_; }
    // False once the simulator vanished the line (or before Open).
    bool IsServing() const { return running_; }

private:
    void Pump();

    Simulator& simulator_;
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    uint64_t token_ = 0;
    std::atomic<bool> running_{false};
    std::atomic<bool> vanished_{false};
    std::thread thread_;
};
