#include "simulator.h"

#include <sstream>

#include "device/frame.h"

namespace {
constexpr auto kIdleTick = std::chrono::milliseconds(5);
constexpr uint8_t kSinkTraceFrame = kCmdTracedMessage;
constexpr uint8_t kSourceTraceFrame = kCmdTracedMessageAlt;
}  // namespace

Simulator::Simulator(Clock& modelClock, uint32_t seed, const TesterIdentity& identity)
    : clock_(modelClock),
      identity_(identity),
      model_(memory_, seed, modelClock.NowMs()),
      responder_(model_, memory_, identity_),
      lastDue_(std::chrono::steady_clock::now()) {
    thread_ = std::thread([this] { Run(); });
}

Simulator::~Simulator() {
    {
        std::lock_guard<std::mutex> held(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

uint64_t Simulator::Attach(Sender send, Vanisher vanish) {
    std::lock_guard<std::mutex> sending(transportLock_);
    std::lock_guard<std::mutex> held(lock_);
    send_ = std::move(send);
    vanish_ = std::move(vanish);
    assembler_ = ReceiveAssembler();
    outgoing_.clear();
    return ++token_;
}

void Simulator::Detach(uint64_t token) {
    std::lock_guard<std::mutex> sending(transportLock_);
    std::lock_guard<std::mutex> held(lock_);
    if (token != token_) return;
    send_ = nullptr;
    vanish_ = nullptr;
    outgoing_.clear();
}

void Simulator::Receive(std::span<const uint8_t> bytes) {
    std::lock_guard<std::mutex> held(lock_);
    assembler_.Feed(bytes, [this](std::span<const uint8_t> frame) { HandleFrameLocked(frame); });
    wake_.notify_all();
}

void Simulator::HandleFrameLocked(std::span<const uint8_t> frame) {
    AdvanceLocked();
    ProtocolResponder::Frames answer = responder_.Answer(frame[0], frame.subspan(1));
    std::vector<uint8_t> interleaved = BuildFrame(kCmdSinkProfileChanged, {});
    for (OutgoingPiece& piece : faults_.Shape(answer, interleaved, model_.Random())) {
        QueueLocked(std::move(piece.bytes), piece.pauseBeforeMs);
    }
    QueueEventsLocked();
}

void Simulator::QueueLocked(std::vector<uint8_t> bytes, uint32_t pauseBeforeMs) {
    auto now = std::chrono::steady_clock::now();
    lastDue_ = std::max(lastDue_, now) + std::chrono::milliseconds(pauseBeforeMs);
    outgoing_.push_back({std::move(bytes), lastDue_, false});
}

void Simulator::QueueEventsLocked() {
    for (ModelEvent& event : model_.TakeEvents()) {
        if (faults_.Silent()) continue;
        if (event.notification != 0) {
            QueueLocked(BuildFrame(event.notification, {}));
        } else if (responder_.Tracing()) {
            TraceRecord record = event.traced.message.ToRecord(event.port, event.traced.fromTester ? 1 : 0,
                                                               static_cast<uint32_t>(event.timeMs));
            QueueLocked(BuildFrame(event.port == 0 ? kSinkTraceFrame : kSourceTraceFrame, record));
        }
    }
}

void Simulator::AdvanceLocked() {
    model_.AdvanceTo(clock_.NowMs());
    if (replay_) {
        double now = static_cast<double>(model_.NowMs());
        if (!responder_.Tracing()) {
            // Playback waits while nobody traces, so no message is lost.
            replay_->nextAtMs = now;
        } else {
            while (replay_->next < replay_->script.messages.size() && replay_->nextAtMs <= now) {
                const pd::Message& message = replay_->script.messages[replay_->next++];
                if (!faults_.Silent()) {
                    TraceRecord record = message.ToRecord(0, 0, static_cast<uint32_t>(model_.NowMs()));
                    QueueLocked(BuildFrame(kSinkTraceFrame, record));
                }
                replay_->nextAtMs += replay_->intervalMs;
            }
            if (replay_->next >= replay_->script.messages.size()) replay_.reset();
        }
    }
    QueueEventsLocked();
}

void Simulator::Run() {
    std::unique_lock<std::mutex> held(lock_);
    while (!stopping_) {
        auto until = std::chrono::steady_clock::now() + kIdleTick;
        if (!outgoing_.empty()) until = std::min(until, outgoing_.front().due);
        wake_.wait_until(held, until);
        if (stopping_) break;
        AdvanceLocked();
        std::vector<Outgoing> due;
        auto now = std::chrono::steady_clock::now();
        while (!outgoing_.empty() && outgoing_.front().due <= now) {
            due.push_back(std::move(outgoing_.front()));
            outgoing_.pop_front();
        }
        if (due.empty()) continue;
        held.unlock();
        {
            std::lock_guard<std::mutex> sending(transportLock_);
            for (Outgoing& item : due) {
                if (item.vanish) {
                    if (vanish_) vanish_();
                    send_ = nullptr;
                    vanish_ = nullptr;
                    break;
                }
                if (send_) send_(item.bytes);
            }
        }
        held.lock();
    }
}

bool Simulator::UseStateFile(const std::string& path) {
    std::lock_guard<std::mutex> held(lock_);
    memory_.Load(path);
    memory_.SetFile(path);
    return memory_.Save();
}

void Simulator::Act(const std::function<void(PhysicalModel& model)>& change) {
    std::lock_guard<std::mutex> held(lock_);
    AdvanceLocked();
    change(model_);
    QueueEventsLocked();
    wake_.notify_all();
}

bool Simulator::Plug(const std::string& charger) {
    std::optional<ChargerPreset> preset = FindChargerPreset(charger);
    if (preset) Act([&preset](PhysicalModel& model) { model.Plug(*preset); });
    return preset.has_value();
}

void Simulator::Unplug() {
    Act([](PhysicalModel& model) { model.Unplug(); });
}

bool Simulator::ChangeCharger(const std::string& charger) {
    std::optional<ChargerPreset> preset = FindChargerPreset(charger);
    if (preset) Act([&preset](PhysicalModel& model) { model.ChangeCharger(*preset); });
    return preset.has_value();
}

void Simulator::SetCableMilliohm(uint16_t milliohm) {
    Act([milliohm](PhysicalModel& model) { model.SetCableMilliohm(milliohm); });
}

void Simulator::SetSourceDevice(std::optional<SourceDevice> device) {
    Act([&device](PhysicalModel& model) { model.SetSourceDevice(device); });
}

void Simulator::Vanish() {
    std::lock_guard<std::mutex> held(lock_);
    lastDue_ = std::max(lastDue_, std::chrono::steady_clock::now());
    outgoing_.push_back({{}, lastDue_, true});
    wake_.notify_all();
}

void Simulator::StartReplay(ReplayScript script, double messagesPerSecond) {
    std::lock_guard<std::mutex> held(lock_);
    if (script.messages.empty() || messagesPerSecond <= 0) return;
    double now = static_cast<double>(model_.NowMs());
    replay_ = Replay{std::move(script), 0, 1000.0 / messagesPerSecond, now};
    wake_.notify_all();
}

void Simulator::StopReplay() {
    std::lock_guard<std::mutex> held(lock_);
    replay_.reset();
}

void Simulator::ConfigureFaults(const std::function<void(FaultPlan&)>& change) {
    std::lock_guard<std::mutex> held(lock_);
    change(faults_);
}

std::string Simulator::Describe() {
    std::lock_guard<std::mutex> held(lock_);
    AdvanceLocked();
    std::ostringstream out;
    PortStatus s = model_.Status();
    out << "charger: " << (model_.Charger() ? model_.Charger()->name : "none")
        << (model_.SinkAttached() ? " (attached)" : "") << "\n";
    if (model_.SinkAttached()) {
        out << "sink: profile " << int(s.sinkProfileIndex) << " type " << int(s.sinkProfileType) << "/"
            << int(s.sinkProfileSubtype) << ", " << model_.NegotiatedMv() << " mV, rated " << model_.RatedCurrentMa()
            << " mA, limit " << model_.CurrentLimitMa() << " mA, load " << model_.LoadCurrentMa() << " mA\n";
    }
    out << "cable: " << model_.CableMilliohm() << " mOhm, temperature " << static_cast<int>(model_.TemperatureC())
        << " C\n";
    out << "source port: ";
    if (s.sourceAttached) {
        out << s.sourceVoltageMv << " mV, " << s.sourceRequestedCurrentMa << " mA requested";
    } else {
        out << "nothing attached";
    }
    out << ", selected type " << int(s.selectedSourceType) << "\n";
    out << "trace " << (responder_.Tracing() ? "on" : "off") << ", spectrum capture "
        << (responder_.Capturing() ? "on" : "off") << (replay_ ? ", replay running" : "") << "\n";
    out << "faults: " << faults_.Describe() << "\n";
    return out.str();
}

void Simulator::Poke() {
    wake_.notify_all();
}
