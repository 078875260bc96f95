// Draws the control page's button glyphs: each a 16 x 16 normal image and its
// disabled counterpart, written as PNG files into the folder given. Run by the
// build, so the pictures always match this code.
//
//   ecu_draw_control_glyphs OUTDIR   -> OUTDIR/<name>.png, OUTDIR/<name>-disabled.png
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

namespace {

constexpr int kSize = 16;

QImage Canvas(const std::function<void(QPainter&)>& draw) {
    QImage image(kSize, kSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return image;
}

// The engine symbol of a check-engine lamp: block, intake on top, pulley and fan.
void CheckEngie(QPainter& p) {
    QPainterPath body;
    body.moveTo(3, 6);
    body.lineTo(6, 6);
    body.lineTo(6, 4);
    body.lineTo(10, 4);
    body.lineTo(10, 6);
    body.lineTo(12, 6);
    body.lineTo(12, 8);
    body.lineTo(14.5, 6.5);
    body.lineTo(14.5, 12.5);
    body.lineTo(12, 11);
    body.lineTo(12, 13);
    body.lineTo(5, 13);
    body.lineTo(3, 11);
    body.closeSubpath();
    body.addRect(1, 7.5, 2, 3);
    p.setPen(QPen(QColor(90, 50, 0), 1.0));
    p.setBrush(QColor(250, 170, 0));
    p.drawPath(body.simplified());
    p.setPen(QPen(QColor(90, 50, 0), 1.0));
    p.drawLine(QPointF(5, 3.5), QPointF(11, 3.5));
}

// A three-blade fan with its hub.
void Carlson(QPainter& p) {
    p.translate(8, 8);
    p.setPen(QPen(QColor(10, 40, 110), 0.8));
    p.setBrush(QColor(40, 120, 230));
    for (int blade = 0; blade < 3; ++blade) {
        QPainterPath b;
        b.moveTo(0, 0);
        b.cubicTo(2.5, -2.0, 6.5, -3.5, 7.0, -1.0);
        b.cubicTo(6.0, 1.0, 3.0, 1.5, 0, 0);
        p.drawPath(b);
        p.rotate(120);
    }
    p.setBrush(QColor(230, 230, 230));
    p.drawEllipse(QPointF(0, 0), 2.0, 2.0);
}

// A list of stored codes struck out.
void ClearDtc(QPainter& p) {
    p.setPen(QPen(QColor(70, 70, 70), 1.0));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 1.5, 9, 12));
    p.setPen(QPen(QColor(40, 40, 160), 1.0));
    for (int row = 0; row < 4; ++row)
        p.drawLine(QPointF(4.5, 4 + row * 2.5), QPointF(9.5, 4 + row * 2.5));
    p.setPen(QPen(QColor(220, 20, 20), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 8), QPointF(14, 14));
    p.drawLine(QPointF(14, 8), QPointF(8, 14));
}

// A circular arrow: start again.
void RezetBlm(QPainter& p) {
    const QColor green(0, 140, 40);
    p.setPen(QPen(green, 2.0, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    const QRectF ring(2.5, 2.5, 11, 11);
    p.drawArc(ring, 60 * 16, 270 * 16);
    // Arrow head at the arc's start (60 degrees), pointing along the turn.
    const double a = 60.0 * std::numbers::pi / 180.0;
    const QPointF tip(8 + 5.5 * std::cos(a), 8 - 5.5 * std::sin(a));
    p.setPen(Qt::NoPen);
    p.setBrush(green);
    p.drawPolygon(
        QPolygonF({tip + QPointF(-3.8, -1.6), tip + QPointF(1.6, -3.4), tip + QPointF(1.0, 2.6)}));
}

// The toolkit's disabled look: grey, lighter, same shape.
QImage Disabled(const QImage& normal) {
    QImage out = normal.copy();
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            const QColor c = out.pixelColor(x, y);
            const int grey = 128 + qGray(c.rgb()) / 2;
            out.setPixelColor(x, y, QColor(grey, grey, grey, c.alpha()));
        }
    }
    return out;
}

bool Write(const QDir& dir, const char* name, const std::function<void(QPainter&)>& draw) {
    const QImage normal = Canvas(draw);
    const QString base = dir.filePath(QString::fromLatin1(name));
    return normal.save(base + QStringLiteral(".png")) &&
           Disabled(normal).save(base + QStringLiteral("-disabled.png"));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: ecu_draw_control_glyphs OUTDIR\n", stderr);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    const bool ok = Write(dir, "checkengie", CheckEngie) && Write(dir, "carlson", Carlson) &&
                    Write(dir, "cleardtc", ClearDtc) && Write(dir, "rezetblm", RezetBlm);
    if (!ok) {
        std::fprintf(stderr, "cannot write the glyphs into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
