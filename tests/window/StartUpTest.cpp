// Start-up of the main window, with and without a port to open.
#include "ChildProcess.h"
#include "WindowHarness.h"

#include "serial/Comm32.h"
#include "session/Messages.h"
#include "session/SessionState.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

namespace ecu::wintest {
namespace {

class StartUp : public WindowTest {};

const QColor Green(0, 255, 0);
const QColor Red(255, 0, 0);

TEST_F(StartUp, WithAWorkingPortOpensItAndShowsTheAboutPage) {
    StartSim();
    TGlForm& w = CreateWindow(Delay::StartUp);

    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("ЭБУ-Сканер 2.0.1"));
    EXPECT_EQ(w.size(), QSize(632, 423));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_EQ(Find<QTabWidget>("GlPageControl")->currentWidget()->objectName(),
              QStringLiteral("TabSheetAbout"));
    EXPECT_EQ(w.Host().ActivePageIndex(), PageAbout);
    EXPECT_EQ(IndicatorColour(), Green);
    EXPECT_TRUE(Find("BitBtnStart")->isEnabled());
    EXPECT_TRUE(w.Ecu().Comm().Connected());
    EXPECT_EQ(w.Ecu().State().PollDelay, StartUpPollDelayMs);
    EXPECT_EQ(w.Ecu().State().PortName, QStringLiteral("COM1"));
    EXPECT_EQ(LineSpeed(sim.SlavePath()), 8200u);
    EXPECT_FALSE(w.Ecu().State().Flags.RecordArmed || w.Ecu().State().Flags.PlaybackArmed ||
                 w.Ecu().State().Flags.RecordingActive);

    // The setup page's defaults, read from its controls.
    EXPECT_EQ(Find<QComboBox>("ComboBoxGraph1")->currentText(),
              QStringLiteral("Обороты двигателя"));
    EXPECT_EQ(Find<QComboBox>("ComboBoxGraph2")->currentIndex(), 0);
    EXPECT_EQ(Find<QComboBox>("ComboBoxGraph3")->currentIndex(), 2);
    EXPECT_EQ(Find<QComboBox>("ComboBoxGraph4")->currentText(),
              QStringLiteral("Положение дроссельной заслонки  %"));
    EXPECT_EQ(Find<QComboBox>("ComboBoxBoudRate")->currentText(), QStringLiteral("8200"));
    EXPECT_EQ(Find<QSpinBox>("SpinEditDelay")->value(), StartUpPollDelayMs);
    EXPECT_EQ(Find<QComboBox>("ComboBoxTypEngie")->currentText(), QStringLiteral("SOHC"));
    EXPECT_TRUE(Find<QAbstractButton>("RadioButtonCOM1")->isChecked());
    EXPECT_TRUE(Find<QAbstractButton>("RadioButtonRegim2")->isChecked());
    EXPECT_TRUE(Find("SpeedButtonOpenFile")->isEnabled());
    EXPECT_FALSE(Find("SpeedButtonSaveFile")->isEnabled());
    EXPECT_FALSE(Find("ButtonOpenPort")->isEnabled());
    EXPECT_TRUE(Find("ButtonStop")->isEnabled());
    for (const char* hidden : {"ProgressBarPlayFile", "PanelFoother/Label8", "PanelFoother/Label1"})
        EXPECT_TRUE(Find(hidden)->isHidden()) << hidden;

