#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/dpi_scale.h"

// A dialog's layout made to fit the work area of its owner's monitor. At a
// large display scale on a small screen the layout can be wider than the
// screen; its font is then made smaller, which shrinks every dialog unit.
struct FittingLayout {
    std::vector<uint8_t> dialogTemplate;  // empty when the resource is missing
    // For what the dialog paints in pixels beside its controls: the display's
    // scale, shrunk as the font was.
    DpiScale scale;
};
FittingLayout FitDialogLayout(HINSTANCE instance, const wchar_t* name, HWND owner);

// The dialog's template as the system takes it.
inline const DLGTEMPLATE* TemplateOf(const FittingLayout& layout) {
    return reinterpret_cast<const DLGTEMPLATE*>(layout.dialogTemplate.data());
}

// The client size a dialog's template asks for, in the dialog's pixels. The
// system cuts a window larger than the screen when it makes it; a resizable
// dialog lays its controls out again from this size.
SIZE DesignedClientSize(HWND dialog, HINSTANCE instance, const wchar_t* name);
