#pragma once
// The one place that gives the pages' controls the fonts, colours and glyphs of the forms:
// font heights in pixels, colours as QColor (BgrColor turns the forms' 0x00BBGGRR numbers
// into one), glyphs as resource pairs "<name>.png" and "<name>-disabled.png".
#include "ui/Colors.h"

#include <QFont>
#include <QIcon>
#include <QPalette>

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

// A button glyph in its two looks: path names the resource without its ".png", and
// "<path>-disabled.png" is the look of a disabled button.
QIcon TwoStateGlyph(const QString& path);

} // namespace ecu
