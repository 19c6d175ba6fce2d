#include "simulator_link.h"

#include "memory_serial_port.h"

namespace {
// A memory serial line whose far end is the simulator.
class SimulatedPort final : public SerialPort {
public:
    explicit SimulatedPort(Simulator& simulator)
        : simulator_(simulator), line_([&simulator](std::span<const uint8_t> bytes) { simulator.Receive(bytes); }) {
        token_ = simulator_.Attach([this](std::span<const uint8_t> bytes) { line_.SendToPort(bytes); },
                                   [this] { line_.Vanish(); });
    }
    ~SimulatedPort() override { simulator_.Detach(token_); }

    void SetCallback(SerialCallback callback, void* context) override { line_.SetCallback(callback, context); }
    void SetReadSize(uint32_t bytes) override { line_.SetReadSize(bytes); }
    uint32_t Open(const char* path, uint32_t baud, uint32_t parity, uint8_t byteSize, bool lineEvents) override {
        return line_.Open(path, baud, parity, byteSize, lineEvents);
    }
    void RequestRead() override { line_.RequestRead(); }
    void Write(const uint8_t* bytes, size_t length) override { line_.Write(bytes, length); }
    void Stop() override { line_.Stop(); }
    bool IsRunning() const override { return line_.IsRunning(); }
    uint32_t ReadSize() const override { return line_.ReadSize(); }
    const uint8_t* ReceiveBuffer() const override { return line_.ReceiveBuffer(); }
    uint32_t ReceivedCount() const override { return line_.ReceivedCount(); }

private:
    Simulator& simulator_;
    MemorySerialPort line_;
    uint64_t token_ = 0;
};
}  // namespace

SerialPortFactory SimulatorLink::Factory() {
    return [this] { return std::make_unique<SimulatedPort>(simulator_); };
}
