#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/dpi_scale.h"

// A dialog's template made to fit the work area of its owner's monitor. At a
// large display scale on a small screen the layout can be wider than the
// screen; its font is then made smaller, which shrinks every dialog unit.
// Empty when the resource is missing.
std::vector<uint8_t> FitDialogLayout(HINSTANCE instance, const wchar_t* name, HWND owner);

// The template as the system takes it.
inline const DLGTEMPLATE* TemplateOf(const std::vector<uint8_t>& dialogTemplate) {
    return reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data());
}

// The scale of what a dialog paints in pixels among its controls.
DpiScale DialogFontScale(HWND dialog);

// The client size a dialog's template asks for, in the dialog's pixels. The
// system cuts a window larger than the screen when it makes it; a resizable
// dialog lays its controls out again from this size.
SIZE DesignedClientSize(HWND dialog, HINSTANCE instance, const wchar_t* name);
