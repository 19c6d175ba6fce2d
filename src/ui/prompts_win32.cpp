#include "ui/prompts_win32.h"

#include <commdlg.h>

#include <string>
#include <vector>

#include "platform/wide_text_win32.h"

int PromptsWin32::ShowMessage(const std::string& text, const std::string& title, uint32_t style) {
    return MessageBoxW(owner_, Wide(text).c_str(), Wide(title).c_str(), style);
}

std::optional<std::string> PromptsWin32::AskSaveFile(const SaveFileRequest& request) {
    std::wstring path = Wide(request.initialPath);
    std::wstring folder;
    size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos) {
        folder = path.substr(0, slash);
        path = path.substr(slash + 1);
    }
    std::vector<wchar_t> file(4 * MAX_PATH, L'\0');
    path.copy(file.data(), std::min(path.size(), file.size() - 1));

    // The filter is a list of zero-terminated name/pattern pairs ending in an empty text.
    std::wstring filter = Wide(request.filterName);
    filter.push_back(L'\0');
    filter += Wide(request.filterPattern);
    filter.push_back(L'\0');
    for (const auto& [name, pattern] : request.moreFilters) {
        filter += Wide(name);
        filter.push_back(L'\0');
        filter += Wide(pattern);
        filter.push_back(L'\0');
    }
    filter.push_back(L'\0');
    std::wstring title = Wide(request.title);
    std::wstring extension = Wide(request.defaultExtension);

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner_;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    dialog.Flags = OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&dialog)) return std::nullopt;
    return Narrow(file.data());
}
