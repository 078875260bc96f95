#pragma once
// Colours are given as 0x00BBGGRR numbers (red in the low byte), the form the pages'
// designs use; this turns them into QColor in one place.
#include <QColor>

#include <cstdint>

namespace ecu {

inline QColor BgrColor(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFFu), static_cast<int>((bgr >> 8) & 0xFFu),
                  static_cast<int>((bgr >> 16) & 0xFFu));
}

// The named colours the pages use, in the same notation.
namespace bgr {
inline constexpr std::uint32_t Black = 0x000000;
inline constexpr std::uint32_t Red = 0x0000FF;
inline constexpr std::uint32_t Lime = 0x00FF00;
inline constexpr std::uint32_t Green = 0x008000;
inline constexpr std::uint32_t Blue = 0xFF0000;
inline constexpr std::uint32_t Navy = 0x800000;
inline constexpr std::uint32_t Teal = 0x808000;
inline constexpr std::uint32_t Yellow = 0x00FFFF;
inline constexpr std::uint32_t Aqua = 0xFFFF00;
inline constexpr std::uint32_t Silver = 0xC0C0C0;
inline constexpr std::uint32_t Gray = 0x808080;
inline constexpr std::uint32_t White = 0xFFFFFF;
} // namespace bgr

} // namespace ecu
