// The footer: Start and Stop with the mouse and the keys, Stop's effect on the
// file modes, and Exit while a session runs.
#include "WindowHarness.h"

#include "serial/Comm32.h"
#include "session/LinkSession.h"
#include "session/Session.h"
#include "session/SessionState.h"
#include "wire/Frames.h"

#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <map>

namespace ecu::wintest {
namespace {

class Footer : public WindowTest {
protected:
    // Whether the running cycle's answer is complete in the receive buffer.
    bool AnswerIn() const { return window->Ecu().State().RxBuffer.size() >= 68; }
};

TEST_F(Footer, EnterStartsPollingAndEscStopsIt) {
    StartSim();
    TGlForm& w = CreateWindow();
    ShowPage(PageParameters);
    When([this] { return sim.DataRequests() >= 3 && AnswerIn(); },
         [this] { PressKey(Qt::Key_Escape); });
    RunStart(20000, [this] { PressKey(Qt::Key_Return); });

    EXPECT_GE(sim.DataRequests(), 3u);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
    EXPECT_FALSE(w.Ecu().Comm().Connected());
    EXPECT_EQ(IndicatorColour(), QColor(255, 0, 0));
    EXPECT_FALSE(Find("BitBtnStart")->isEnabled());
    EXPECT_TRUE(Find("ButtonOpenPort")->isEnabled());

    // Enter with the port closed starts nothing.
    const auto requests = sim.DataRequests();
    PressKey(Qt::Key_Return);
    EXPECT_EQ(sim.DataRequests(), requests);
}

// Answers that do not decode show on the indicator, never in a box: yellow with the count
// from a few cycles in a row on, green again at the next decoded answer.
TEST_F(Footer, IndicatorTurnsYellowWhileAnswersDoNotDecode) {
    SimOptions o = FastSim();
    SimFaultRule partial;
    partial.fault = SimFault::Partial;
    partial.cycles = {2, 3, 4, 5};
    o.faults = {partial};
    StartSim(o);
    TGlForm& w = CreateWindow();
    ShowPage(PageParameters);
    const LinkSession& link = w.Ecu().Link();
    const QWidget* panel = Find("PanelPortIndicator");
    struct Seen {
        QColor colour;
        QString tip;
    };
    std::map<int, Seen> seen; // by the count of cycles in a row
    const auto look = [&](int count) {
        When([&, count] { return link.UndecodedInARow() == count; },
             [&, count] {
                 seen[count] = {IndicatorColour(), panel->toolTip()};
             });
    };
    for (const int count : {2, 3, 4})
        look(count);
    When([&] { return seen.count(4) && link.UndecodedInARow() == 0; },
         [&] {
             seen[0] = {IndicatorColour(), panel->toolTip()};
             Click("BitBtnStop");
         });
    RunStart();

    const QColor green(0, 255, 0), yellow(255, 255, 0);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[2].colour, green) << "two cycles are no sign yet";
    EXPECT_TRUE(seen[2].tip.isEmpty());
    EXPECT_EQ(seen[3].colour, yellow);
    EXPECT_TRUE(seen[3].tip.contains(QStringLiteral(": 3"))) << seen[3].tip.toStdString();
    EXPECT_EQ(seen[4].colour, yellow);
    EXPECT_TRUE(seen[4].tip.contains(QStringLiteral(": 4"))) << seen[4].tip.toStdString();
    EXPECT_EQ(seen[0].colour, green);
    EXPECT_TRUE(seen[0].tip.isEmpty());
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
    EXPECT_EQ(IndicatorColour(), QColor(255, 0, 0)) << "closed by Stop";
}

TEST_F(Footer, StopDisarmsRecordingAndPlaybackOnlyWhenThePortIsOpen) {
    StartSim();
    TGlForm& w = CreateWindow();
    const SessionFlags& flags = w.Ecu().State().Flags;
    const QString recording = QString::fromStdString(TempPath("rec.bin"));

    Click("RadioButtonRegim1");
    dialogs.saveAnswers.push_back(recording);
    Click("SpeedButtonSaveFile");
    ASSERT_TRUE(flags.RecordArmed);
    Click("BitBtnStop");
    EXPECT_FALSE(flags.RecordArmed);
    EXPECT_FALSE(w.Ecu().Comm().Connected());

    // Opening a file for playback closes the port: Stop then changes nothing.
    Click("ButtonOpenPort");
    Click("RadioButtonRegim2");
    dialogs.openAnswers.push_back(recording);
    Click("SpeedButtonOpenFile");
    ASSERT_TRUE(flags.PlaybackArmed);
    ASSERT_FALSE(w.Ecu().Comm().Connected());
    const QString label = Find<QLabel>("LabelNameFile")->text();
    Click("BitBtnStop");
    EXPECT_TRUE(flags.PlaybackArmed);
    EXPECT_TRUE(Find("ButtonOpenPort")->isEnabled());
    EXPECT_FALSE(Find("ButtonStop")->isEnabled());
    EXPECT_TRUE(Find("BitBtnStart")->isEnabled());
    EXPECT_EQ(Find<QLabel>("LabelNameFile")->text(), label);

    // With the port opened again, Stop returns Start to live polling.
    Click("ButtonOpenPort");
    ASSERT_TRUE(w.Ecu().Comm().Connected());
    EXPECT_TRUE(flags.PlaybackArmed);
    Click("BitBtnStop");
    EXPECT_FALSE(flags.PlaybackArmed);
    EXPECT_FALSE(Find("BitBtnStart")->isEnabled());
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
}

TEST_F(Footer, ExitDuringALiveSessionEndsItAndKeepsWhatWasRecorded) {
    StartSim();
    TGlForm& w = CreateWindow();
    const std::string recording = TempPath("exit.bin");
    Click("RadioButtonRegim1");
    dialogs.saveAnswers.push_back(QString::fromStdString(recording));
    Click("SpeedButtonSaveFile");
    ShowPage(PageParameters);
    TapReceivedBytes();

    std::uint64_t requestsAtExit = 0;
    QElapsedTimer sinceExit;
    AfterDataRequests(6, [&] {
        requestsAtExit = sim.DataRequests();
        sinceExit.start();
        Click("BitBtnClose");
    });
    RunStart();
    const qint64 quitMs = sinceExit.elapsed();

    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.Ecu().Comm().Connected());
    EXPECT_FALSE(w.Ecu().LoopRunning());
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown(); // quitting is not a broken link
    EXPECT_EQ(sim.DataRequests(), requestsAtExit);
    EXPECT_LT(quitMs, 1000) << "the session took " << quitMs << " ms to end";

