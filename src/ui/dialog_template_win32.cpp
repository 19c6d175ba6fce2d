#include "ui/dialog_template_win32.h"

#include "ui/dialog_template.h"
#include "ui/dpi_win32.h"

namespace {

// The smallest font a layout is shrunk to.
constexpr int kSmallestPointSize = 6;

std::vector<uint8_t> LoadDialogTemplate(HINSTANCE instance, const wchar_t* name) {
    HRSRC found = FindResourceW(instance, name, RT_DIALOG);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(instance, found);  // resources are never freed
    const auto* bytes = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    if (!bytes) return {};
    return std::vector<uint8_t>(bytes, bytes + SizeofResource(instance, found));
}

// The width the layout needs at the trial dialog's font: its client area in
// dialog units, mapped, plus the window's frame.
int NeededWidth(HWND trial, const DialogUnits& size) {
    RECT frame = {}, client = {}, content = {0, 0, size.width, size.height};
    GetWindowRect(trial, &frame);
    GetClientRect(trial, &client);
    MapDialogRect(trial, &content);
    return content.right + (frame.right - frame.left - client.right);
}

// The client size the template's dialog units come to in the trial.
SIZE MappedSize(HWND trial, const DialogUnits& size) {
    RECT content = {0, 0, size.width, size.height};
    MapDialogRect(trial, &content);
    return {content.right, content.bottom};
}

}  // namespace

std::vector<uint8_t> FitDialogLayout(HINSTANCE instance, const wchar_t* name, HWND owner) {
    std::vector<uint8_t> layout = LoadDialogTemplate(instance, name);
    std::optional<size_t> fontAt = DialogFontSizeOffset(layout);
    std::optional<DialogUnits> size = DialogSize(layout);
    if (!fontAt || !size) return layout;
    // A hidden trial without a dialog procedure measures the layout: none of
    // the window's own start-up runs.
    HWND trial = CreateDialogIndirectParamW(instance, TemplateOf(layout), owner, nullptr, 0);
    if (!trial) return layout;
    int points = *DialogPointSize(layout);
    int fitted = FittingPointSize(points, NeededWidth(trial, *size), WorkAreaOf(owner ? owner : trial).Width(),
                                  kSmallestPointSize);
    DestroyWindow(trial);
    if (fitted != points) {
        layout[*fontAt] = static_cast<uint8_t>(fitted & 0xFF);
        layout[*fontAt + 1] = static_cast<uint8_t>(fitted >> 8);
    }
    return layout;
}

DpiScale DialogFontScale(HWND dialog) {
    RECT font = {0, 0, 4, 8};  // the font's average character in dialog units
    MapDialogRect(dialog, &font);
    return DpiScale::OfDialogFont(font.bottom);
}

SIZE DesignedClientSize(HWND dialog, HINSTANCE instance, const wchar_t* name) {
    std::optional<DialogUnits> size = DialogSize(LoadDialogTemplate(instance, name));
    if (!size) {
        RECT client = {};
        GetClientRect(dialog, &client);
        return {client.right, client.bottom};
    }
    return MappedSize(dialog, *size);
}
