// Works the running application from a second process, the way a user
// would: reads control texts and list items, chooses list entries, types
// into edits, presses buttons, answers message boxes and the save dialog, and
// sends device-change broadcasts. One command per run; prints what it read
// and exits 0 on success, 1 when a wait timed out or a window is missing.
//
//   e2e-driver wait-window MS [TITLE] | gone TITLE MS | count [TITLE] | close-all MS
//   e2e-driver [on TITLE] COMMAND ...: COMMAND on the main window, or on the
//   visible dialog or message box with that title (waited for up to 20 s):
//     caption | text ID | wait-text ID SUBSTRING MS | set-text ID TEXT
//     click ID | answer ID | items ID | selected ID | select ID INDEX
//     checked ID | enabled ID | raise | resize W H | size ID | rect ID (on the
//     screen; 0, the window's own) | dpi-change DPI
//     save BUTTON PATH MS | ping N | device-change arrival|removal
//     key ID VK (a key press posted to a control, as typed) | focused (the
//     id of the control with the keyboard focus) | resources (the owning
//     process's resident kB, handles, GDI objects and USER objects) |
//     handle-types (the owning process's handles counted by object type)
#include <windows.h>
#include <dbt.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/owned_win32.h"
#include "platform/wide_text_win32.h"

namespace {

constexpr UINT kPollMs = 50;
constexpr int kSaveFileNameCombo = 0x47C;
constexpr int kSaveFileNameEdit = 0x480;
constexpr const wchar_t* kDialogClass = L"#32770";

// A line of text on standard output; 0, a command's success.
int Print(const std::wstring& text) {
    std::string line = Narrow(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    return 0;
}

// Calls `each` with every top-level window.
void ForEachTopWindow(const std::function<void(HWND)>& each) {
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            (*reinterpret_cast<const std::function<void(HWND)>*>(context))(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&each));
}

// The visible top-level windows of a class, and of a title when one is given.
std::vector<HWND> TopWindows(const wchar_t* className, const wchar_t* title = nullptr) {
    std::vector<HWND> found;
    ForEachTopWindow([&](HWND window) {
        wchar_t name[256] = {};
        GetClassNameW(window, name, 256);
        if (lstrcmpW(name, className) != 0 || !IsWindowVisible(window)) return;
        GetWindowTextW(window, name, 256);
        if (!title || lstrcmpW(name, title) == 0) found.push_back(window);
    });
    return found;
}

// The main window without a title, else the dialog of that title.
HWND Find(const wchar_t* title) {
    std::vector<HWND> windows = title ? TopWindows(kDialogClass, title) : TopWindows(L"AMPWRIGHT");
    return windows.empty() ? nullptr : windows.front();
}

std::wstring TextOf(HWND window, int id) {
    HWND item = GetDlgItem(window, id);
    if (!item) return L"";
    LRESULT length = 0;
    if (!SendMessageTimeoutW(item, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000,
                             reinterpret_cast<PDWORD_PTR>(&length)))
        return L"";
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(item, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 2000,
                        &copied);
    text.resize(copied);
    return text;
}

template <typename Check>
bool WaitFor(int timeoutMs, Check check) {
    for (int waited = 0;; waited += kPollMs) {
        if (check()) return true;
        if (waited >= timeoutMs) return false;
        Sleep(kPollMs);
    }
}

int Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    return 1;
}

int PrintNumber(long long value) {
    std::printf("%lld\n", value);
    return 0;
}

int Answer(HWND window, int button) {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
    return 0;
}

int SendDeviceChange(HWND app, bool arrival) {
    // The name makes the structure longer than its header, as a real broadcast's is.
    struct {
        DEV_BROADCAST_DEVICEINTERFACE_W header;
        wchar_t name[64];
    } broadcast = {};
    broadcast.header.dbcc_size = sizeof(broadcast);
    broadcast.header.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    broadcast.header.dbcc_classguid = {0xa5dcbf10, 0x6530, 0x11d2, {0x90, 0x1f, 0x00, 0xc0, 0x4f, 0xb9, 0x51, 0xed}};
    lstrcpyW(broadcast.header.dbcc_name, L"\\\\?\\USB#VID_0403&PID_6015#AMPW#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(app, WM_DEVICECHANGE, arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
                               reinterpret_cast<LPARAM>(&broadcast), SMTO_ABORTIFHUNG, 15000, &result)
               ? 0
               : Fail("device change not delivered");
}

