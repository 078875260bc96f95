#pragma once
#include <QImage>

namespace artwork {

inline constexpr int AboutWidth = 1411;
inline constexpr int AboutHeight = 678;

// The about page's picture: a dashboard with a tachometer, a temperature gauge and
// live traces over a grid, under the program's name.
QImage DrawAboutPicture();

} // namespace artwork
