#include "app/plug_info_table_win32.h"

#include <span>

#include "app/plug_info_table.h"

namespace {

constexpr DWORD kMutexWaitMs = 5000;

}  // namespace

void PlugInfoTable::Join() {
    mutex_ = CreateMutexW(nullptr, FALSE, L"Ampwright_pluginfo_mutex");
    if (mutex_ && GetLastError() == ERROR_ALREADY_EXISTS) {
        section_ = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, L"Ampwright_pluginfo");
    } else if (mutex_) {
        DWORD waited = WaitForSingleObject(mutex_, kMutexWaitMs);
        section_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kPlugInfoTableBytes,
                                      L"Ampwright_pluginfo");
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(mutex_);
    }
    if (section_) view_ = MapViewOfFile(section_, FILE_MAP_ALL_ACCESS, 0, 0, kPlugInfoTableBytes);
    if (!mutex_ || !section_ || !view_) {
        MessageBoxW(nullptr,
                    L"Failed to open shared memory.\nAmpwright will still run but it is not recommended to run more "
                    L"than 1 copy",
                    L"Shared memory failure", MB_OK | MB_ICONERROR);
    }
}

void PlugInfoTable::Leave() {
    if (view_) {
        DWORD waited = mutex_ ? WaitForSingleObject(mutex_, kMutexWaitMs) : WAIT_FAILED;
        ReleasePlugInfoRecords(
            std::span<uint8_t, kPlugInfoTableBytes>(static_cast<uint8_t*>(view_), kPlugInfoTableBytes),
            GetCurrentProcessId());
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(mutex_);
        UnmapViewOfFile(view_);
        view_ = nullptr;
    }
    if (section_) CloseHandle(section_);
    if (mutex_) CloseHandle(mutex_);
    section_ = nullptr;
    mutex_ = nullptr;
}
