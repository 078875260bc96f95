// The graphs page in the main window: live sessions against the simulator on a pty,
// playback of recordings, the footer's Start and Stop, the setup page's "Принять".
#include "WindowHarness.h"

#include "ecu-sim/AnswerEncoder.h"
#include "link/Decode.h"
#include "serial/Comm32.h"
#include "session/SessionState.h"
#include "ui/TFrameGraph.h"
#include "ui/TextRules.h"
#include "wire/Frames.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <qcustomplot.h>

#include <mutex>

namespace ecu::wintest {
namespace {

EngineData Decoded(const SimEngine& engine) {
    ByteString rx(DataRequest.begin(), DataRequest.end());
    const std::vector<std::uint8_t> answer = EncodeDataAnswer(engine, EngineVariant::Sohc);
    rx.insert(rx.end(), answer.begin(), answer.end());
    EngineData data;
    EXPECT_TRUE(DecodeFrame(rx, data, EngineVariant::Sohc));
    return data;
}

// The start-up channels: engine speed, coolant, spark advance, throttle.
std::array<double, 4> StartUpChannels(const EngineData& d) {
    return {static_cast<double>(d.RPMengine), d.TemperatureWater, d.UOZ, d.ThrottleAngle};
}

class GraphWindow : public WindowTest {
protected:
    // Keeps, for every data request, the engine state the simulator answered the
    // request before it with: the observer runs before the new request is answered.
    void RecordAnswers() {
        sim.SetFrameObserver([this](const SimFrame& frame) {
            if (!frame.valid || frame.bytes.size() < 3 || frame.bytes[2] != 0x01)
                return;
            std::lock_guard lock(answersMutex_);
            answeredBefore_.push_back(sim.LastAnswered());
        });
    }
    // After a session: the states answered to its data requests, in order.
    std::vector<SimEngine> Answers() {
        std::lock_guard lock(answersMutex_);
        if (answeredBefore_.empty())
            return {};
        std::vector<SimEngine> answers(answeredBefore_.begin() + 1, answeredBefore_.end());
        answers.push_back(sim.LastAnswered());
        return answers;
    }

