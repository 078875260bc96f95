// Window test entry: a widget application with the program's own look.
#include "app/Application.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Window tests never need a display (test discovery runs without one, too).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ecu::SetUpApplication(app);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
