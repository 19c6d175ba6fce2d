#include "device/port_directory_win32.h"

#include <cfgmgr32.h>
#include <devpropdef.h>
#include <setupapi.h>

#include "platform/owned_win32.h"
#include "platform/wide_text_win32.h"

namespace {

// The setup class of serial and parallel ports.
const GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
// The description a device's USB bus reports for it.
const DEVPROPKEY kBusReportedDeviceDesc = {
    {0x540b947e, 0x8b40, 0x45bc, {0xa8, 0xa2, 0x6a, 0x0b, 0x89, 0x4c, 0xbd, 0xa2}}, 4};

constexpr DWORD kDeviceIdCharacters = 200;
constexpr DWORD kPropertyBytes = 512;
constexpr DWORD kListNumberOnly = 0x80000000;

using ListDevicesFunction = ULONG(WINAPI*)(PVOID, PVOID, DWORD);

// A property buffer of wide characters as text, ending at its first NUL.
std::string PropertyText(const BYTE* buffer, DWORD bytes) {
    const wchar_t* text = reinterpret_cast<const wchar_t*>(buffer);
    size_t length = 0;
    while (length < bytes / sizeof(wchar_t) && text[length] != L'\0')
        ++length;
    return Narrow(std::wstring_view(text, length));
}

}  // namespace

bool SetupApiPortDirectory::ListPorts(std::vector<SerialPortListing>& out) {
    out.clear();
    DeviceInfoSet owned(SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT));
    if (!owned) return false;
    HDEVINFO devices = owned.Get();
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        wchar_t deviceId[kDeviceIdCharacters] = {};
        if (CM_Get_Device_IDW(device.DevInst, deviceId, kDeviceIdCharacters, 0) != CR_SUCCESS) continue;

        // DWORD-aligned: the properties are read as wide characters.
        DWORD description[kPropertyBytes / sizeof(DWORD)] = {};
        DEVPROPTYPE type = 0;
        if (!SetupDiGetDevicePropertyW(devices, &device, &kBusReportedDeviceDesc, &type,
                                       reinterpret_cast<BYTE*>(description), kPropertyBytes, nullptr, 0)) {
            continue;
        }
        DWORD friendlyName[kPropertyBytes / sizeof(DWORD)] = {};
        DWORD registryType = 0;
        if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, &registryType,
                                               reinterpret_cast<BYTE*>(friendlyName), kPropertyBytes, nullptr)) {
            continue;
        }
        out.push_back({PropertyText(reinterpret_cast<const BYTE*>(description), kPropertyBytes),
                       PropertyText(reinterpret_cast<const BYTE*>(friendlyName), kPropertyBytes)});
    }
    return true;
}

void SetupApiPortDirectory::CountBridgeDevices() {
    if (!bridgeLibraryTried_) {
        bridgeLibraryTried_ = true;
        // From the system folder only: never a planted copy beside the
        // program or in the current folder.
        bridgeLibrary_.Reset(LoadLibraryExW(L"ftd2xx.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    }
    if (!bridgeLibrary_) return;
    auto listDevices = reinterpret_cast<ListDevicesFunction>(
        reinterpret_cast<void*>(GetProcAddress(bridgeLibrary_.Get(), "FT_ListDevices")));
    if (!listDevices) return;
    DWORD count = 0;
    listDevices(&count, nullptr, kListNumberOnly);
}
