#include "app/Application.h"

#include <QApplication>
#include <QStyleFactory>

namespace ecu {

void SetUpApplication(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("ecuscan"));
    QApplication::setApplicationVersion(QStringLiteral("2.0.1"));
    // The forms place their controls to the pixel; the classic style draws group
    // box titles on the frame line and keeps controls at their given sizes.
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows")))
        app.setStyle(style);
}

} // namespace ecu