    TFrameGraph& Page() { return *Find<TFrameGraph>("FrameGraph1"); }
    QCPGraph& Series(int n) {
        return *window->findChild<QCPGraph*>(QStringLiteral("Series%1").arg(n));
    }
    int Points() { return Series(1).dataCount(); }
    std::vector<double> Keys() {
        std::vector<double> keys;
        for (const QCPGraphData& p : *Series(1).data())
            keys.push_back(p.key);
        return keys;
    }
    static std::vector<double> Counting(int n) {
        std::vector<double> v(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            v[static_cast<std::size_t>(i)] = i;
        return v;
    }
    // Stop once the session has sent `requests` data requests in all and the newest
    // answer is in: Stop before it would end the cycle as a broken link.
    void StopAfter(std::uint64_t requests) {
        When(
            [this, requests] {
                return sim.DataRequests() >= requests && window->Ecu().State().RxBuffer.size() >= 68;
            },
            [this] { Click("BitBtnStop"); });
    }
    // One live session on the graphs page of `cycles` data requests.
    void PollOnGraphs(std::uint64_t cycles) {
        ShowPage(PageGraphs);
        StopAfter(sim.DataRequests() + cycles);
        RunStart();
    }
    void ReopenPort() {
        ShowPage(PageSetup);
        Click("ButtonOpenPort");
        ASSERT_TRUE(window->Ecu().Comm().Connected());
    }
    void OpenForPlayback(const std::string& path) {
        ShowPage(PageSetup);
        Click("RadioButtonRegim2");
        dialogs.openAnswers.push_back(QString::fromStdString(path));
        Click("SpeedButtonOpenFile");
        ASSERT_TRUE(window->Ecu().State().Flags.PlaybackArmed);
    }

private:
    std::mutex answersMutex_;
    std::vector<SimEngine> answeredBefore_;
};

TEST_F(GraphWindow, LiveValuesAreTheEngineModelsCycleByCycle) {
    RecordAnswers();
    StartSim();
    CreateWindow();
    PollOnGraphs(12);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();

    const std::vector<SimEngine> answers = Answers();
    const int points = Points();
    ASSERT_GE(points, 8);
    ASSERT_GE(static_cast<int>(answers.size()), points);
    for (int i = 0; i < points; ++i) {
        const auto expected = StartUpChannels(Decoded(answers[static_cast<std::size_t>(i)]));
        for (int n = 1; n <= 4; ++n)
            ASSERT_EQ(Series(n).data()->at(i)->value, expected[static_cast<std::size_t>(n - 1)])
                << "graph " << n << ", cycle " << i;
    }
    EXPECT_EQ(Keys(), Counting(points));
    // The model moved meanwhile, so the comparison is point by point.
    bool moved = false;
    for (int n = 1; n <= 4; ++n)
        moved = moved || Series(n).data()->at(0)->value != Series(n).data()->at(points - 1)->value;
    EXPECT_TRUE(moved);
    const double lastRpm = Series(1).data()->at(points - 1)->value;
    EXPECT_EQ(Find<QLineEdit>("EditDateRed")->text(),
              QString::fromStdString(FormatFixed(lastRpm, 6, 1)));
}

TEST_F(GraphWindow, CyclesOnOtherPagesAddNoPoints) {
    StartSim();
    CreateWindow();
    ShowPage(PageGraphs);
    int pointsWhenLeft = -1;
    int pointsWhileAway = -1;
    AfterDataRequests(4, [&] {
        ShowPage(PageParameters);
        pointsWhenLeft = Points();
    });
    AfterDataRequests(9, [&] {
        pointsWhileAway = Points();
        ShowPage(PageGraphs);
    });
    StopAfter(13);
    RunStart();

    ASSERT_GT(pointsWhenLeft, 0);
    EXPECT_EQ(pointsWhileAway, pointsWhenLeft);
    EXPECT_GT(Points(), pointsWhenLeft);
    EXPECT_LE(Points(), 13 - 4);
    EXPECT_EQ(Keys(), Counting(Points())); // the graphs simply miss those cycles
}

TEST_F(GraphWindow, LiveSessionsContinueTheGraphsAcrossStopAndStart) {
    StartSim();
    CreateWindow();
    PollOnGraphs(5);
    const int first = Points();
    ASSERT_GT(first, 0);
    std::vector<double> firstValues;
    for (int i = 0; i < first; ++i)
        firstValues.push_back(Series(1).data()->at(i)->value);

    ASSERT_NO_FATAL_FAILURE(ReopenPort());
    PollOnGraphs(5);
    ASSERT_GT(Points(), first);
    EXPECT_EQ(Keys(), Counting(Points()));
    for (int i = 0; i < first; ++i)
        EXPECT_EQ(Series(1).data()->at(i)->value, firstValues[static_cast<std::size_t>(i)]);
}

TEST_F(GraphWindow, EachPlaybackStartsFromEmptyGraphs) {
    StartSim();
    CreateWindow();
    PollOnGraphs(4);
    ASSERT_GT(Points(), 0);

    SimEngine engine;
    engine.rpm = 3150;
    engine.coolantC = 88;
    engine.advanceDeg = 27;
    engine.throttlePct = 40;
    const std::string trip = WriteRecording("trip.bin", 6, engine);
    const auto expected = StartUpChannels(Decoded(engine));
    ASSERT_NO_FATAL_FAILURE(OpenForPlayback(trip));
    ShowPage(PageGraphs);
    for (int run = 0; run < 2; ++run) {
        RunStart();
        ASSERT_EQ(Points(), 6) << "run " << run;
        EXPECT_EQ(Keys(), Counting(6));
        for (int n = 1; n <= 4; ++n)
            EXPECT_EQ(Series(n).data()->at(5)->value, expected[static_cast<std::size_t>(n - 1)]);
    }
    // The played file names the picture of its graphs.
    EXPECT_EQ(Page().DefaultPictureName(), QString::fromStdString(TempPath("trip.png")));
}

TEST_F(GraphWindow, StartOnTheGraphsPageDisablesTheCursorAndStopEnablesIt) {
    StartSim();
    CreateWindow();
    auto* bar = Find<QScrollBar>("ScrollBarAxisX");
    EXPECT_FALSE(bar->isEnabled());
    bar->setEnabled(true); // as a previous Stop on this page would have left it
    ShowPage(PageGraphs);
    bool enabledDuringSession = true;
    AfterDataRequests(2, [&] { enabledDuringSession = bar->isEnabled(); });
    StopAfter(4);
    RunStart();
    EXPECT_FALSE(enabledDuringSession);
    EXPECT_TRUE(bar->isEnabled());
    test::PumpEvents(300); // nothing after the session takes it back
    EXPECT_TRUE(bar->isEnabled());

    // The cursor reads the recorded points back.
    // A click on the bar's right arrow: position 1, the first point.
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() - 4, bar->height() / 2));
    ASSERT_EQ(bar->value(), 1);
    EXPECT_EQ(bar->maximum(), 546);
    EXPECT_EQ(Find<QLineEdit>("EditDateRed")->text(),
              QString::fromStdString(FormatFixed(Series(1).data()->at(0)->value, 6, 1)));

