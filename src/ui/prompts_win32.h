#pragma once

#include <windows.h>

#include "ui/prompts.h"

// Message boxes and the save dialog, owned by a window.
class PromptsWin32 : public Prompts {
public:
    explicit PromptsWin32(HWND owner) : owner_(owner) {}

    int ShowMessage(const std::string& text, const std::string& title, uint32_t style) override;
    std::optional<std::string> AskSaveFile(const SaveFileRequest& request) override;

private:
    HWND owner_;
};
