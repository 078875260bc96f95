// Test entry with a widget application: the page is made of real widgets.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Headless by default, also when ctest lists the tests at build time.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The program's own style, whose bars come in blocks unless the page says otherwise.
    QApplication::setStyle(QStringLiteral("Windows"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
