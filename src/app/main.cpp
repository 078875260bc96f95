// ecuscan: the diagnostic scanner's window.
#include "app/Application.h"
#include "app/TGlForm.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv) {
    // --help and --version answer before the window's application object, which needs a
    // display, is built: they work over SSH too.
    if (const auto status = ecu::AnswerInformationOptions(argc, argv))
        return *status;
    QApplication app(argc, argv);
    ecu::SetUpApplication(app);
    // Anything else the options hold is refused here, before the window opens the port.
    QCommandLineParser options;
    ecu::DescribeOptions(options);
    options.process(app);
    ecu::TGlForm window;
    window.show();
    if (const QStringList files = options.positionalArguments(); !files.isEmpty())
        window.OpenRecording(files.constFirst());
    return QApplication::exec();
}
