#pragma once
// The one place that gives the pages' controls the fonts and colours that depend on state or
// that forms cannot carry: font heights in pixels (forms know point sizes only), colours as
// QColor (BgrColor turns the 0x00BBGGRR numbers into one). Glyphs are the forms' own, each a
// resource pair "<name>.png" and "<name>-disabled.png".
#include "ui/Colors.h"

#include <QFont>
#include <QPalette>

class QProgressBar;
class QWidget;

namespace ecu {

enum FontStyle : unsigned { Plain = 0, Bold = 1, Italic = 2, Underline = 4 };

// family at the given pixel height and style.
QFont PixelFont(const char* family, int pixels, unsigned style = Plain);
// Sets the widget's own font to family at the given pixel height and style.
void SetPixelFont(QWidget& widget, const char* family, int pixels, unsigned style = Plain);
// Keeps the widget's family and height, changes weight and slant.
void SetFontStyle(QWidget& widget, unsigned style);
// One colour role of the widget, in every state (active, inactive and disabled).
void SetRoleColor(QWidget& widget, QPalette::ColorRole role, const QColor& color);
// Text colour (labels, buttons, edits) while enabled; disabled text keeps the style's grey.
void SetTextColor(QWidget& widget, const QColor& color);
// Fills the widget's background with color.
void SetBackground(QWidget& widget, const QColor& color);

// A progress bar drawn as one continuous chunk, whatever blocks the style would draw.
void SetSmoothBar(QProgressBar& bar);

} // namespace ecu
