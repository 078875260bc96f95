// ecuscan: the diagnostic scanner's window.
#include "app/Application.h"
#include "app/TGlForm.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ecu::SetUpApplication(app);
    ecu::TGlForm window;
    window.show();
    return QApplication::exec();
}
