// The setup page: its two port states, the port map, the line speed, the delay,
// the graph choices, the working modes and a bad baud rate.
#include "WindowHarness.h"

#include "serial/Comm32.h"
#include "session/Messages.h"
#include "session/SessionState.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QTest>

namespace ecu::wintest {
namespace {

class SetupPage : public WindowTest {
protected:
    const char* const portControls[5] = {"RadioGroupPort", "SpinEditDelay", "ButtonOpenPort",
                                         "ComboBoxBoudRate", "ComboBoxTypEngie"};

    void ExpectClosedState() {
        EXPECT_FALSE(window->Ecu().Comm().Connected());
        for (const char* name : portControls)
            EXPECT_TRUE(Find(name)->isEnabled()) << name;
        EXPECT_FALSE(Find("ButtonStop")->isEnabled());
        EXPECT_FALSE(Find("BitBtnStart")->isEnabled());
        EXPECT_EQ(IndicatorColour(), QColor(255, 0, 0));
    }
    void ExpectOpenState() {
        EXPECT_TRUE(window->Ecu().Comm().Connected());
        for (const char* name : portControls)
            EXPECT_FALSE(Find(name)->isEnabled()) << name;
        EXPECT_TRUE(Find("ButtonStop")->isEnabled());
        EXPECT_TRUE(Find("BitBtnStart")->isEnabled());
        EXPECT_EQ(IndicatorColour(), QColor(0, 255, 0));
    }
};

TEST_F(SetupPage, ClosePortAndOpenPortSwitchTheTwoStates) {
    StartSim();
    TGlForm& w = CreateWindow();
    ShowPage(PageSetup);
    Click("RadioButtonRegim1");
    dialogs.saveAnswers.push_back(QString::fromStdString(TempPath("kept.bin")));
    Click("SpeedButtonSaveFile");
    ExpectOpenState();

    Click("ButtonStop");
    ExpectClosedState();
    EXPECT_TRUE(w.Ecu().State().Flags.RecordArmed); // unlike the footer's Stop
    Click("ButtonStop");                            // closed already: nothing happens
    ExpectClosedState();

    Click("ButtonOpenPort");
    ExpectOpenState();
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
}

TEST_F(SetupPage, Com2IsReachedThroughThePortMap) {
    StartSim(); // COM1
    EcuSimulator second(FastSim());
    second.Start();
    LinkPort("COM2", second.SlavePath());
    TGlForm& w = CreateWindow();

    Click("ButtonStop");
    Click("RadioButtonCOM2");
    EXPECT_EQ(w.Ecu().State().PortName, QStringLiteral("COM2"));
    Click("ButtonOpenPort");
    ExpectOpenState();

    const auto firstRequests = sim.DataRequests();
    ShowPage(PageParameters);
    When([&] { return second.DataRequests() >= 2; }, [this] { Click("BitBtnStop"); });
    RunStart();
    EXPECT_GE(second.DataRequests(), 2u);
    EXPECT_EQ(sim.DataRequests(), firstRequests);
    window.reset(); // before the second simulator goes
}

TEST_F(SetupPage, TheChosenBaudRateIsAppliedToTheOpenPort) {
    StartSim();
    TGlForm& w = CreateWindow();
    Click("ButtonStop");
    auto* rate = Find<QComboBox>("ComboBoxBoudRate");
    rate->setFocus();
    QTest::keyClick(rate, Qt::Key_Down);
    QTest::keyClick(rate, Qt::Key_Down);
    ASSERT_EQ(rate->currentText(), QStringLiteral("10400"));
    Click("ButtonOpenPort");
    ExpectOpenState();
    EXPECT_EQ(w.Ecu().Comm().BaudRate(), 10400u);
    EXPECT_EQ(LineSpeed(sim.SlavePath()), 10400u);

    // A typed rate that is not in the list is taken as well.
    Click("ButtonStop");
    TypeText("ComboBoxBoudRate", QStringLiteral("4800"));
    Click("ButtonOpenPort");
    EXPECT_EQ(LineSpeed(sim.SlavePath()), 4800u);
}

TEST_F(SetupPage, BadBaudRateTextIsReportedAndThePortStaysClosed) {
    StartSim();
    TGlForm& w = CreateWindow(Delay::StartUp);
    Click("ButtonStop");
    for (const char* bad : {"", "0", "4000001", "9999999"}) {
        SCOPED_TRACE(bad);
        boxes.boxes.clear();
        TypeText("ComboBoxBoudRate", QString::fromLatin1(bad));
        Click("ButtonOpenPort");
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].caption, QString::fromUtf8(text::ApplicationTitle));
        EXPECT_EQ(boxes.boxes[0].text,
                  QStringLiteral("Скорость передачи «%1» недопустима: нужно целое число от 1 "
                                 "до 4000000")
                      .arg(QString::fromLatin1(bad)));
        EXPECT_EQ(boxes.boxes[0].icon, MessageIcon::Error);
        ExpectClosedState();
        EXPECT_EQ(w.Ecu().State().PollDelay, StartUpPollDelayMs);
    }
    // Letters cannot even be typed.
    TypeText("ComboBoxBoudRate", QStringLiteral("96x00"));
    EXPECT_EQ(Find<QComboBox>("ComboBoxBoudRate")->currentText(), QStringLiteral("9600"));
    boxes.boxes.clear();
    Click("ButtonOpenPort");
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
    ExpectOpenState();
    EXPECT_EQ(LineSpeed(sim.SlavePath()), 9600u);
}

