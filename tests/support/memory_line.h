#pragma once

#include <memory>

#include "memory_serial_port.h"
#include "device/tester_connection.h"
#include "support/scripted_tester.h"

// An in-process serial line between a TesterConnection and a ScriptedTester.
struct MemoryLine {
    ScriptedTester tester;
    MemorySerialPort* port = nullptr;  // the port the connection opened last

    SerialPortFactory Factory() {
        return [this] {
            auto created =
                std::make_unique<MemorySerialPort>([this](std::span<const uint8_t> bytes) { tester.OnBytes(bytes); });
            port = created.get();
            tester.SetSender([created = port](std::span<const uint8_t> bytes) { created->SendToPort(bytes); });
            return created;
        };
    }
};
