#pragma once
// The footer's 16 x 16 button glyphs, each in a normal and a disabled look.
#include <QImage>
#include <QString>

#include <vector>

namespace artwork {

struct Glyph {
    QString name; // file name without extension
    QImage image;
};

// start and stop, each followed by its "-disabled" twin.
std::vector<Glyph> DrawGlyphs();

} // namespace artwork
