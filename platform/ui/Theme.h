#pragma once
// The application's look: black backgrounds, white 2-point rounded borders and
// the light blue accent. The window applies the style sheet to everything it
// holds; screens use the helpers for widgets they build in code.

#include <QString>

class QAbstractButton;
class QFont;

namespace ui::theme {

// Style sheet for buttons, text fields, lists and scroll bars.
QString styleSheet();

// The standard size of a label's text, in points.
constexpr int kLabelFontSize = 17;

// A font of the system family at `pixelSize` points.
QFont systemFont(int pixelSize, bool bold = false);

} // namespace ui::theme
