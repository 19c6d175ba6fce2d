// The process: prepares the process-wide objects, joins the plug-information
// table, runs the main window's message loop and cleans up after it.
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>

#include "app/main_window_win32.h"
#include "app/plug_info_table_win32.h"
#include "platform/owned_win32.h"
#include "ui/modeless_windows_win32.h"

namespace {

// USB devices arriving and leaving: the tester's bridge is one.
const GUID kUsbDeviceInterface = {0xa5dcbf10, 0x6530, 0x11d2, {0x90, 0x1f, 0x00, 0xc0, 0x4f, 0xb9, 0x51, 0xed}};

DeviceNotification SubscribeToDeviceChanges(HWND window) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kUsbDeviceInterface;
    return DeviceNotification(RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    InitCommonControls();
    if (!RegisterMainWindowClass(instance)) return 1;
    PlugInfoTable table;
    table.Join();

    HWND window = CreateMainWindow(instance, showCommand);
    DeviceNotification deviceChanges;
    if (window) deviceChanges = SubscribeToDeviceChanges(window);
    AddModelessWindow(window);

    MSG message = {};
    int quitCode = 0;
    while (window) {
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            quitCode = static_cast<int>(message.wParam);
            break;
        }
        if (got < 0) break;
        if (HandleModelessDialogMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    table.Leave();
    return quitCode;
}
