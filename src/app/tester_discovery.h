#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/port_directory.h"
#include "device/tester_connection.h"
#include "monitor/event_log.h"
#include "monitor/live_state.h"
#include "platform/clock.h"
#include "ui/controls.h"
#include "ui/prompts.h"
#include "platform/mutex.h"

// The device list's text for a tester on a port: "Voltiq (COM7)", cut to 31
// characters.
std::string DeviceListEntry(std::string_view portName);
// The index of the first entry that contains the text; -1 when none does or
// the text is empty.
int FindListEntry(const std::vector<std::string>& entries, std::string_view text);

// Finds testers among the serial ports, fills the main window's device list,
// connects to the chosen one and follows testers as they come and go. Runs
// on the main window's thread.
class TesterDiscovery {
public:
    enum class RescanReason { Removal = 1, Arrival = 2 };

    struct Parts {
        Controls& window;
        Prompts& prompts;
        TesterConnection& tester;
        LiveState& live;
        EventLog& log;
        PortDirectory& ports;
        Clock& clock;
        NotificationCallback notification;  // handed to Connect
        std::function<void()> closeWindow;  // ends the application
    };

    explicit TesterDiscovery(Parts parts);

    // Lists the testers and connects to the first; tells the user when
    // there is none.
    void ScanTesters();
    // Lists the testers again after a device arrived or left. The selected
    // tester keeps its place in the list. True when it came back after it
    // was unplugged: the caller connects it again with SelectTester(false).
    bool RescanTesters(RescanReason reason);
    // Connects to the tester of the list's current entry; false when that
    // failed. A port that does not open ends the application when
    // `endOnFailure`, else it is only logged.
    bool SelectTester(bool endOnFailure = true);
    // The selected tester was unplugged and has not been connected since.
    bool LostSelected() const { return lostSelected_; }

    const std::string& SelectedDeviceName() const { return selectedName_; }
    void ResetSelectedDeviceName() { selectedName_ = "No Serial"; }

private:
    int Enumerate();
    bool Connect(bool endOnFailure);

    Parts parts_;
    Mutex selectLock_;                  // held while a tester is closed, connected and read
    std::vector<std::string> entries_;  // the device list's texts, in list order
    std::string selectedName_ = "No Serial";
    bool lostSelected_ = false;  // the selected tester was unplugged and not reconnected yet
};

// The rescan a device-change broadcast asks for (its event and the device
// type of its header): arrival and removal of a device interface only.
std::optional<TesterDiscovery::RescanReason> RescanReasonFor(uint32_t event, uint32_t deviceType);
