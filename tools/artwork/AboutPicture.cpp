#include "AboutPicture.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace artwork {

namespace {
constexpr double Pi = std::numbers::pi;

void Background(QPainter& p) {
    QLinearGradient sky(0, 0, 0, AboutHeight);
    sky.setColorAt(0.0, QColor(0x0B, 0x1A, 0x33));
    sky.setColorAt(0.6, QColor(0x10, 0x2A, 0x4C));
    sky.setColorAt(1.0, QColor(0x05, 0x0C, 0x18));
    p.fillRect(0, 0, AboutWidth, AboutHeight, sky);
}

// A round gauge over 270 degrees: ticks, numbers (every labelStep divisions,
// counting in labelScale) and a needle at fraction of the scale.
void Gauge(QPainter& p, QPointF centre, double radius, int divisions, double fraction,
           const QString& unit, const QColor& accent, int labelStep, int labelScale) {
    QRadialGradient face(centre, radius);
    face.setColorAt(0.0, QColor(0x22, 0x2A, 0x36));
    face.setColorAt(0.92, QColor(0x10, 0x14, 0x1C));
    face.setColorAt(1.0, QColor(0x6A, 0x74, 0x82));
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawEllipse(centre, radius, radius);

    const double start = 225, sweep = 270; // degrees, counter-clockwise convention
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(static_cast<int>(radius * 0.13));
    font.setBold(true);
    p.setFont(font);
    for (int i = 0; i <= divisions; ++i) {
        const double a = (start - sweep * i / divisions) * Pi / 180;
        const QPointF dir(std::cos(a), -std::sin(a));
        const bool major = i % labelStep == 0;
        const bool red = i > divisions * 0.8;
        p.setPen(QPen(red ? QColor(0xE0, 0x30, 0x30) : QColor(0xE8, 0xEC, 0xF0), major ? 4 : 2));
        p.drawLine(centre + dir * radius * (major ? 0.78 : 0.84), centre + dir * radius * 0.9);
        if (major) {
            const QPointF at = centre + dir * radius * 0.64;
            p.drawText(QRectF(at.x() - 30, at.y() - 15, 60, 30), Qt::AlignCenter,
                       QString::number(i / labelStep * labelScale));
        }
    }
    font.setPixelSize(static_cast<int>(radius * 0.12));
    p.setFont(font);
    p.setPen(accent);
    p.drawText(QRectF(centre.x() - radius * 0.5, centre.y() + radius * 0.6, radius, radius * 0.25),
               Qt::AlignCenter, unit);

    const double a = (start - sweep * fraction) * Pi / 180;
    const QPointF tip = centre + QPointF(std::cos(a), -std::sin(a)) * radius * 0.86;
    p.setPen(QPen(accent, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, tip);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xC0, 0xC6, 0xD0));
    p.drawEllipse(centre, radius * 0.08, radius * 0.08);
}

// A scope screen with a grid and three traces.
void Scope(QPainter& p, const QRectF& area) {
    p.setPen(QPen(QColor(0x5A, 0x6A, 0x80), 3));
    p.setBrush(QColor(0x02, 0x10, 0x0A));
    p.drawRoundedRect(area, 10, 10);
    const QRectF screen = area.adjusted(14, 14, -14, -14);
    p.setPen(QPen(QColor(0x1A, 0x4A, 0x2A), 1));
    for (int i = 1; i < 10; ++i) {
        const double x = screen.left() + screen.width() * i / 10;
        p.drawLine(QPointF(x, screen.top()), QPointF(x, screen.bottom()));
    }
    for (int i = 1; i < 6; ++i) {
        const double y = screen.top() + screen.height() * i / 6;
        p.drawLine(QPointF(screen.left(), y), QPointF(screen.right(), y));
    }
    struct Trace {
        QColor colour;
        double level = 0, amplitude = 0, period = 1, phase = 0;
    };
    const Trace traces[] = {{QColor(0x40, 0xFF, 0x60), 0.30, 0.12, 0.9, 0.0},
                            {QColor(0xFF, 0xD0, 0x30), 0.58, 0.06, 2.3, 1.0},
                            {QColor(0x40, 0xD0, 0xFF), 0.80, 0.09, 0.35, 2.0}};
    for (const Trace& t : traces) {
        QPainterPath path;
        for (int x = 0; x <= static_cast<int>(screen.width()); x += 2) {
            const double u = x / screen.width();
            double v = t.level + t.amplitude * std::sin(2 * Pi * u / t.period * 3 + t.phase);
            v += 0.25 * t.amplitude * std::sin(2 * Pi * u * 23 + t.phase);
            const QPointF point(screen.left() + x, screen.top() + screen.height() * v);
            if (x == 0)
                path.moveTo(point);
            else
                path.lineTo(point);
        }
        p.setPen(QPen(t.colour, 3));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }
}

void Title(QPainter& p) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(86);
    font.setBold(true);
    font.setItalic(true);
    p.setFont(font);
    const QRectF band(0, 22, AboutWidth, 110);
    p.setPen(QColor(0, 0, 0, 160));
    p.drawText(band.translated(4, 4), Qt::AlignCenter, QStringLiteral("ЭБУ-Сканер"));
    p.setPen(QColor(0xF0, 0xF4, 0xFA));
    p.drawText(band, Qt::AlignCenter, QStringLiteral("ЭБУ-Сканер"));
    font.setPixelSize(34);
    font.setBold(false);
    p.setFont(font);
    p.setPen(QColor(0x9C, 0xC8, 0xF0));
    p.drawText(QRectF(0, 132, AboutWidth, 48), Qt::AlignCenter,
               QStringLiteral("диагностика двигателей SOHC и DOHC"));
}
} // namespace

QImage DrawAboutPicture() {
    QImage image(AboutWidth, AboutHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    Background(p);
    Title(p);
    Gauge(p, QPointF(230, 440), 200, 40, 0.34, QStringLiteral("об/мин x1000"),
          QColor(0xFF, 0x6A, 0x20), 5, 1);
    Gauge(p, QPointF(1185, 440), 190, 12, 0.62, QStringLiteral("°C"), QColor(0x40, 0xC0, 0xFF), 2,
          20);
    Scope(p, QRectF(460, 250, 490, 380));
    return image;
}

} // namespace artwork