// Presses a window's save button and answers the save dialog with `path`.
int SaveVia(HWND app, int button, const std::wstring& path, int timeoutMs) {
    // The window's own modeless windows may hold a control with the file
    // name's id: only a dialog that the click opened is the save dialog.
    std::vector<HWND> before = TopWindows(kDialogClass);
    PostMessageW(GetDlgItem(app, button), BM_CLICK, 0, 0);
    HWND dialog = nullptr, name = nullptr;
    bool found = WaitFor(timeoutMs, [&] {
        for (HWND candidate : TopWindows(kDialogClass)) {
            if (GetWindow(candidate, GW_OWNER) != app ||
                std::find(before.begin(), before.end(), candidate) != before.end())
                continue;
            name = GetDlgItem(candidate, kSaveFileNameCombo);
            if (!name) name = GetDlgItem(candidate, kSaveFileNameEdit);
            if (name) return (dialog = candidate) != nullptr;
        }
        return false;
    });
    if (!found) return Fail("no save dialog");
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    Answer(dialog, IDOK);
    // An existing file is confirmed.
    WaitFor(1500, [&] {
        for (HWND box : TopWindows(kDialogClass)) {
            if (GetWindow(box, GW_OWNER) == dialog) {
                Answer(box, IDYES);
                return true;
            }
        }
        return !IsWindow(dialog);
    });
    return WaitFor(timeoutMs, [&] { return !IsWindow(dialog); }) ? 0 : Fail("save dialog stayed open");
}

// How long the window's thread takes to answer, the longest of `tries`.
int Ping(HWND window, int tries) {
    double longest = 0;
    for (int i = 0; i < tries; ++i) {
        LARGE_INTEGER start, end, frequency;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result)) return Fail("no answer");
        QueryPerformanceCounter(&end);
        longest = std::max(longest, 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart);
        Sleep(20);
    }
    std::printf("%.1f\n", longest);
    return 0;
}

// GDI objects of a process whose GetGuiResources is not implemented (Wine):
// the live entries of the GDI handle table its PEB points to, an array of
// 65,536 entries of 24 bytes whose type byte (offset 14) is 0 when free.
long long GdiEntriesInUse(HANDLE process) {
    PROCESS_BASIC_INFORMATION basic = {};
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return -1;
    constexpr size_t kTableOffsetInPeb = 0xF8, kEntries = 0x10000, kEntrySize = 24, kTypeOffset = 14;
    UINT64 table = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<const char*>(basic.PebBaseAddress) + kTableOffsetInPeb, &table,
                           sizeof table, nullptr) ||
        table == 0)
        return -1;
    std::vector<unsigned char> entries(kEntries * kEntrySize);
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table), entries.data(), entries.size(), nullptr))
        return -1;
    long long used = 0;
    for (size_t i = 0; i < kEntries; ++i)
        used += entries[i * kEntrySize + kTypeOffset] != 0;
    return used;
}

// One entry of the system's handle list.
struct HandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};

// The system's handle list (every process's handles); empty when unreadable.
std::vector<HandleEntry> SystemHandles() {
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
    std::vector<unsigned char> buffer(1 << 16);
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(kSystemHandleInformation),
                                              buffer.data(), static_cast<ULONG>(buffer.size()), nullptr)) ==
               kLengthMismatch &&
           buffer.size() < (1u << 28))
        buffer.resize(buffer.size() * 2);
    if (status != 0) return {};
    ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
    const HandleEntry* entries = reinterpret_cast<const HandleEntry*>(buffer.data() + sizeof(void*));
    return std::vector<HandleEntry>(entries, entries + count);
}

// The handles a process holds, where GetProcessHandleCount does not say
// (Wine): its entries in the system's handle list.
long long HandlesOf(DWORD processId) {
    std::vector<HandleEntry> entries = SystemHandles();
    if (entries.empty()) return -1;
    return std::count_if(entries.begin(), entries.end(),
                         [&](const HandleEntry& entry) { return entry.ownerPid == processId; });
}

