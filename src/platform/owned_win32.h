#pragma once

#include <windows.h>
#include <dbt.h>
#include <setupapi.h>

#include "platform/owned.h"

// A resource named by a pointer-like value that `free` gives back; null
// means none, and INVALID_HANDLE_VALUE too where `invalidToo`.
template <typename Handle, void (*free)(Handle), bool invalidToo = false>
struct HandleTraits {
    using Value = Handle;
    static constexpr Value kEmpty = nullptr;
    static bool IsHeld(Value value) { return value != nullptr && !(invalidToo && value == INVALID_HANDLE_VALUE); }
    static void GiveBack(Value value) { free(value); }
};

inline void CloseKernelHandle(HANDLE handle) {
    CloseHandle(handle);
}
inline void DestroyDeviceInfoSet(HDEVINFO devices) {
    SetupDiDestroyDeviceInfoList(devices);
}
inline void UnregisterDeviceChanges(HDEVNOTIFY registration) {
    UnregisterDeviceNotification(registration);
}
inline void UnloadLibrary(HMODULE library) {
    FreeLibrary(library);
}
inline void UnmapView(void* view) {
    UnmapViewOfFile(view);
}

// A kernel object: an event, a mutex, a thread, a file or port, a section.
using KernelHandle = Owned<HandleTraits<HANDLE, CloseKernelHandle, true>>;
// A set of devices listed by SetupAPI.
using DeviceInfoSet = Owned<HandleTraits<HDEVINFO, DestroyDeviceInfoSet, true>>;
// A window's registration for device arrivals and removals.
using DeviceNotification = Owned<HandleTraits<HDEVNOTIFY, UnregisterDeviceChanges>>;
// A library loaded at run time.
using LoadedLibrary = Owned<HandleTraits<HMODULE, UnloadLibrary>>;
// A view of a section mapped into this process.
using MappedView = Owned<HandleTraits<void*, UnmapView>>;

// A COM interface pointer, released once.
template <typename Interface>
struct ComTraits {
    using Value = Interface*;
    static constexpr Value kEmpty = nullptr;
    static bool IsHeld(Value value) { return value != nullptr; }
    static void GiveBack(Value value) { value->Release(); }
};
template <typename Interface>
using ComPtr = Owned<ComTraits<Interface>>;
