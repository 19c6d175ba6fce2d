#pragma once

#include "device/tester_connection.h"
#include "support/scripted_tester.h"

// The minimal tester of the round-trip benchmark: fixed identity and
// readings; other commands get an empty answer.
inline ScriptedTester::Bytes AnswerForBenchmark(uint8_t cmd, std::span<const uint8_t>) {
    if (cmd == kCmdGetMeasurements) {
        return ScriptedTester::Frame(cmd, {35, 0x88, 0x13, 0, 0, 0xE8, 0x03, 0xE6, 0x03, 0, 0});
    }
    if (cmd == kCmdGetDeviceInfo) {
        return ScriptedTester::Frame(cmd,
                                     {20, 41, 10, 'B', 'E', 'N', 'C', 'H', '0', '0', '0', '0', '0', '0', '0', '1'});
    }
    return ScriptedTester::Frame(cmd);
}