// "COUNT TYPE" lines for the handles a process holds, by object type: the
// type a handle of this process's own known objects has names the number;
// others print as "type-N". Tells which kind of handle a growing count is.
int HandleTypes(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    RegistryKey key;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.Receive());
    struct Known {
        const char* name;
        KernelHandle handle;
    } known[] = {
        {"event", KernelHandle(CreateEventW(nullptr, FALSE, FALSE, nullptr))},
        {"mutex", KernelHandle(CreateMutexW(nullptr, FALSE, nullptr))},
        {"semaphore", KernelHandle(CreateSemaphoreW(nullptr, 0, 1, nullptr))},
        {"file", KernelHandle(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr))},
        {"section", KernelHandle(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr))},
        {"timer", KernelHandle(CreateWaitableTimerW(nullptr, FALSE, nullptr))},
        {"thread", KernelHandle(OpenThread(THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId()))},
        {"process", KernelHandle(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId()))},
    };
    std::vector<HandleEntry> entries = SystemHandles();
    std::vector<std::string> names(256);
    for (const HandleEntry& entry : entries) {
        if (entry.ownerPid != GetCurrentProcessId()) continue;
        if (reinterpret_cast<uintptr_t>(key.Get()) == entry.value) names[entry.objectType] = "key";
        for (const Known& k : known) {
            if (reinterpret_cast<uintptr_t>(k.handle.Get()) == entry.value) names[entry.objectType] = k.name;
        }
    }
    if (entries.empty()) return Fail("no handle list");
    std::vector<long long> counts(256);
    for (const HandleEntry& entry : entries) {
        if (entry.ownerPid == processId) ++counts[entry.objectType];
    }
    for (int type = 0; type < 256; ++type) {
        if (counts[type] == 0) continue;
        std::string name = names[type].empty() ? "type-" + std::to_string(type) : names[type];
        std::printf("%lld %s\n", counts[type], name.c_str());
    }
    return 0;
}

// USER objects of a process whose GetGuiResources is not implemented: its
// windows, top-level and child, the bulk of what it holds.
long long WindowsOf(DWORD processId) {
    long long windows = 0;
    ForEachTopWindow([&](HWND window) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != processId) return;
        ++windows;
        EnumChildWindows(
            window,
            [](HWND, LPARAM count) -> BOOL {
                ++*reinterpret_cast<long long*>(count);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&windows));
    });
    return windows;
}

