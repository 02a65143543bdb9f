// Dialog templates: the readable text form of a dialog and its controls.
//
//   # comment
//   dialog X Y WIDTH HEIGHT          position over the parent and size, dialog units
//   caption "TEXT"
//   font "FAMILY" POINTS
//   style WORD...                    sysmenu: the window has a system menu
//   CLASS ID X Y WIDTH HEIGHT "TEXT" [STYLE...]
//
// CLASS is static, edit, button, checkbox, combobox (a drop-down list) or listbox.
// Control styles: hidden, disabled, left, center, right (text alignment of statics),
// bitmap (a static showing the bitmap resource whose id is its text), icon (a push
// button showing the image SetControlImage gives it), default (the push button that
// Enter presses), sunken (a static with a sunken edge), border (an edit field with a
// frame). Text is in double quotes; \" and \\ stand for " and \. Dialog units are a
// quarter of the font's average character width across and an eighth of its line
// height down, as on the module's home platform.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/ui/Canvas.h"

namespace ui {

enum class ControlClass { Static, Edit, Button, CheckBox, ComboBox, ListBox };

enum ControlStyle : unsigned {
    kStyleHidden = 1,
    kStyleDisabled = 2,
    kStyleBitmap = 4,
    kStyleIcon = 8,
    kStyleDefault = 16,
    kStyleCenter = 32,
    kStyleRight = 64,
    kStyleSunken = 128,
    kStyleBorder = 256,
};

struct ControlTemplate {
    ControlClass controlClass = ControlClass::Static;
    int id = 0;
    Rect units;
    std::string text;
    unsigned style = 0;
};

struct DialogTemplate {
    Rect units;
    std::string caption;
    std::string fontFamily = "MS Sans Serif";
    int pointSize = 8;
    bool systemMenu = false;
    std::vector<ControlTemplate> controls;
};

// False, with the first offending line's number in errorLine, when the text is not a
// well-formed template.
bool ParseTemplate(std::span<const std::uint8_t> bytes, DialogTemplate& dialog, int* errorLine = nullptr);

}  // namespace ui
