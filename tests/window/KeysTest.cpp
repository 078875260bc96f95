// Enter and Esc press Start and Stop wherever the focus is, unless what has the focus
// takes the key itself: an open list, an editor, a dialog.
#include "WindowHarness.h"

#include "serial/Comm32.h"
#include "session/Session.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace ecu::wintest {
namespace {

class Keys : public WindowTest {
protected:
    // A session started by mistake is stopped at once and remembered.
    void CatchStarts() {
        When([this] { return window->Ecu().LoopRunning(); },
             [this] {
                 started = true;
                 window->Ecu().Comm().CloseComm();
             });
    }
    // The graph box's list, opened as a click on its arrow opens it.
    QWidget* OpenList(const char* box) {
        auto* combo = Find<QComboBox>(box);
        combo->setFocus();
        combo->showPopup();
        QWidget* popup = combo->view()->window();
        EXPECT_TRUE(WaitUntil([popup] { return popup->isVisible(); }, 2000));
        return popup;
    }
    // A key as the window system delivers it, to the window that has the input.
    static void SystemKey(QWidget* window, Qt::Key key) {
        QTest::keyClick(window->windowHandle(), key);
        QApplication::processEvents();
    }
    bool started = false;
};

TEST_F(Keys, AnOpenListKeepsEnterAndEscForItself) {
    StartSim();
    TGlForm& w = CreateWindow();
    CatchStarts();
    ShowPage(PageSetup);
    Click("ButtonChange");

    QWidget* popup = OpenList("ComboBoxGraph3");
    SystemKey(popup, Qt::Key_Down);
    SystemKey(popup, Qt::Key_Return);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(Find<QComboBox>("ComboBoxGraph3")->currentIndex(), 3);
    test::PumpEvents(50);
    EXPECT_FALSE(started) << "Enter in the list pressed Start";
    ASSERT_TRUE(w.Ecu().Comm().Connected());

    popup = OpenList("ComboBoxGraph3");
    SystemKey(popup, Qt::Key_Escape);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_TRUE(w.Ecu().Comm().Connected()) << "Esc in the list pressed Stop";

    // A dialog over the window keeps its keys too.
    QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Ok, &w);
    QTimer::singleShot(0, &box, [&box] { SystemKey(&box, Qt::Key_Escape); });
    box.exec();
    EXPECT_TRUE(w.Ecu().Comm().Connected()) << "Esc in a dialog pressed Stop";

    // With the list closed, the keys are the window's again.
    SystemKey(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.Ecu().Comm().Connected());
}

} // namespace
} // namespace ecu::wintest
