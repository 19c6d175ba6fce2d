#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Message boxes and the save-file dialog, owned by a window.
class Prompts {
public:
    // Message box styles and the buttons they answer with (Win32 values).
    enum Style : uint32_t {
        kOk = 0x0,
        kOkCancel = 0x1,
        kYesNo = 0x4,
        kIconError = 0x10,
        kIconQuestion = 0x20,
        kIconWarning = 0x30,
        kIconInformation = 0x40,
    };
    enum Answer : int { kAnswerOk = 1, kAnswerCancel = 2, kAnswerYes = 6, kAnswerNo = 7 };

    struct SaveFileRequest {
        std::string title;
        std::string filterName;                                        // e.g. "TXT Files (*.TXT)"
        std::string filterPattern;                                     // e.g. "*.txt"
        std::vector<std::pair<std::string, std::string>> moreFilters;  // further name/pattern pairs
        std::string defaultExtension;
        std::string initialPath;
    };

    virtual ~Prompts() = default;
    virtual int ShowMessage(const std::string& text, const std::string& title, uint32_t style) = 0;
    // The chosen path, or nothing when the user cancels.
    virtual std::optional<std::string> AskSaveFile(const SaveFileRequest& request) = 0;
};
