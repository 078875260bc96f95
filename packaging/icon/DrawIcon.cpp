// Draws the program's icon, a gauge on a dark tile with the diagnostic line's pulse, at every
// size desktops ask for. The PNGs are committed under packaging/icons; draw them again after
// changing the drawing:
//   cmake --build build --target ecuscan-icon && build/ecuscan-icon packaging/icons
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <cstdio>

namespace {

// The drawing is made on a 256-unit square and scaled; below 32 pixels the fine parts (ticks,
// pulse) would only blur, so the small sizes leave them out and draw the rest bolder.
constexpr double kUnits = 256;

// A point on the gauge's circle: `at` runs from 0 (lowest reading) to 1 (highest).
QPointF OnDial(QPointF centre, double radius, double at) {
    const double degrees = 225 - 270 * at;
    const double rad = qDegreesToRadians(degrees);
    return {centre.x() + radius * std::cos(rad), centre.y() - radius * std::sin(rad)};
}

void DrawTile(QPainter& p) {
    QLinearGradient fill(0, 8, 0, 248);
    fill.setColorAt(0, QColor(0x27, 0x4c, 0x77));
    fill.setColorAt(1, QColor(0x0f, 0x22, 0x3a));
    p.setPen(QPen(QColor(0x5b, 0x8d, 0xc4), 4));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(10, 10, 236, 236), 44, 44);
}

void DrawDial(QPainter& p, bool fine) {
    const QPointF centre(128, 140);
    const double radius = 86;
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    const double width = fine ? 14 : 24;
    // Qt counts arcs in 1/16 degree, anticlockwise from three o'clock.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xf1, 0xf4, 0xf8), width, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(box, 225 * 16, -220 * 16);
    p.setPen(QPen(QColor(0xe6, 0x39, 0x46), width, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(box, 5 * 16, -50 * 16);
    if (fine) {
        p.setPen(QPen(QColor(0xf1, 0xf4, 0xf8), 6, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i <= 8; ++i) {
            const double at = i / 8.0;
            p.drawLine(OnDial(centre, radius - 16, at), OnDial(centre, radius - 32, at));
        }
    }
    // The needle, well up the scale: an engine running.
    p.setPen(QPen(QColor(0xff, 0xb7, 0x03), fine ? 12 : 22, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, OnDial(centre, radius - (fine ? 22 : 18), 0.68));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf1, 0xf4, 0xf8));
    p.drawEllipse(centre, fine ? 16 : 24, fine ? 16 : 24);
}

// The one-wire line's traffic: a few square pulses under the needle's hub.
void DrawPulse(QPainter& p) {
    QPainterPath line;
    const double base = 208, high = 186;
    line.moveTo(84, base);
    double x = 100;
    line.lineTo(x, base);
    for (const double w : {10.0, 6.0, 14.0, 6.0}) {
        line.lineTo(x, high);
        line.lineTo(x + w, high);
        line.lineTo(x + w, base);
        x += w + 8;
        line.lineTo(x, base);
    }
    line.lineTo(172, base);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x8a, 0xe2, 0x34), 6, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.drawPath(line);
}

QImage DrawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kUnits, size / kUnits);
    const bool fine = size >= 32;
    DrawTile(p);
    DrawDial(p, fine);
    if (fine)
        DrawPulse(p);
    p.end();
    return image;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ecuscan-icon ICON_DIR\n"
                             "Writes ICON_DIR/hicolor/NxN/apps/ecuscan.png for every size.\n");
        return 2;
    }
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const QString folder =
            QStringLiteral("%1/hicolor/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(folder) ||
            !DrawIcon(size).save(folder + QStringLiteral("/ecuscan.png"), "PNG")) {
            std::fprintf(stderr, "ecuscan-icon: cannot write %s/ecuscan.png\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
