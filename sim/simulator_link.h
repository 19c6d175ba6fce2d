#pragma once

#include "device/tester_connection.h"
#include "simulator.h"

// Serial ports wired to a simulator inside the process: hand Factory() to a
// TesterConnection and every port it opens talks to the simulator. A port
// detaches itself when it is destroyed; the simulator must outlive it.
class SimulatorLink {
public:
    explicit SimulatorLink(Simulator& simulator) : simulator_(simulator) {}

    SerialPortFactory Factory();

private:
    Simulator& simulator_;
};
