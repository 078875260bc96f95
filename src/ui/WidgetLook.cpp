#include "ui/WidgetLook.h"

#include <QPalette>
#include <QWidget>

namespace ecu {

namespace {
void ApplyStyle(QFont& font, unsigned style) {
    font.setBold((style & Bold) != 0);
    font.setItalic((style & Italic) != 0);
}
} // namespace

void SetPixelFont(QWidget& widget, const char* family, int pixels, unsigned style) {
    QFont font(QString::fromUtf8(family));
    font.setPixelSize(pixels);
    ApplyStyle(font, style);
    widget.setFont(font);
}

void SetFontStyle(QWidget& widget, unsigned style) {
    QFont font = widget.font();
    ApplyStyle(font, style);
    widget.setFont(font);
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
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, color);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

} // namespace ecu
