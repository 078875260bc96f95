#pragma once
// Small helpers that give the pages' controls the fonts and colours of the forms:
// font heights in pixels, colours as QColor (BgrColor turns the forms' 0x00BBGGRR
// numbers into one).
#include "ui/Colors.h"

class QWidget;

namespace ecu {

enum FontStyle : unsigned { Plain = 0, Bold = 1, Italic = 2 };

// Sets the widget's own font to family at the given pixel height and style.
void SetPixelFont(QWidget& widget, const char* family, int pixels, unsigned style = Plain);
// Keeps the widget's family and height, changes weight and slant.
void SetFontStyle(QWidget& widget, unsigned style);
// Text colour (labels, buttons, edits).
void SetTextColor(QWidget& widget, const QColor& color);
// Fills the widget's background with color.
void SetBackground(QWidget& widget, const QColor& color);

} // namespace ecu
