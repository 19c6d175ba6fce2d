#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

#include "device/serial_port.h"
#include "platform/event.h"
#include "device/tester_connection.h"
#include "support/peer_pump.h"
#include "support/test_helpers.h"

// The platform's serial port against the far end of a real line (a pty; under
// Wine a COM port joined to a pty), so the real I/O path is exercised.
namespace {

struct Recorder {
    std::mutex lock;
    std::vector<SerialEvent> events;
    Bytes received;
    Event readDone{Event::ResetKind::Automatic};
    Event writeDone{Event::ResetKind::Automatic};
    Event closed{Event::ResetKind::Manual};
    bool keepReading = true;

    static void Callback(SerialPort& port, void* context, SerialEvent event) {
        auto* self = static_cast<Recorder*>(context);
        std::lock_guard<std::mutex> held(self->lock);
        self->events.push_back(event);
        if (event == SerialEvent::ReadDone) {
            self->received.insert(self->received.end(), port.ReceiveBuffer(),
                                  port.ReceiveBuffer() + port.ReceivedCount());
            self->readDone.Set();
            if (self->keepReading) port.RequestRead();
        }
        if (event == SerialEvent::WriteDone) self->writeDone.Set();
        if (event == SerialEvent::Closed) self->closed.Set();
    }
    Bytes Received() { return *Lock(lock, received); }
    std::vector<SerialEvent> Events() { return *Lock(lock, events); }
};

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        peer = PeerLink::Open();
        if (!peer) GTEST_SKIP() << "no serial line for tests on this platform";
        port->SetCallback(&Recorder::Callback, &recorder);
        ASSERT_EQ(port->Open(SerialDevicePath(peer->PortName()).c_str(), 921600, 0, 8, true), kOpenOk);
    }

    Bytes Drain(size_t want, uint32_t timeoutMs = 2000) {
        Bytes got;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        uint8_t buffer[512];
        while (got.size() < want && std::chrono::steady_clock::now() < deadline) {
            size_t n = peer->Receive(buffer, sizeof buffer, 20);
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

    std::unique_ptr<PeerLink> peer;
    Recorder recorder;
    std::unique_ptr<SerialPort> port = CreateSerialPort();
};
}  // namespace

TEST_F(SerialPortTest, WritesAndReadsKeepTheirLimits) {
    Bytes frame(255);
    std::iota(frame.begin(), frame.end(), 0);
    port->Write(frame.data(), frame.size());
    ASSERT_TRUE(recorder.writeDone.Wait(2000));
    EXPECT_EQ(Drain(255), frame);

    Bytes tooLong(256, 0x55);
    port->Write(tooLong.data(), tooLong.size());
    EXPECT_FALSE(recorder.writeDone.Wait(150)) << "256 bytes are dropped";
    EXPECT_TRUE(Drain(1, 100).empty());
    port->Write(nullptr, 5);
    EXPECT_FALSE(recorder.writeDone.Wait(50));

    port->SetReadSize(300);
    EXPECT_EQ(port->ReadSize(), 256u);
    port->SetReadSize(4);
    recorder.keepReading = false;
    auto start = std::chrono::steady_clock::now();
    port->RequestRead();
    ASSERT_TRUE(recorder.readDone.Wait(2000));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(recorder.Received().empty()) << "an idle read reports nothing";
    EXPECT_LT(took, std::chrono::milliseconds(500));
    EXPECT_FALSE(recorder.readDone.Wait(100)) << "no read until the consumer asks";

    // A read takes whatever the line holds as it starts, more than it asked
    // for: a burst costs one read.
    peer->Send(Bytes{1, 2, 3, 4, 5, 6});
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    port->RequestRead();
    ASSERT_TRUE(recorder.readDone.Wait(2000));
    EXPECT_EQ(recorder.Received(), (Bytes{1, 2, 3, 4, 5, 6}));
    peer->Send(Bytes{7, 8});
    port->SetReadSize(10);
    port->RequestRead();
    ASSERT_TRUE(recorder.readDone.Wait(2000));
    EXPECT_EQ(recorder.Received(), (Bytes{1, 2, 3, 4, 5, 6, 7, 8})) << "a partial read brings what arrived";
}

