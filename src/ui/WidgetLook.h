#pragma once
// Small helpers that give the pages' controls the colours and fonts of the forms:
// colours are given as 0x00BBGGRR numbers (red in the low byte), font heights in
// pixels.
#include <QColor>

#include <cstdint>

class QWidget;

namespace ecu {

// 0x00BBGGRR -> QColor.
constexpr QColor BgrColor(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

// Colours the forms use, as BGR numbers.
inline constexpr std::uint32_t BgrRed = 0x0000FF;
inline constexpr std::uint32_t BgrLime = 0x00FF00;
inline constexpr std::uint32_t BgrBlue = 0xFF0000;
inline constexpr std::uint32_t BgrTeal = 0x808000;
inline constexpr std::uint32_t BgrYellow = 0x00FFFF;
inline constexpr std::uint32_t BgrAqua = 0xFFFF00;

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
