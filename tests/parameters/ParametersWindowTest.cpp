// The parameters page inside the real main window, polling the in-process simulator:
// the texts of the car's values, the fault list between cycles, the ECU reset started
// from the page, and a recording played back onto the page.
#include "WindowHarness.h"

#include "ecu-sim/AnswerEncoder.h"
#include "session/Messages.h"
#include "ui/TFrameParameter.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>

#include <chrono>
#include <map>

namespace ecu::wintest {
namespace {

using Texts = std::map<QString, QString>;
using namespace std::chrono_literals;

class ParametersWindow : public WindowTest {
protected:
    TFrameParameter* Page() const { return Find<TFrameParameter>("FrameParameter1"); }

    // The control page has an edit of the same name as one of ours: look on this page.
    QString Text(const char* edit) const {
        auto* widget = Page()->findChild<QLineEdit*>(QString::fromLatin1(edit));
        EXPECT_NE(widget, nullptr) << edit;
        return widget ? widget->text() : QString();
    }

    int Bar(const char* bar) const {
        auto* widget = Page()->findChild<QProgressBar*>(QString::fromLatin1(bar));
        EXPECT_NE(widget, nullptr) << bar;
        return widget ? widget->value() : -1;
    }

    // Every edit of the page by name.
    Texts PageTexts() const {
        Texts texts;
        for (auto* edit : Page()->findChildren<QLineEdit*>())
            texts[edit->objectName()] = edit->text();
        return texts;
    }

    QStringList FaultLines() const {
        const QString text = Find<QPlainTextEdit>("MemoErrorWord")->toPlainText();
        return text.isEmpty() ? QStringList{} : text.split(QLatin1Char('\n'));
    }

    // Presses the footer's Stop in the middle of a wait once n requests have gone out, so
    // that the cycle under way has its whole answer.
    void StopMidWait(std::uint64_t n) {
        When(
            [this, n] {
                if (sim.DataRequests() < n)
                    return false;
                const auto frames = sim.Frames();
                return !frames.empty() &&
                       std::chrono::steady_clock::now() - frames.back().time > 30ms;
            },
            [this] { Click("BitBtnStop"); });
    }

