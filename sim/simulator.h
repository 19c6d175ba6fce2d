#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "device/receive_assembler.h"
#include "fault_plan.h"
#include "identity.h"
#include "physical_model.h"
#include "platform/clock.h"
#include "protocol_responder.h"
#include "replay.h"
#include "tester_memory.h"
#include "platform/mutex.h"

// A simulated tester: the physical model behind the tester's wire protocol.
// Bytes from the program go in through Receive (on the transport's thread);
// answers and unsolicited frames go out on the simulator's own thread through
// the attached transport. The model's time comes from `modelClock`; delays
// and pauses on the line are real time, as the program's time-outs are.
//
// The simulator must outlive the transports attached to it.
class Simulator {
public:
    using Sender = std::function<void(std::span<const uint8_t> bytes)>;
    using Vanisher = std::function<void()>;

    explicit Simulator(Clock& modelClock = SystemClock(), uint32_t seed = 1,
                       const TesterIdentity& identity = TesterIdentity());
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Transport side. Attach replaces any earlier transport and returns a
    // token for Detach, which returns once no send to it is in progress.
    uint64_t Attach(Sender send, Vanisher vanish);
    void Detach(uint64_t token);
    void Receive(std::span<const uint8_t> bytes);

    // What the tester keeps across restarts lives in `path`: loaded now when
    // the file exists, written on every change.
    bool UseStateFile(const std::string& path);

    // Scenario.
    bool Plug(const std::string& charger);
    void Unplug();
    bool ChangeCharger(const std::string& charger);
    void SetCableMilliohm(uint16_t milliohm);
    void SetSourceDevice(std::optional<SourceDevice> device);
    // The line goes away after whatever is queued has been sent.
    void Vanish();
    void StartReplay(ReplayScript script, double messagesPerSecond);
    void StopReplay();
    void ConfigureFaults(const std::function<void(FaultPlan&)>& change);

    // The model's state in a few lines, for people.
    std::string Describe();
    // Wakes the simulator's thread, e.g. after a fast clock moved on.
    void Poke();

private:
    struct Outgoing {
        std::vector<uint8_t> bytes;
        std::chrono::steady_clock::time_point due;
        bool vanish = false;
    };
    struct Replay {
        ReplayScript script;
        size_t next = 0;
        double intervalMs = 0;
        double nextAtMs = 0;
    };

    void Run();
    // Changes the model under the lock and sends what the change caused.
    void Act(const std::function<void(PhysicalModel& model)>& change);
    void AdvanceLocked();
    void QueueLocked(std::vector<uint8_t> bytes, uint32_t pauseBeforeMs = 0);
    void QueueEventsLocked();
    void HandleFrameLocked(std::span<const uint8_t> frame);

    Clock& clock_;
    TesterIdentity identity_;
    Mutex lock_;
    std::condition_variable wake_;
    TesterMemory memory_;
    PhysicalModel model_;
    ProtocolResponder responder_;
    FaultPlan faults_;
    std::optional<Replay> replay_;
    ReceiveAssembler assembler_;
    std::deque<Outgoing> outgoing_;
    std::chrono::steady_clock::time_point lastDue_;
    bool stopping_ = false;

    Mutex transportLock_;  // held while sending; taken by Attach and Detach
    Sender send_;
    Vanisher vanish_;
    uint64_t token_ = 0;

    std::thread thread_;
};
