// Works the running application from a second process, the way a user
// would: reads control texts and list items, chooses list entries, types
// into edits, presses buttons, answers message boxes and the save dialog, and
// sends device-change broadcasts. One command per run; prints what it read
// and exits 0 on success, 1 when a wait timed out or a window is missing.
//
//   e2e-driver wait-window MS | count-windows | caption | close-all
//   e2e-driver text ID | wait-text ID SUBSTRING MS | set-text ID TEXT | click ID
//   e2e-driver items ID | selected ID | select ID INDEX | position ID
//   e2e-driver wait-box TITLE MS [ID] | answer-boxes TITLE | save-log PATH MS
//   e2e-driver device-change arrival|removal
//   e2e-driver wait-graph MS | graph COMMAND ... (a command above, on the graph
//   window) | graph enabled ID | graph save PATH MS | graph resize W H |
//   graph size ID
//   e2e-driver tracer-wait MS | tracer-gone MS | tracer-count | tracer-export PATH MS
//   e2e-driver tracer-ping N | tracer-enabled ID | tracer-wheel DELTA
//   e2e-driver tracer-COMMAND ...: COMMAND on the tracer window instead of the main window
//   e2e-driver dlg-COMMAND TITLE ... | checked ID | raise | answer-with TITLE BUTTON
#include <windows.h>
#include <dbt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/wide_text_win32.h"