    // The about picture went through the JPEG decoder.
    const QPixmap picture = Find<QLabel>("Image1")->pixmap();
    EXPECT_EQ(picture.size(), QSize(1411, 678));
}

TEST_F(StartUp, TheTabsComeInTheOrderTheSessionCountsThem) {
    StartSim();
    CreateWindow();
    auto* tabs = Find<QTabWidget>("GlPageControl");
    const char* const pages[][2] = {{"TabSheetInit", "Настройка"},
                                    {"TabSheetBoard", "Параметры"},
                                    {"TabSheetGraph", "Графики"},
                                    {"TabSheetControl", "Управление"},
                                    {"TabSheetAbout", "О программе"}};
    ASSERT_EQ(tabs->count(), 5);
    const char* const frames[] = {"FramePort1", "FrameParameter1", "FrameGraph1", "FrameManager1",
                                  "FrameAbout1"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(tabs->widget(i)->objectName(), QString::fromLatin1(pages[i][0]));
        EXPECT_EQ(tabs->tabText(i), QString::fromUtf8(pages[i][1]));
        EXPECT_NE(tabs->widget(i)->findChild<QWidget*>(QString::fromLatin1(frames[i])), nullptr)
            << frames[i];
    }
}

TEST_F(StartUp, WithoutAPortReportsWhyAndLeavesThePortChoicesFree) {
    TGlForm& w = CreateWindow(); // COM1 leads nowhere

    ASSERT_EQ(boxes.boxes.size(), 1u);
    const Box& box = boxes.boxes.front();
    EXPECT_EQ(box.caption, QString::fromUtf8(text::ApplicationTitle));
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("Error opening com port")))
        << box.text.toStdString();
    EXPECT_TRUE(box.text.contains(QStringLiteral("COM1 ("))) << box.text.toStdString();
    EXPECT_EQ(box.icon, MessageIcon::Error);
    EXPECT_EQ(w.Host().ActivePageIndex(), PageAbout);
    EXPECT_EQ(IndicatorColour(), Red);
    EXPECT_FALSE(w.Ecu().Comm().Connected());
    EXPECT_FALSE(Find("BitBtnStart")->isEnabled());
    // The closed-port state: another port, rate, delay or engine can be chosen.
    for (const char* free : {"RadioGroupPort", "ComboBoxBoudRate", "ComboBoxTypEngie",
                             "SpinEditDelay", "ButtonOpenPort"})
        EXPECT_TRUE(Find(free)->isEnabled()) << free;
    EXPECT_FALSE(Find("ButtonStop")->isEnabled());

    // A recording opened for playback: Start plays it.
    dialogs.openAnswers.push_back(QString::fromStdString(WriteRecording("three.bin", 3)));
    Click("SpeedButtonOpenFile");
    EXPECT_TRUE(Find("ButtonOpenPort")->isEnabled());
    EXPECT_EQ(Find<QLabel>("LabelNameFile")->text(), QStringLiteral("Чтение файла three.bin"));
    ASSERT_TRUE(Find("BitBtnStart")->isEnabled());
    RunStart();
    auto* progress = Find<QProgressBar>("ProgressBarPlayFile");
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->maximum(), 3);
    EXPECT_EQ(progress->value(), 3);
    EXPECT_TRUE(Find("PanelFoother/Label8")->isVisible() &&
                Find("PanelFoother/Label1")->isVisible());
    EXPECT_EQ(boxes.boxes.size(), 1u);

    // Another failed opening leaves Start to the armed file; the adapter on COM2 opens.
    Click("ButtonOpenPort");
    EXPECT_EQ(boxes.boxes.size(), 2u);
    EXPECT_TRUE(Find("ButtonOpenPort")->isEnabled());
    EXPECT_TRUE(Find("BitBtnStart")->isEnabled());
    StartSim(FastSim(), "COM2");
    Click("RadioButtonCOM2");
    Click("ButtonOpenPort");
    EXPECT_TRUE(w.Ecu().Comm().Connected());
    EXPECT_EQ(IndicatorColour(), Green);
    EXPECT_FALSE(Find("RadioGroupPort")->isEnabled());
    EXPECT_EQ(boxes.boxes.size(), 2u) << boxes.Shown();
}

// The toolkit's own dialogs and buttons speak the window's language.
TEST_F(StartUp, TheToolkitsOwnTextsAreRussian) {
    CreateWindow();
    QMessageBox question(QMessageBox::Question, QString(), QString(),
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    const std::pair<QMessageBox::StandardButton, const char*> buttons[] = {
        {QMessageBox::Yes, "Да"}, {QMessageBox::No, "Нет"}, {QMessageBox::Cancel, "Отмена"}};
    for (const auto& [button, text] : buttons)
        EXPECT_EQ(question.button(button)->text().remove(QLatin1Char('&')),
                  QString::fromUtf8(text));
    QFileDialog dialog(nullptr, QString(), QString(), QString());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    auto* box = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->button(QDialogButtonBox::Open)->text().remove(QLatin1Char('&')),
              QString::fromUtf8("Открыть"));
}

// Over SSH there is no display: the information options must not need one.
TEST(CommandLine, HelpAndVersionAnswerWithoutAnyDisplay) {
    test::ChildOptions noDisplay;
    noDisplay.env = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--version"}, "ecuscan 2.0.1\n"},
        {{"-v"}, "ecuscan 2.0.1\n"},
        {{"--help"}, "Engine control unit scanner for SOHC and DOHC engines."},
        {{"-h"}, "-v, --version"}};
    for (const auto& [args, expected] : cases) {
        const test::ChildResult r = test::RunChild(ECUSCAN_PATH, args, {}, noDisplay);
        EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
        EXPECT_NE(r.out.find(expected), std::string::npos) << r.out;
    }
}

} // namespace
} // namespace ecu::wintest
