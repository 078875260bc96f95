// Enter and Esc press Start and Stop wherever the focus is, unless what has the focus
// takes the key itself: an open list, an editor, a dialog.
#include "WindowHarness.h"

#include "serial/Comm32.h"
#include "session/Session.h"

#include <QComboBox>
#include <QMessageBox>
#include <QTimer>

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