// "RESIDENT_KB HANDLES GDI USER" of the process that owns `window`.
int Resources(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    KernelHandle owned(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!owned) return Fail("cannot open the process");
    HANDLE process = owned.Get();
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    DWORD handles = 0;
    bool ok = GetProcessMemoryInfo(process, &memory, sizeof memory) && GetProcessHandleCount(process, &handles);
    long long gdi = GetGuiResources(process, GR_GDIOBJECTS);
    long long user = GetGuiResources(process, GR_USEROBJECTS);
    long long handleCount = handles != 0 ? handles : HandlesOf(processId);
    if (gdi == 0) gdi = GdiEntriesInUse(process);
    if (user == 0) user = WindowsOf(processId);
    if (!ok) return Fail("no process figures");
    std::printf("%llu %lld %lld %lld\n", static_cast<unsigned long long>(memory.WorkingSetSize / 1024), handleCount,
                gdi, user);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Fail("no command");
    // Positions in the display's own pixels, at any scale.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    std::wstring command = argv[1];
    auto number = [&](int index) { return index < argc ? _wtoi(argv[index]) : 0; };
    auto text = [&](int index) { return index < argc ? std::wstring(argv[index]) : std::wstring(); };

    if (command == L"wait-window") {
        const wchar_t* title = argc > 3 ? argv[3] : nullptr;
        return WaitFor(number(2), [&] { return Find(title) != nullptr; }) ? 0 : Fail("no window");
    }
    if (command == L"gone") {
        std::wstring title = text(2);
        return WaitFor(number(3), [&] { return !FindWindowW(kDialogClass, title.c_str()); }) ? 0 : Fail("still open");
    }
    if (command == L"count") {
        return PrintNumber(static_cast<long long>(argc > 2 ? TopWindows(kDialogClass, argv[2]).size()
                                                           : TopWindows(L"AMPWRIGHT").size()));
    }
    if (command == L"close-all") {
        for (HWND window : TopWindows(L"AMPWRIGHT"))
            PostMessageW(window, WM_CLOSE, 0, 0);
        return WaitFor(number(2), [] { return Find(nullptr) == nullptr; }) ? 0 : Fail("still open");
    }

    HWND app = nullptr;
    if (command == L"on" && argc > 3) {
        // Visible: a modal dialog shows itself once it has filled its controls.
        if (!WaitFor(20000, [&] { return (app = Find(argv[2])) != nullptr; })) return Fail("no such window");
        argv += 2;
        argc -= 2;
        command = argv[1];
    } else if (!(app = Find(nullptr))) {
        return Fail("the application's window is not there");
    }
    int id = number(2);
    HWND item = GetDlgItem(app, id);
    if (command == L"caption") {
        wchar_t caption[256] = {};
        GetWindowTextW(app, caption, 256);
        return Print(caption);
    }
    if (command == L"text") return Print(TextOf(app, id));
    if (command == L"wait-text") {
        std::wstring wanted = text(3), seen;
        bool ok = WaitFor(number(4), [&] { return (seen = TextOf(app, id)).find(wanted) != std::wstring::npos; });
        Print(seen);
        return ok ? 0 : 1;
    }
    if (command == L"set-text") {
        SendMessageW(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text(3).c_str()));
        return 0;
    }
    if (command == L"click") return item && PostMessageW(item, BM_CLICK, 0, 0) ? 0 : Fail("no such button");
    if (command == L"answer") return Answer(app, id);
    if (command == L"items") {
        int count = static_cast<int>(SendMessageW(item, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            std::wstring entry(static_cast<size_t>(SendMessageW(item, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
            LRESULT length = SendMessageW(item, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry.data()));
            entry.resize(length < 0 ? 0 : static_cast<size_t>(length));
            Print(entry);
        }
        return 0;
    }
    if (command == L"selected") return PrintNumber(SendMessageW(item, CB_GETCURSEL, 0, 0));
    if (command == L"select") {
        // Both notifications a user's choice sends; each window acts on the one it heeds.
        SendMessageW(item, CB_SETCURSEL, number(3), 0);
        PostMessageW(app, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(item));
        PostMessageW(app, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(item));
        return 0;
    }
    if (command == L"checked") return PrintNumber(IsDlgButtonChecked(app, id) == BST_CHECKED ? 1 : 0);
    if (command == L"enabled") return PrintNumber(IsWindowEnabled(item) ? 1 : 0);
    if (command == L"raise") {
        // Wine without a window manager can leave a dialog below its owner
        // once a message box owned by the owner has closed.
        SetWindowPos(app, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        return 0;
    }
    if (command == L"resize") {
        SetWindowPos(app, nullptr, 0, 0, number(2), number(3), SWP_NOMOVE | SWP_NOZORDER);
        return 0;
    }
    if (command == L"size") {
        RECT client = {};
        GetClientRect(item, &client);
        std::printf("%ldx%ld\n", client.right, client.bottom);
        return 0;
    }
    if (command == L"rect") {  // of a control, or with ID 0 of the window, on the screen
        RECT rect = {};
        GetWindowRect(id != 0 ? item : app, &rect);
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
        return 0;
    }
    if (command == L"dpi-change") {
        // As when the window moves to a monitor of another scale; without a
        // suggested rectangle (none can be passed between processes) it
        // keeps its size and lays its painted panes out again.
        WPARAM dpi = static_cast<WPARAM>(number(2));
        return SendMessageW(app, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), 0), 0;
    }
    if (command == L"save") return SaveVia(app, id, text(3), number(4));
    if (command == L"ping") return Ping(app, id);
    if (command == L"device-change") return SendDeviceChange(app, text(2) == L"arrival");
    if (command == L"key") {
        WPARAM key = static_cast<WPARAM>(number(3));
        return item && PostMessageW(item, WM_KEYDOWN, key, 1) && PostMessageW(item, WM_KEYUP, key, 0xC0000001)
                   ? 0
                   : Fail("no such control");
    }
    if (command == L"resources") return Resources(app);
    if (command == L"handle-types") return HandleTypes(app);
    if (command == L"focused") {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(app, nullptr), &info) || !info.hwndFocus)
            return Fail("no focus");
        return PrintNumber(GetDlgCtrlID(info.hwndFocus));
    }
    return Fail("unknown command");
}
