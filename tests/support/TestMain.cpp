// The entry of every test program that runs Qt. Each runs under its own port map whose
// COM1 and COM2 lead nowhere, whatever the user's map says; a test that needs a device
// links it in a map of its own.
#include "PortMap.h"

#if defined(ECU_TEST_WIDGETS)
#include <QApplication>
#else
#include <QCoreApplication>
#endif
#if defined(ECU_TEST_PROGRAM_LOOK)
#include "app/Application.h"

#include <QThreadPool>
#endif

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    const ecu::test::PortMap nowhere;
#if defined(ECU_TEST_WIDGETS)
    // Headless unless told otherwise, also when ctest lists the tests.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
#if defined(ECU_TEST_PROGRAM_LOOK)
    ecu::SetUpApplication(app);
#if defined(__SANITIZE_THREAD__)
    // Qt is not built with the thread sanitizer: its pooled threads' bookkeeping among
    // themselves (Qt Gui converts and scales larger images in slices on the global pool)
    // shows as races in frames that have no name to suppress. One pooled thread that never
    // expires leaves it none to race with.
    QThreadPool::globalInstance()->setExpiryTimeout(-1);
    QThreadPool::globalInstance()->setMaxThreadCount(1);
#endif
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
