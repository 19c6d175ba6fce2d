#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "monitor/live_state.h"
#include "tracer/trace_decoder.h"
#include "ui/controls.h"
#include "ui/prompts.h"

// The tracer's message composer: the user picks a message type (or "Custom"
// for raw bytes), types its data objects or data in hexadecimal and sends
// it; the decoder then marks the message's echo on the trace.
class Composer {
public:
    static constexpr uint32_t kQuietPeriodMs = 1050;
    static constexpr const char* kCustom = "Custom";

    struct Parts {
        Controls& window;
        Prompts& prompts;
        PendingEcho& echo;
        std::atomic<bool>& newRowSeen;
        const LiveState& live;
        // Has the tester transmit the message; true when it was taken.
        std::function<bool(std::span<const uint8_t>)> send;
        // Adds a row of the composer's own (the hard reset) to the trace.
        std::function<void(const std::string&)> appendRow;
    };

    explicit Composer(Parts parts);

    // Fills the type selector and shows the input form of its choice.
    void Initialize();
    void OnTypeChange();
    void OnSend();
    void OnQuietTimer();

private:
    enum class Form { Custom, Control, Data, Extended, HardReset };
    std::string SelectedTypeName();
    Form CurrentForm();

    // Each returns the message bytes, or nothing after a failed check (with
    // failure_ set).
    std::optional<std::vector<uint8_t>> ReadDataObjects(MessageTypeCode code);
    std::optional<std::vector<uint8_t>> ReadExtendedData(MessageTypeCode code);
    std::optional<std::vector<uint8_t>> ReadCustom();
    // Normalises a hex field: "0X" -> "0x", a-f -> A-F, "0x" in front.
    // Nothing when its digits are not hex.
    std::optional<std::string> HexField(int id, const std::string& text);
    uint16_t NextHeader(MessageTypeCode code, int objectCount);
    void Fail(const std::string& message);
    void EndAttempt();
    std::string FailureReason() const;

    Parts parts_;
    std::optional<std::string> failure_;
    uint8_t nextMessageId_ = 0;
};
