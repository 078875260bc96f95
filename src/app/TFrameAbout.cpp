#include "app/TFrameAbout.h"

#include "app/JpegImage.h"
#include "ui/WidgetLook.h"
#include "ui_TFrameAbout.h"

#include <QFile>
#include <QPixmap>

namespace ecu {

namespace {
QByteArray ReadResource(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

TFrameAbout::TFrameAbout(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TFrameAbout>()) {
    ui_->setupUi(this);
    // Stretched to the image area, as the picture is wider than the page.
    ui_->Image1->setPixmap(
        QPixmap::fromImage(DecodeJpeg(ReadResource(QStringLiteral(":/about/about.jpg")))));

    SetBackground(*ui_->Panel2, palette().color(QPalette::ButtonText));
    // Colours are the form's; fonts are set here, as forms know point sizes only.
    for (QLabel* text : {ui_->StaticText1, ui_->StaticText2, ui_->StaticText3, ui_->StaticText4})
        SetPixelFont(*text, "Times New Roman", 13, Bold | Italic);
}

TFrameAbout::~TFrameAbout() = default;

} // namespace ecu