TEST_F(SetupPage, ANewDelayTakesEffectAtTheNextOpening) {
    StartSim();
    TGlForm& w = CreateWindow(Delay::StartUp);
    EXPECT_FALSE(Find("SpinEditDelay")->isEnabled());
    Click("ButtonStop");
    TypeText("SpinEditDelay", QStringLiteral("150"));
    EXPECT_EQ(w.Ecu().State().PollDelay, StartUpPollDelayMs);
    Click("ButtonOpenPort");
    EXPECT_EQ(w.Ecu().State().PollDelay, 150);
}

TEST_F(SetupPage, TheDelayBoxKeepsItsRange) {
    StartSim();
    CreateWindow();
    Click("ButtonStop");
    auto* delay = Find<QSpinBox>("SpinEditDelay");
    TypeText("SpinEditDelay", QString());
    EXPECT_EQ(delay->value(), 50);
    TypeText("SpinEditDelay", QStringLiteral("30"));
    EXPECT_EQ(delay->value(), 50);
    TypeText("SpinEditDelay", QStringLiteral("120"));
    delay->setFocus();
    QTest::keyClick(delay, Qt::Key_Up);
    EXPECT_EQ(delay->value(), 130);
    TypeText("SpinEditDelay", QStringLiteral("200"));
    QTest::keyClick(delay, Qt::Key_Up);
    EXPECT_EQ(delay->value(), 200);
}

// Leaving the box with Tab, as a mechanic does: what is left in it counts, not what
// was there before.
TEST_F(SetupPage, TheDelayLeftWithTabIsWhatTheBoxHolds) {
    StartSim();
    CreateWindow(Delay::StartUp);
    Click("ButtonStop");
    auto* delay = Find<QSpinBox>("SpinEditDelay");
    auto* edit = delay->findChild<QLineEdit*>();
    const std::pair<const char*, int> cases[] = {{"", 50}, {"3", 50}, {"170", 170}, {"1", 50}};
    for (const auto& [typed, expected] : cases) {
        SCOPED_TRACE(typed);
        delay->setValue(120);
        delay->setFocus();
        QTest::keyClick(edit, Qt::Key_End);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, QString::fromLatin1(typed));
        QTest::keyClick(edit, Qt::Key_Tab);
        EXPECT_FALSE(delay->hasFocus());
        EXPECT_EQ(delay->value(), expected);
        EXPECT_EQ(delay->text(), QString::number(expected));
    }
}

TEST_F(SetupPage, ChangeUnlocksTheGraphChoicesAndAcceptLocksThem) {
    StartSim();
    CreateWindow();
    const char* const graphs[] = {"ComboBoxGraph1", "ComboBoxGraph2", "ComboBoxGraph3",
                                  "ComboBoxGraph4"};
    for (const char* name : graphs)
        EXPECT_FALSE(Find(name)->isEnabled()) << name;
    EXPECT_FALSE(Find("ButtonAccept")->isEnabled());

    Click("ButtonChange");
    for (const char* name : graphs)
        EXPECT_TRUE(Find(name)->isEnabled()) << name;
    auto* first = Find<QComboBox>("ComboBoxGraph1");
    EXPECT_FALSE(first->isEditable()); // list choices only
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Down);
    EXPECT_EQ(first->currentIndex(), 6);
    Click("ButtonAccept");
    for (const char* name : graphs)
        EXPECT_FALSE(Find(name)->isEnabled()) << name;
    EXPECT_FALSE(Find("ButtonAccept")->isEnabled());
    EXPECT_EQ(first->currentText(), QStringLiteral("Скорость движения а/м"));
}

TEST_F(SetupPage, EachWorkingModeEnablesItsFileButtonAndClearsWhatItMust) {
    StartSim();
    TGlForm& w = CreateWindow();
    const SessionFlags& flags = w.Ecu().State().Flags;
    // A finished playback leaves the bar, its labels and the file name shown.
    dialogs.openAnswers.push_back(QString::fromStdString(WriteRecording("two.bin", 2)));
    Click("SpeedButtonOpenFile");
    RunStart();
    ASSERT_TRUE(Find("ProgressBarPlayFile")->isVisible());

    Click("RadioButtonRegim1");
    EXPECT_TRUE(Find("SpeedButtonSaveFile")->isEnabled());
    EXPECT_FALSE(Find("SpeedButtonOpenFile")->isEnabled());
    for (const char* hidden : {"ProgressBarPlayFile", "PanelFoother/Label8", "PanelFoother/Label1"})
        EXPECT_TRUE(Find(hidden)->isHidden()) << hidden;
    EXPECT_EQ(Find<QLabel>("LabelNameFile")->text(), QStringLiteral("Чтение файла two.bin"));
    EXPECT_FALSE(flags.PlaybackArmed);

    dialogs.saveAnswers.push_back(QString::fromStdString(TempPath("rec.bin")));
    Click("SpeedButtonSaveFile");
    ASSERT_TRUE(flags.RecordArmed);
    w.Ecu().State().Flags.RecordingActive = true; // as after a recorded cycle

    Click("RadioButtonRegim0");
    EXPECT_FALSE(Find("SpeedButtonSaveFile")->isEnabled());
    EXPECT_FALSE(Find("SpeedButtonOpenFile")->isEnabled());
    EXPECT_TRUE(Find<QLabel>("LabelNameFile")->text().isEmpty());
    EXPECT_FALSE(flags.RecordingActive);
    EXPECT_TRUE(flags.RecordArmed); // no mode touches it

    w.Ecu().State().Flags.RecordingActive = true;
    Click("RadioButtonRegim2");
    EXPECT_FALSE(Find("SpeedButtonSaveFile")->isEnabled());
    EXPECT_TRUE(Find("SpeedButtonOpenFile")->isEnabled());
    EXPECT_FALSE(flags.RecordingActive);
    EXPECT_TRUE(flags.RecordArmed);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
}

} // namespace
} // namespace ecu::wintest
