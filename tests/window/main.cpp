// Window test entry: a widget application with the program's own look.
#include "app/Application.h"

#include <QApplication>
#include <QThreadPool>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Window tests never need a display (test discovery runs without one, too).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ecu::SetUpApplication(app);
#if defined(__SANITIZE_THREAD__)
    // Qt is not built with the thread sanitizer: its pooled threads' bookkeeping among
    // themselves (Qt Gui converts and scales larger images in slices on the global pool)
    // shows as races in frames that have no name to suppress. One pooled thread that never
    // expires leaves it none to race with.
    QThreadPool::globalInstance()->setExpiryTimeout(-1);
    QThreadPool::globalInstance()->setMaxThreadCount(1);
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
