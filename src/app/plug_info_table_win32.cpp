#include "app/plug_info_table_win32.h"

#include <span>

#include "app/plug_info_table.h"

namespace {

constexpr DWORD kMutexWaitMs = 5000;

}  // namespace

void PlugInfoTable::Join() {
    mutex_.Reset(CreateMutexW(nullptr, FALSE, L"Ampwright_pluginfo_mutex"));
    if (mutex_ && GetLastError() == ERROR_ALREADY_EXISTS) {
        section_.Reset(OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, L"Ampwright_pluginfo"));
    } else if (mutex_) {
        DWORD waited = WaitForSingleObject(mutex_.Get(), kMutexWaitMs);
        section_.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kPlugInfoTableBytes,
                                          L"Ampwright_pluginfo"));
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(mutex_.Get());
    }
    if (section_) view_.Reset(MapViewOfFile(section_.Get(), FILE_MAP_ALL_ACCESS, 0, 0, kPlugInfoTableBytes));
    if (!mutex_ || !section_ || !view_) {
        MessageBoxW(nullptr,
                    L"Failed to open shared memory.\nAmpwright will still run but it is not recommended to run more "
                    L"than 1 copy",
                    L"Shared memory failure", MB_OK | MB_ICONERROR);
    }
}

void PlugInfoTable::Leave() {
    if (view_) {
        DWORD waited = mutex_ ? WaitForSingleObject(mutex_.Get(), kMutexWaitMs) : WAIT_FAILED;
        ReleasePlugInfoRecords(
            std::span<uint8_t, kPlugInfoTableBytes>(static_cast<uint8_t*>(view_.Get()), kPlugInfoTableBytes),
            GetCurrentProcessId());
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(mutex_.Get());
    }
    view_.Reset();
    section_.Reset();
    mutex_.Reset();
}
