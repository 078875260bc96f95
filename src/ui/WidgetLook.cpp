#include "ui/WidgetLook.h"

#include <QProgressBar>
#include <QWidget>

namespace ecu {

namespace {
void ApplyStyle(QFont& font, unsigned style) {
    font.setBold((style & Bold) != 0);
    font.setItalic((style & Italic) != 0);
    font.setUnderline((style & Underline) != 0);
}
} // namespace

QFont PixelFont(const char* family, int pixels, unsigned style) {
    QFont font(QString::fromUtf8(family));
    font.setPixelSize(pixels);
    ApplyStyle(font, style);
    return font;
}

void SetPixelFont(QWidget& widget, const char* family, int pixels, unsigned style) {
    widget.setFont(PixelFont(family, pixels, style));
}

void SetFontStyle(QWidget& widget, unsigned style) {
    QFont font = widget.font();
    ApplyStyle(font, style);
    widget.setFont(font);
}

void SetRoleColor(QWidget& widget, QPalette::ColorRole role, const QColor& color) {
    QPalette palette = widget.palette();
    palette.setColor(role, color);
    widget.setPalette(palette);
}

void SetTextColor(QWidget& widget, const QColor& color) {
    QPalette palette = widget.palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        palette.setColor(QPalette::Active, role, color);
        palette.setColor(QPalette::Inactive, role, color);
    }
    widget.setPalette(palette);
}

void SetBackground(QWidget& widget, const QColor& color) {
    SetRoleColor(widget, QPalette::Window, color);
    widget.setAutoFillBackground(true);
}

void SetSmoothBar(QProgressBar& bar) {
    bar.setStyleSheet(
        QStringLiteral("QProgressBar { border: 1px solid palette(mid); background: palette(base); }"
                       "QProgressBar::chunk { background: palette(highlight); }"));
}

} // namespace ecu
