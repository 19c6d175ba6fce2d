#include "ui/dialog_template_win32.h"

#include <algorithm>

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

void SetPointSize(std::vector<uint8_t>& dialogTemplate, size_t at, int points) {
    dialogTemplate[at] = static_cast<uint8_t>(points & 0xFF);
    dialogTemplate[at + 1] = static_cast<uint8_t>(points >> 8);
}

}  // namespace

FittingLayout FitDialogLayout(HINSTANCE instance, const wchar_t* name, HWND owner) {
    FittingLayout layout{LoadDialogTemplate(instance, name), {}};
    std::optional<size_t> fontAt = DialogFontSizeOffset(layout.dialogTemplate);
    std::optional<DialogUnits> size = DialogSize(layout.dialogTemplate);
    if (!fontAt || !size) return layout;
    // Hidden trials without a dialog procedure measure the layout: none of
    // the window's own start-up runs.
    HWND trial = CreateDialogIndirectParamW(instance, TemplateOf(layout), owner, nullptr, 0);
    if (!trial) return layout;
    layout.scale = WindowScale(trial);
    int points = *DialogPointSize(layout.dialogTemplate);
    int fitted = FittingPointSize(points, NeededWidth(trial, *size), WorkAreaOf(owner ? owner : trial).Width(),
                                  kSmallestPointSize);
    SIZE full = MappedSize(trial, *size);
    DestroyWindow(trial);
    if (fitted == points || points <= 0) return layout;
    SetPointSize(layout.dialogTemplate, *fontAt, fitted);
    // Font heights round to whole pixels, so the layout shrinks by what the
    // smaller font measures, not by the ratio of the point sizes.
    trial = CreateDialogIndirectParamW(instance, TemplateOf(layout), owner, nullptr, 0);
    if (!trial) return layout;
    SIZE shrunk = MappedSize(trial, *size);
    DestroyWindow(trial);
    if (full.cx > 0 && full.cy > 0) {
        layout.scale.dpi = std::min(layout.scale.dpi * shrunk.cx / full.cx, layout.scale.dpi * shrunk.cy / full.cy);
    }
    return layout;
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
