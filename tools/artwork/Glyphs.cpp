#include "Glyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace artwork {

namespace {
constexpr int Size = 16;

QImage Blank() {
    QImage image(Size, Size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A right-pointing triangle: start polling.
QImage Start() {
    QImage image = Blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.moveTo(4, 2);
    path.lineTo(14, 8);
    path.lineTo(4, 14);
    path.closeSubpath();
    p.fillPath(path, QColor(0x1E, 0xA0, 0x32));
    p.setPen(QPen(QColor(0x0B, 0x5A, 0x18), 1));
    p.drawPath(path);
    return image;
}

// A square: stop.
QImage Stop() {
    QImage image = Blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(3.5, 3.5, 9, 9);
    p.setBrush(QColor(0xC8, 0x1E, 0x1E));
    p.setPen(QPen(QColor(0x70, 0x0A, 0x0A), 1));
    p.drawRoundedRect(box, 1.5, 1.5);
    return image;
}

// Grey, lighter and flatter: how a glyph looks on a disabled button.
QImage Disabled(const QImage& source) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(line[x]);
            const int light = 128 + grey / 2;
            line[x] = qRgba(light, light, light, qAlpha(line[x]) * 3 / 4);
        }
    }
    return image;
}
} // namespace

std::vector<Glyph> DrawGlyphs() {
    std::vector<Glyph> out;
    const std::pair<const char*, QImage> drawn[] = {{"start", Start()}, {"stop", Stop()}};
    for (const auto& [name, image] : drawn) {
        out.push_back({QString::fromLatin1(name), image});
        out.push_back({QString::fromLatin1(name) + QStringLiteral("-disabled"), Disabled(image)});
    }
    return out;
}

} // namespace artwork
