#include <gtest/gtest.h>

#include <string>

#include "device/port_directory_win32.h"

namespace {

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    std::wstring program(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return program.substr(0, program.find_last_of(L'\\'));
}

}  // namespace

// A copy of the bridge library planted in the current folder must never be
// loaded: only the system folder's copy is trusted.
TEST(BridgeLibrary, APlantedCopyInTheCurrentFolderIsNotLoaded) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"ampwright-plant-" + std::to_wstring(GetCurrentProcessId());
    std::wstring planted = folder + L"\\ftd2xx.dll";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\planted-bridge.dll").c_str(), planted.c_str(), FALSE));
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));

    {
        SetupApiPortDirectory ports;
        ports.CountBridgeDevices();
        EXPECT_EQ(GetModuleHandleW(L"ftd2xx.dll"), nullptr);
    }
    // The plant is where a load by bare name would have found it.
    LoadedLibrary bare(LoadLibraryW(L"ftd2xx.dll"));
    EXPECT_TRUE(bare);

    SetCurrentDirectoryW(previous);
    DeleteFileW(planted.c_str());
    RemoveDirectoryW(folder.c_str());
}