    // Start and Stop on another page leave the scroll bar alone.
    ASSERT_NO_FATAL_FAILURE(ReopenPort());
    ShowPage(PageParameters);
    StopAfter(sim.DataRequests() + 2);
    RunStart();
    EXPECT_TRUE(bar->isEnabled());
}

TEST_F(GraphWindow, AcceptOnTheSetupPageClearsAndRebindsTheGraphs) {
    StartSim();
    CreateWindow();
    PollOnGraphs(4);
    ASSERT_GT(Points(), 0);
    Find<QScrollBar>("ScrollBarAxisX")->setValue(3); // the cursor on the first point

    ShowPage(PageSetup);
    Click("ButtonChange");
    Find<QComboBox>("ComboBoxGraph1")->setCurrentIndex(6); // road speed
    Click("ButtonAccept");
    EXPECT_EQ(Points(), 0);
    EXPECT_EQ(Find<QLabel>("FrameGraph1/Label1")->text(), QString::fromUtf8(" скорость "));
    auto* chart = Find<QCustomPlot>("Graph1");
    EXPECT_EQ(chart->yAxis->range().upper, 255);
    EXPECT_EQ(chart->xAxis->range().lower, 0);
    EXPECT_EQ(chart->xAxis->range().upper, 273);
    EXPECT_EQ(Page().GraphChannels()[0].Kind(), GraphKind::UInt8);
    // No old value under the new label, no cursor on the emptied chart.
    for (const char* box : {"EditDateRed", "EditDateLime", "EditDateBlue", "EditDateYellow"})
        EXPECT_EQ(Find<QLineEdit>(box)->text(), QString()) << box;
    EXPECT_EQ(Find("Shape1")->x(), 0);
}

TEST_F(GraphWindow, APictureThatCannotBeSavedIsReportedInABox) {
    StartSim();
    CreateWindow();
    const QString bad = QString::fromStdString(TempPath("missing/graphs.png"));
    Page().SetSaveFileChooser([&](const QString&) -> std::optional<QString> { return bad; });
    QAction* save = Find<QCustomPlot>("Graph2")->actions().value(0);
    ASSERT_NE(save, nullptr);
    save->trigger();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].icon, MessageIcon::Error);
    EXPECT_TRUE(boxes.boxes[0].text.contains(bad));
}

} // namespace
} // namespace ecu::wintest