    std::vector<QString> ResetBoxTexts() const {
        std::vector<QString> texts;
        for (const Box& box : boxes.boxes) {
            EXPECT_EQ(box.caption, QString::fromUtf8(text::ResetCaption));
            texts.push_back(box.text);
        }
        return texts;
    }
};

SimEngine Warm() {
    SimEngine e;
    e.coolantC = -0.25;     // byte 53
    e.intakeAirC = 1.25;    // byte 55
    e.rpm = 6375;           // byte 255; the ECU's calculated speed saturates at 1593.75
    e.idleTargetRpm = 12.5; // byte 2
    e.promId = 0x1234;
    e.runSeconds = 3600;
    return e;
}

SimEngine Extremes() {
    SimEngine e;
    e.coolantC = -39.25;   // byte 1
    e.intakeAirC = 151.25; // byte 255
    e.rpm = 25;
    e.idleTargetRpm = 6.25 * 255;
    e.runSeconds = 65535;
    e.promId = 7;
    return e;
}

TEST_F(ParametersWindow, ShowsTheCarsValuesAsTheyArrive) {
    StartSim();
    sim.HoldEngine(Warm());
    CreateWindow();
    ShowPage(PageParameters);
    Texts warm;
    AfterDataRequests(3, [&] {
        warm = PageTexts();
        sim.HoldEngine(Extremes());
    });
    StopMidWait(7);
    RunStart();
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();

    EXPECT_EQ(warm["EditTemperatureWater"], " -0.3");
    EXPECT_EQ(warm["EditTemperatureAir"], "  1.3");
    EXPECT_EQ(warm["EditRPMengine"], "6375");
    EXPECT_EQ(warm["EditRPMdesired"], "1594");
    EXPECT_EQ(warm["EditRPMdesiredIDLE"], " 13");
    EXPECT_EQ(warm["EditPromID"], "4660");
    EXPECT_EQ(warm["EditTimer"], "01:00");

    EXPECT_EQ(Text("EditTemperatureWater"), "-39.3");
    EXPECT_EQ(Text("EditTemperatureAir"), "151.3");
    EXPECT_EQ(Text("EditRPMengine"), "25");
    EXPECT_EQ(Text("EditRPMdesiredIDLE"), "1594");
    EXPECT_EQ(Text("EditPromID"), "7");
    EXPECT_EQ(Text("EditTimer"), "18:12");
    EXPECT_EQ(Bar("ProgressBarTemperatureAir"), 255);
    EXPECT_EQ(Bar("ProgressBarTemperatureWater"), 1);
    EXPECT_EQ(Text("EditFuelIntegrator"), "128");
}

TEST_F(ParametersWindow, DohcShowsZeroForWhatItsAnswerDoesNotCarry) {
    StartSim(FastSim(EngineVariant::Dohc));
    SimEngine e = Warm();
    e.throttlePct = 60;
    sim.HoldEngine(e);
    CreateWindow();
    ShowPage(PageSetup);
    Click("ButtonStop");
    Find<QComboBox>("ComboBoxTypEngie")->setCurrentIndex(VariantIndex(EngineVariant::Dohc));
    Click("ButtonOpenPort");
    ShowPage(PageParameters);
    StopMidWait(3);
    RunStart();
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();

    const std::pair<const char*, const char*> zeros[] = {
        {"EditThrottleAngle", "  0"},   {"EditRPMsec", "0"},
        {"EditRPMperiod", "0.0"},       {"EditINJwidth", " 0.0"},
        {"EditAirControlDesired", "0"}, {"EditAirControl", "0"},
        {"EditRPMdesired", "  0"},      {"EditRPMdesiredIDLE", "  0"},
        {"EditTimer", "00:00"},         {"EditFuelAirRatio", " 0.00"},
    };
    for (const auto& [edit, text] : zeros)
        EXPECT_EQ(Text(edit), QString::fromLatin1(text)) << edit;
    EXPECT_EQ(Bar("ProgressBarThrottleAngle"), 0);
    EXPECT_EQ(Text("EditTemperatureWater"), " -0.3");
    EXPECT_EQ(Text("EditRPMengine"), "6375");
}

TEST_F(ParametersWindow, FaultListIsASnapshotTakenWhenItOpens) {
    StartSim();
    sim.SetFaultBytes(0x81, 0x00);
    CreateWindow();
    ShowPage(PageParameters);
    QStringList opened;
    AfterDataRequests(3, [&] {
        Click("SpeedButtonError");
        opened = FaultLines();
        sim.SetFaultBytes(0x00, 0x02);
    });
    StopMidWait(6);
    RunStart();

    EXPECT_EQ(opened, (QStringList{QString::fromUtf8(TFrameParameter::FaultLine(0, 0)),
                                   QString::fromUtf8(TFrameParameter::FaultLine(0, 7))}));
    EXPECT_EQ(Text("EditError"), "0002");
    EXPECT_EQ(FaultLines(), opened); // later cycles leave the open list alone
    Click("SpeedButtonError");
    EXPECT_TRUE(Find("PanelErrorWord")->isHidden());
    EXPECT_TRUE(FaultLines().isEmpty());
    Click("SpeedButtonError");
    EXPECT_EQ(FaultLines(), QStringList{"Неидентифицированная пока ошибка 02Н "});
}

TEST_F(ParametersWindow, AcknowledgedResetFromThePageEndsInPolling) {
    StartSim();
    sim.HoldEngine(Warm());
    CreateWindow();
    ShowPage(PageParameters);
    // The values after the reset are the ones polled by the loop the reset ends in.
    boxes.whileOpen = [this](const Box& box) {
        if (box.text == QString::fromUtf8(text::ResetDone))
            sim.HoldEngine(Extremes());
    };
    StopMidWait(3);
    RunStart(20000, [this] { Click("BitBtnRezetECU"); });

    EXPECT_EQ(ResetBoxTexts(), (std::vector<QString>{QString::fromUtf8(text::ResetPrompt),
                                                     QString::fromUtf8(text::ResetDone)}));
    const SimCounts counts = sim.Counts();
    EXPECT_EQ(counts.resetRequests, 1u);
    EXPECT_EQ(counts.modeZero, 1u);
    EXPECT_GE(counts.dataRequests, 3u);
    EXPECT_EQ(Text("EditTimer"), "18:12");
    EXPECT_FALSE(window->Ecu().LoopRunning());
}

TEST_F(ParametersWindow, RefusedResetFromThePageStillEndsInPolling) {
    SimOptions options = FastSim();
    SimFaultRule refuse;
    refuse.fault = SimFault::Garbage; // the reset frame is the first frame the ECU sees
    refuse.cycles = {1};
    refuse.allFrames = true;
    options.faults = {refuse};
    StartSim(options);
    sim.HoldEngine(Warm());
    CreateWindow();
    ShowPage(PageParameters);
    StopMidWait(3);
    RunStart(20000, [this] { Click("BitBtnRezetECU"); });

    ASSERT_EQ(ResetBoxTexts(), (std::vector<QString>{QString::fromUtf8(text::ResetPrompt),
                                                     QString::fromUtf8(text::ResetFailed)}));
    EXPECT_EQ(boxes.boxes.back().icon, MessageIcon::Error);
    EXPECT_EQ(sim.Counts().modeZero, 0u);
    EXPECT_GE(sim.DataRequests(), 3u);
    EXPECT_EQ(Text("EditTemperatureWater"), " -0.3");
}

// Recorded in working mode 1, played back in mode 2: the page ends with the texts it
// showed live, and the progress bar at its end.
TEST_F(ParametersWindow, PlaybackShowsWhatWasShownLive) {
    SimOptions options = FastSim();
    options.timeScale = 40; // run time and warm-up move from cycle to cycle
    StartSim(options);
    sim.HoldEngine(Warm());
    CreateWindow();
    const QString recording = QString::fromStdString(TempPath("live.bin"));
    Click("RadioButtonRegim1");
    dialogs.saveAnswers.push_back(recording);
    Click("SpeedButtonSaveFile");
    ShowPage(PageParameters);
    AfterDataRequests(4, [this] { sim.ReleaseEngine(); });
    StopMidWait(9);
    RunStart();
    ASSERT_TRUE(boxes.boxes.empty()) << boxes.Shown();
    const Texts live = PageTexts();
    ASSERT_NE(live.at("EditTemperatureWater"), " -0.3");

    Click("RadioButtonRegim2");
    dialogs.openAnswers.push_back(recording);
    Click("SpeedButtonOpenFile");
    auto* progress = Find<QProgressBar>("ProgressBarPlayFile");
    Texts first;
    When([&] { return progress->value() > 0; }, [&] { first = PageTexts(); });
    RunStart();

    EXPECT_EQ(first.at("EditTemperatureWater"), " -0.3"); // the recording's early cycles
    EXPECT_EQ(PageTexts(), live);
    EXPECT_EQ(progress->value(), progress->maximum());
    EXPECT_GT(progress->maximum(), 0);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
}

} // namespace
} // namespace ecu::wintest