namespace {

constexpr UINT kPollMs = 50;
constexpr int kMessageBoxText = 0xFFFF;
constexpr int kSaveFileNameCombo = 0x47C;
constexpr int kSaveFileNameEdit = 0x480;

void Print(const std::wstring& text) {
    std::string utf8 = Narrow(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fputc('\n', stdout);
}

std::vector<HWND> TopWindows(const wchar_t* className, const wchar_t* title = nullptr) {
    struct Search {
        const wchar_t* className;
        const wchar_t* title;
        std::vector<HWND> found;
    } search{className, title, {}};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (lstrcmpW(name, s->className) != 0 || !IsWindowVisible(window)) return TRUE;
            if (s->title) {
                wchar_t title[256] = {};
                GetWindowTextW(window, title, 256);
                if (lstrcmpW(title, s->title) != 0) return TRUE;
            }
            s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND App() {
    std::vector<HWND> windows = TopWindows(L"AMPWRIGHT");
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
    if (!SendMessageTimeoutW(app, WM_DEVICECHANGE, arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
                             reinterpret_cast<LPARAM>(&broadcast), SMTO_ABORTIFHUNG, 15000, &result)) {
        return Fail("device change not delivered");
    }
    return 0;
}

// Presses a window's save button and answers the save dialog with `path`.
int SaveVia(HWND app, int button, const std::wstring& path, int timeoutMs) {
    PostMessageW(GetDlgItem(app, button), BM_CLICK, 0, 0);
    HWND dialog = nullptr;
    bool found = WaitFor(timeoutMs, [&] {
        for (HWND candidate : TopWindows(L"#32770")) {
            if (GetWindow(candidate, GW_OWNER) == app &&
                (GetDlgItem(candidate, kSaveFileNameCombo) || GetDlgItem(candidate, kSaveFileNameEdit))) {
                dialog = candidate;
                return true;
            }
        }
        return false;
    });
    if (!found) return Fail("no save dialog");
    HWND name = GetDlgItem(dialog, kSaveFileNameCombo);
    if (!name) name = GetDlgItem(dialog, kSaveFileNameEdit);
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    // An existing file is confirmed.
    WaitFor(1500, [&] {
        for (HWND box : TopWindows(L"#32770")) {
            if (GetWindow(box, GW_OWNER) == dialog) {
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(box, IDYES)));
                return true;
            }
        }
        return !IsWindow(dialog);
    });
    return WaitFor(timeoutMs, [&] { return !IsWindow(dialog); }) ? 0 : Fail("save dialog stayed open");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Fail("no command");
    std::wstring command = argv[1];
    auto number = [&](int index) { return index < argc ? _wtoi(argv[index]) : 0; };
    auto text = [&](int index) { return index < argc ? std::wstring(argv[index]) : std::wstring(); };

    if (command == L"wait-window") return WaitFor(number(2), [] { return App() != nullptr; }) ? 0 : Fail("no window");
    if (command == L"count-windows") {
        std::printf("%d\n", static_cast<int>(TopWindows(L"AMPWRIGHT").size()));
        return 0;
    }
    if (command == L"wait-box") {
        HWND box = nullptr;
        std::wstring title = text(2);
        if (!WaitFor(number(3), [&] { return (box = FindWindowW(L"#32770", title.c_str())) != nullptr; }))
            return Fail("no message box");
        Print(TextOf(box, argc > 4 ? number(4) : kMessageBoxText));
        return 0;
    }
    if (command == L"answer-boxes") {
        std::vector<HWND> boxes = TopWindows(L"#32770", text(2).c_str());
        for (HWND box : boxes) {
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
        }
        std::printf("%d\n", static_cast<int>(boxes.size()));
        return boxes.empty() ? 1 : 0;
    }
    if (command == L"close-all") {
        for (HWND window : TopWindows(L"AMPWRIGHT"))
            PostMessageW(window, WM_CLOSE, 0, 0);
        return WaitFor(number(2) > 0 ? number(2) : 10000, [] { return App() == nullptr; }) ? 0 : Fail("still open");
    }

    // The graph window: its own commands, and every command above on it.
    auto graphWindow = [] { return FindWindowW(L"#32770", L"Graphs and Tests"); };
    if (command == L"wait-graph")
        return WaitFor(number(2), [&] { return graphWindow() != nullptr; }) ? 0 : Fail("no graph window");
    const bool onGraph = command == L"graph" && argc > 2;
    if (onGraph) {
        ++argv;
        --argc;
        command = argv[1];
        HWND graph = graphWindow();
        if (!graph) return Fail("the graph window is not there");
        if (command == L"enabled") {
            std::printf("%d\n", IsWindowEnabled(GetDlgItem(graph, number(2))) ? 1 : 0);
            return 0;
        }
        if (command == L"save") return SaveVia(graph, 1070, text(2), number(3));
        if (command == L"export-csv") return SaveVia(graph, 1098, text(2), number(3));
        if (command == L"resize") {
            SetWindowPos(graph, nullptr, 0, 0, number(2), number(3), SWP_NOMOVE | SWP_NOZORDER);
            return 0;
        }
        if (command == L"size") {
            RECT client = {};
            GetClientRect(GetDlgItem(graph, number(2)), &client);
            std::printf("%ldx%ld\n", client.right, client.bottom);
            return 0;
        }
    }
    // --- The PD tracer window.
    auto tracer = [] { return FindWindowW(L"#32770", L"Power Delivery Protocol Tracer"); };
    if (command == L"tracer-wait")
        return WaitFor(number(2), [&] { return tracer() != nullptr; }) ? 0 : Fail("no tracer");
    if (command == L"tracer-gone") return WaitFor(number(2), [&] { return !tracer(); }) ? 0 : Fail("tracer still open");
    if (command == L"tracer-count") {
        std::printf("%d\n", static_cast<int>(TopWindows(L"#32770", L"Power Delivery Protocol Tracer").size()));
        return 0;
    }
    HWND target = nullptr;
    if (command.starts_with(L"tracer-")) {
        target = tracer();
        if (!target) return Fail("the tracer is not open");
        command = command.substr(7);
        if (command == L"export") return SaveVia(target, 1159, text(2), number(3));
        if (command == L"enabled") {
            std::printf("%d\n", IsWindowEnabled(GetDlgItem(target, number(2))) ? 1 : 0);
            return 0;
        }
        if (command == L"wheel") {
            SendMessageW(target, WM_MOUSEWHEEL, MAKEWPARAM(0, number(2)), 0);
            return 0;
        }
        if (command == L"ping") {
            // How long the tracer's thread takes to answer, the longest of N tries.
            double longest = 0;
            for (int i = 0; i < number(2); ++i) {
                LARGE_INTEGER start, end, frequency;
                QueryPerformanceFrequency(&frequency);
                QueryPerformanceCounter(&start);
                DWORD_PTR result = 0;
                if (!SendMessageTimeoutW(target, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result)) return Fail("no answer");
                QueryPerformanceCounter(&end);
                longest = std::max(longest, 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart);
                Sleep(20);
            }
            std::printf("%.1f\n", longest);
            return 0;
        }
    }

    // The configuration dialogs: "dlg-COMMAND TITLE ..." works a main-window
    // command on the dialog (or message box) with that title instead;
    // "checked ID" prints 1 or 0, "raise" brings the window to the top;
    // "answer-with TITLE BUTTON" presses one
    // button (IDYES = 6) of a message box.
    HWND dialog = nullptr;
    if (command.rfind(L"dlg-", 0) == 0 && argc > 2) {
        command = command.substr(4);
        std::wstring title = argv[2];
        // Visible: a modal dialog shows itself once it has filled its controls.
        bool found = WaitFor(10000, [&] {
            std::vector<HWND> windows = TopWindows(L"#32770", title.c_str());
            dialog = windows.empty() ? nullptr : windows.front();
            return dialog != nullptr;
        });
        if (!found) return Fail("no such dialog");
        ++argv;
        --argc;
    }
    if (command == L"answer-with") {
        HWND box = FindWindowW(L"#32770", text(2).c_str());
        if (!box) return Fail("no message box");
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(number(3), BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, number(3))));
        return 0;
    }

    HWND app = onGraph ? graphWindow() : target ? target : dialog ? dialog : App();
    if (!app) return Fail("the application's window is not there");
    if (command == L"raise") {
        // Wine without a window manager can leave a dialog below its owner
        // once a message box owned by the owner has closed.
        SetWindowPos(app, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        return 0;
    }
    if (command == L"checked") {
        std::printf("%d\n", IsDlgButtonChecked(app, number(2)) == BST_CHECKED ? 1 : 0);
        return 0;
    }
    int id = number(2);
    if (command == L"caption") {
        wchar_t caption[256] = {};
        GetWindowTextW(app, caption, 256);
        Print(caption);
        return 0;
    }
    if (command == L"text") {
        Print(TextOf(app, id));
        return 0;
    }
    if (command == L"wait-text") {
        std::wstring wanted = text(3);
        std::wstring seen;
        bool ok = WaitFor(number(4), [&] { return (seen = TextOf(app, id)).find(wanted) != std::wstring::npos; });
        Print(seen);
        return ok ? 0 : 1;
    }
    if (command == L"set-text") {
        std::wstring value = text(3);
        SendMessageW(GetDlgItem(app, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
        return 0;
    }
    if (command == L"click") {
        PostMessageW(GetDlgItem(app, id), BM_CLICK, 0, 0);
        return 0;
    }
    if (command == L"items") {
        HWND list = GetDlgItem(app, id);
        int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            std::wstring item(static_cast<size_t>(SendMessageW(list, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
            LRESULT length = SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
            item.resize(length < 0 ? 0 : static_cast<size_t>(length));
            Print(item);
        }
        return 0;
    }
    if (command == L"selected") {
        std::printf("%d\n", static_cast<int>(SendMessageW(GetDlgItem(app, id), CB_GETCURSEL, 0, 0)));
        return 0;
    }
    if (command == L"select") {
        HWND list = GetDlgItem(app, id);
        SendMessageW(list, CB_SETCURSEL, number(3), 0);
        if (dialog) PostMessageW(app, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        PostMessageW(app, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(list));
        return 0;
    }
    if (command == L"position") {
        std::printf("%d\n", static_cast<int>(SendMessageW(GetDlgItem(app, id), 0x400 /* TBM_GETPOS */, 0, 0)));
        return 0;
    }
    if (command == L"save-log") return SaveVia(app, 1018, text(2), number(3));
    if (command == L"device-change") return SendDeviceChange(app, text(2) == L"arrival");
    return Fail("unknown command");
}