// Ptys under Wine, like some virtual COM drivers, refuse line-event waits; the
// port must keep running without them.
TEST_F(SerialPortTest, RunsUntilStopAlsoWithoutLineEventSupportAndReopens) {
    port->RequestRead();
    peer->Send(Bytes{0x42});
    EXPECT_TRUE(WaitUntil([&] { return recorder.Received() == Bytes{0x42}; }, 500));
    EXPECT_TRUE(port->IsRunning());
    port->Stop();
    EXPECT_TRUE(recorder.closed.IsSet());
    EXPECT_FALSE(port->IsRunning());
    EXPECT_EQ(std::pair(recorder.Events().front(), recorder.Events().back()),
              std::pair(SerialEvent::Started, SerialEvent::Closed));
    auto start = std::chrono::steady_clock::now();
    port->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200)) << "already stopped";

    // The same port opens again and writes.
    ASSERT_EQ(port->Open(SerialDevicePath(peer->PortName()).c_str(), 921600, 0, 8, true), kOpenOk);
    Bytes frame = {9, 8, 7};
    port->Write(frame.data(), frame.size());
    EXPECT_TRUE(recorder.writeDone.Wait(2000));
    EXPECT_EQ(Drain(3), frame);
    std::vector<SerialEvent> events = recorder.Events();
    EXPECT_EQ(std::count(events.begin(), events.end(), SerialEvent::Started), 2);
}

TEST_F(SerialPortTest, TheLineGoingAwayEndsTheThread) {
    if (!peer->HangsUpThePort()) GTEST_SKIP() << "the far end cannot hang up this line";
    port->RequestRead();
    peer->Hangup();
    EXPECT_TRUE(recorder.closed.Wait(3000));
    EXPECT_FALSE(port->IsRunning());
}

TEST(SerialPortOpen, ReportsWhyItFailed) {
    auto port = CreateSerialPort();
    EXPECT_EQ(port->Open(nullptr, 921600, 0, 8, true), kOpenNoPath);
    EXPECT_EQ(port->Open(SerialDevicePath("COM250").c_str(), 921600, 0, 8, true), kOpenDeviceFailed);
    EXPECT_FALSE(port->IsRunning());
    port->Stop();
}

// One write at a time: a write offered while another is still in flight is
// dropped, not queued or mixed into the first.
TEST_F(SerialPortTest, ASecondWriteWhileOneIsBusyIsDropped) {
    Bytes first(200, 0x11), second(20, 0x22), third = {0x33};
    {
        // The communication thread is held inside a read callback, so the
        // first write cannot finish before the second is offered.
        std::unique_lock<std::mutex> held(recorder.lock);
        port->RequestRead();
        peer->Send(Bytes{0x42});
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        port->Write(first.data(), first.size());
        port->Write(second.data(), second.size());
    }
    ASSERT_TRUE(recorder.writeDone.Wait(2000));
    EXPECT_EQ(Drain(first.size() + second.size(), 500), first);
    EXPECT_FALSE(recorder.writeDone.Wait(100)) << "the dropped write reports nothing";
    port->Write(third.data(), third.size());
    ASSERT_TRUE(recorder.writeDone.Wait(2000));
    EXPECT_EQ(Drain(1), third);
}

// TesterConnection over the platform's real port (its exchanges run over real
// ports in the simulator program's test and the end-to-end run too).
namespace {
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto link = PeerLink::Open();
        if (!link) GTEST_SKIP() << "no serial line for tests on this platform";
        pump = std::make_unique<PeerPump>(std::move(link), tester);
    }
    ScriptedTester tester{[](uint8_t cmd, std::span<const uint8_t>) {
        return cmd == kCmdGetDeviceInfo ? ScriptedTester::Frame(cmd, {21, 41, 10, 'V', 'Q', '2', '4', '1', '1', '0',
                                                                      '0', '0', '0', '4', '2', 'X'})
                                        : ScriptedTester::Frame(cmd, {0, 0});
    }};
    std::unique_ptr<PeerPump> pump;
    TesterConnection connection;
};
}  // namespace

// Ports numbered 100 and up have paths longer than ten characters.
TEST_F(LinkTest, OpensPortsNumberedAboveNinetyNine) {
    const char* longPort = std::getenv("AMPWRIGHT_TEST_LONG_PORT");
    if (longPort == nullptr) GTEST_SKIP() << "no port numbered 100 or more here";
    ASSERT_TRUE(connection.Connect(longPort, nullptr));
    EXPECT_EQ(connection.Info().firmwareVersion, 41);
}
