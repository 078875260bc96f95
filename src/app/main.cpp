// ecuscan: the diagnostic scanner's window.
#include "app/Application.h"
#include "app/TGlForm.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ecu::SetUpApplication(app);
    // --version and --help answer and exit before the window opens the port.
    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("Engine control unit scanner for SOHC and DOHC engines."));
    options.addHelpOption();
    options.addVersionOption();
    options.process(app);
    ecu::TGlForm window;
    window.show();
    return QApplication::exec();
}