    // Everything recorded is on disk: the file is the tail of what was received.
    const auto file = ReadFileBytes(recording);
    ASSERT_GE(file.size(), 68u * 3);
    ASSERT_LE(file.size(), received.size());
    EXPECT_TRUE(
        std::equal(file.begin(), file.end(), received.end() - static_cast<long>(file.size())));
    EXPECT_TRUE(std::equal(DataRequest.begin(), DataRequest.end(), file.begin()));
}

TEST_F(Footer, ExitDuringPlaybackEndsIt) {
    StartSim();
    TGlForm& w = CreateWindow();
    dialogs.openAnswers.push_back(QString::fromStdString(WriteRecording("long.bin", 300)));
    Click("SpeedButtonOpenFile");
    ShowPage(PageParameters);
    auto* progress = Find<QProgressBar>("ProgressBarPlayFile");
    When([progress] { return progress->value() >= 3; }, [this] { Click("BitBtnClose"); });
    RunStart();

    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.Ecu().LoopRunning());
    EXPECT_LT(progress->value(), 10);
    EXPECT_EQ(progress->maximum(), 300);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
}

// A long file name is shortened in its middle to the label's width; the tooltip gives
// the whole path, and the bar is drawn as one continuous chunk, as the parameters
// page's bars are.
TEST_F(Footer, ALongFileNameIsShortenedInItsMiddleAndTheBarIsSmooth) {
    CreateWindow();
    const std::string path =
        WriteRecording("a-very-long-recording-name-of-a-morning-drive-with-the-idle-test.bin", 4);
    dialogs.openAnswers.push_back(QString::fromStdString(path));
    Click("SpeedButtonOpenFile");
    auto* label = Find<QLabel>("LabelNameFile");
    const QString shown = label->text();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Чтение файла a-very"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("idle-test.bin"))) << shown.toStdString();
    EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->width());
    EXPECT_EQ(label->toolTip(), QString::fromStdString(path));

    auto* bar = Find<QProgressBar>("ProgressBarPlayFile");
    bar->setMaximum(100);
    bar->setValue(60);
    bar->show();
    const QImage image = bar->grab().toImage();
    const QColor fill = bar->palette().color(QPalette::Highlight);
    int runs = 0;
    bool inFill = false;
    for (int x = 0; x < image.width(); ++x) {
        const bool filled = image.pixelColor(x, image.height() / 2) == fill;
        runs += filled && !inFill;
        inFill = filled;
    }
    EXPECT_EQ(runs, 1) << "the bar is drawn in blocks";

    // Plain live polling forgets the file: no name, no tooltip.
    Click("RadioButtonRegim0");
    EXPECT_EQ(label->text(), QString());
    EXPECT_EQ(label->toolTip(), QString());
}

TEST_F(Footer, ExitWithNoSessionClosesAtOnce) {
    StartSim();
    TGlForm& w = CreateWindow();
    Click("BitBtnClose");
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
}

} // namespace
} // namespace ecu::wintest
