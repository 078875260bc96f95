// A long recording played and steered through the real window (offscreen, boxes recorded,
// file dialogs scripted), on a 30 000-record SOHC trip whose values change every record.
//
// Seek: playback paused on the graphs page; clicks on the footer's progress bar, spread
// evenly over it in alternating directions and then at random: milliseconds from the click
// until the four charts are refilled, replotted and painted and the event loop is idle.
//
// FastestPace: the whole file at "×макс" on the graphs page, from Start to the playback's
// end, while a user clicks the page's tab (already shown) every 100 ms: the seconds, and
// the latency of the clicks from posting to handling.
//
// Export: the footer's "Экспорт в CSV…" (the save dialog answering at once), from the
// trigger to the file written, beside ecu-csv writing the same file from a child process;
// the two files must be equal byte for byte.
#include "ChildProcess.h"
#include "ClickProbe.h"
#include "Files.h"
#include "PortMap.h"
#include "RecordingPresenter.h"
#include "ScriptedDialogs.h"
#include "Trip.h"
#include "Wait.h"
#include "app/Application.h"
#include "app/TGlForm.h"
#include "session/FileSession.h"
#include "session/Playback.h"
#include "ui/ProgressSeek.h"
#include "ui/TFrameGraph.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <qcustomplot.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int kRecords = 30000;
constexpr int kEvenSeeks = 50;
constexpr int kRandomSeeks = 50;
constexpr int kExportRuns = 7;
constexpr int kPaces = 5;
constexpr int kDrainLimitMs = 5000;
constexpr int kPlayLimitMs = 300000;
constexpr int kToolLimitMs = 60000;
constexpr auto kClickEvery = 100ms;

double Ms(qint64 ns) {
    return static_cast<double>(ns) / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double Max(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

// The window with the trip opened as the command line opens it, the graphs page shown.
class PlaybackWindow {
public:
    PlaybackWindow() {
        ecu::test::WriteTrip(trip, kRecords);
        window = std::make_unique<ecu::TGlForm>(ecu::WindowServices{&boxes, &dialogs});
        window->show();
        QApplication::setActiveWindow(window.get());
        window->activateWindow();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qFatal("the window was never exposed, so nothing would be painted");
        window->OpenRecording(QString::fromStdString(trip));
        boxes.boxes.clear(); // the start-up's: COM1 leads nowhere
        QTabBar& tabs = *Tabs().tabBar();
        QTest::mouseClick(&tabs, Qt::LeftButton, {}, tabs.tabRect(ecu::PageGraphs).center());
    }

    template <class T> T& Find(const char* name) {
        T* widget = window->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control named %s", name);
        return *widget;
    }
    QTabWidget& Tabs() { return Find<QTabWidget>("GlPageControl"); }
    QProgressBar& Bar() { return Find<QProgressBar>("ProgressBarPlayFile"); }
    ecu::Playback& Player() { return window->Ecu().Files().Player(); }
    void Click(QWidget& widget, QPoint at) { QTest::mouseClick(&widget, Qt::LeftButton, {}, at); }
    void Click(const char* name) {
        QWidget& widget = Find<QWidget>(name);
        Click(widget, widget.rect().center());
    }
    void PressKey(Qt::Key key) {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : window.get(), key);
    }

    // Clicks Start and returns when the playback has ended; `during` runs once from inside
    // it, as soon as the bar shows a record played. False when it had to be stopped.
    bool Play(const std::function<void()>& during = {}) {
        QTimer poll;
        poll.setInterval(2);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (Bar().value() < 1)
                return;
            poll.stop();
            during();
        });
        bool overdue = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            overdue = true;
            Player().Stop();
        });
        if (during)
            poll.start();
        watchdog.start(kPlayLimitMs);
        Click("BitBtnStart");
        return !overdue;
    }

    // First in, last out: the trip and the window's settings live in the map's folder.
    ecu::test::PortMap map;
    std::string trip = map.Path("trip.bin");
    ecu::test::RecordingPresenter boxes;
    ecu::test::ScriptedDialogs dialogs;
    std::unique_ptr<ecu::TGlForm> window;
};

// The redraw a seek asks for: each chart's replot and its paint, counted from the click.
class RedrawWatch : public QObject {
public:
    explicit RedrawWatch(QWidget& page) : charts_(page.findChildren<QCustomPlot*>()) {
        for (QCustomPlot* chart : charts_) {
            chart->installEventFilter(this);
            connect(chart, &QCustomPlot::afterReplot, this, [this] { ++replots_; });
        }
    }
    void Reset() { replots_ = paints_ = 0; }
    // Handles events until every chart has replotted and painted, then once more for
    // what the paint left behind.
    bool DrainUntilRedrawn() {
        QElapsedTimer limit;
        limit.start();
        while (!Redrawn() && limit.elapsed() < kDrainLimitMs)
            QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return Redrawn();
    }
    int Charts() const { return static_cast<int>(charts_.size()); }

private:
    bool Redrawn() const { return replots_ >= Charts() && paints_ >= Charts(); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && replots_ > 0)
            ++paints_;
        return false;
    }
    QList<QCustomPlot*> charts_;
    int replots_ = 0;
    int paints_ = 0;
};

// Bar positions to click: evenly spread, taken from both ends in turn so that every seek
// jumps across the file in the other direction, then random ones.
std::vector<int> SeekPositions(const QProgressBar& bar) {
    const QRect inside = bar.contentsRect();
    std::vector<int> xs;
    for (int i = 0; i < kEvenSeeks / 2; ++i) {
        const int span = inside.width() - 1;
        xs.push_back(inside.left() + span * i / (kEvenSeeks / 2 - 1));
        xs.push_back(inside.left() + span * (kEvenSeeks / 2 - 1 - i) / (kEvenSeeks / 2 - 1));
    }
    std::mt19937 rng(20261211);
    std::uniform_int_distribution<int> any(inside.left(), inside.right());
    for (int i = 0; i < kRandomSeeks; ++i)
        xs.push_back(any(rng));
    return xs;
}

// One click at x while paused: its milliseconds, or a negative number when the playback
// did not stand on the bar's record with the charts refilled up to it and redrawn.
double TimedSeek(PlaybackWindow& w, RedrawWatch& watch, int x) {
    QProgressBar& bar = w.Bar();
    const int value = ecu::ProgressSeek::ValueAt(bar, x);
    watch.Reset();
    QElapsedTimer clock;
    clock.start();
    w.Click(bar, QPoint(x, bar.height() / 2));
    const bool redrawn = watch.DrainUntilRedrawn();
    const double ms = Ms(clock.nsecsElapsed());
    const auto at = w.Player().Position();
    const int points = w.window->Host().Pages().graphs->GraphPointCount();
    // The bar counts the records played: record k reads k + 1, and 0 stands for the first.
    const int shown = at ? static_cast<int>(*at) + 1 : -1;
    if (!redrawn || shown != std::max(value, 1) || bar.value() != shown || points != shown)
        return -1;
    return ms;
}

void Seek(benchmark::State& state) {
    PlaybackWindow w;
    RedrawWatch watch(w.Find<QWidget>("FrameGraph1"));
    std::vector<double> ms;
    bool paused = false;
    bool landed = true;
    for (auto _ : state) {
        w.Play([&] {
            w.PressKey(Qt::Key_Space);
            paused = w.Player().Paused();
            for (const int x : SeekPositions(w.Bar())) {
                const double one = TimedSeek(w, watch, x);
                landed = landed && one >= 0;
                ms.push_back(one);
            }
            w.Click("BitBtnStop");
        });
    }
    if (!paused || !landed || ms.size() != kEvenSeeks + kRandomSeeks || watch.Charts() != 4 ||
        !w.boxes.boxes.empty()) {
        state.SkipWithError("a seek did not land on its record, or did not redraw the charts");
        return;
    }
    state.counters["seeks"] = static_cast<double>(ms.size());
    state.counters["median_ms"] = Median(ms);
    state.counters["max_ms"] = Max(ms);
}

void FastestPace(benchmark::State& state) {
    PlaybackWindow w;
    QLabel& label = w.Find<QLabel>("LabelNameFile");
    // The pace chosen in one playback is kept for the next.
    w.Play([&] {
        for (int i = 0; i < kPaces && !label.text().endsWith(QStringLiteral("×макс")); ++i)
            w.PressKey(Qt::Key_Plus);
        w.Click("BitBtnStop");
    });
    if (!label.text().endsWith(QStringLiteral("×макс"))) {
        state.SkipWithError("+ did not reach the fastest pace");
        return;
    }
    ecu::test::ClickProbe probe(*w.Tabs().tabBar(), kClickEvery);
    double seconds = 0;
    bool ended = false;
    for (auto _ : state) {
        probe.Start();
        QElapsedTimer clock;
        clock.start();
        ended = w.Play();
        seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        probe.Stop();
    }
    const bool answered =
        ecu::test::WaitUntil([&] { return probe.Answered() == probe.Posted(); }, kDrainLimitMs);
    const int points = w.window->Host().Pages().graphs->GraphPointCount();
    if (!ended || w.Bar().value() != kRecords || points != kRecords ||
        w.Tabs().currentIndex() != ecu::PageGraphs || !answered || !w.boxes.boxes.empty()) {
        state.SkipWithError("the playback did not draw every record, or a click went unanswered");
        return;
    }
    const auto toMs = [](std::chrono::microseconds us) { return us.count() / 1000.0; };
    state.counters["seconds"] = seconds;
    state.counters["clicks"] = probe.Answered();
    state.counters["click_median_ms"] = toMs(probe.Percentile(50));
    state.counters["click_max_ms"] = toMs(probe.Worst());
}

// ecu-csv as the mechanic would run it on the trip, its output into a file.
double ToolExportMs(const std::string& trip, const std::string& target) {
    ecu::test::ChildOptions options;
    options.out = ecu::test::Stream::File(target);
    options.err = ecu::test::Stream::Null();
    QElapsedTimer clock;
    clock.start();
    ecu::test::ChildProcess tool(ECU_CSV_PATH, {"--variant", "sohc", "--format", "display", trip},
                                 options);
    const bool ok = tool.WaitForExit(kToolLimitMs) == 0;
    return ok ? Ms(clock.nsecsElapsed()) : -1;
}

void Export(benchmark::State& state) {
    PlaybackWindow w;
    const std::string fromWindow = w.map.Path("window.csv");
    const std::string fromTool = w.map.Path("tool.csv");
    QAction& action = w.Find<QAction>("ActionExportCsv");
    std::vector<double> windowMs, toolMs;
    for (auto _ : state) {
        for (int i = 0; i < kExportRuns; ++i) {
            w.dialogs.csvAnswers.push_back(QString::fromStdString(fromWindow));
            QElapsedTimer clock;
            clock.start();
            action.trigger();
            windowMs.push_back(Ms(clock.nsecsElapsed()));
            toolMs.push_back(ToolExportMs(w.trip, fromTool));
        }
    }
    const std::string written = ecu::test::ReadFileText(fromWindow);
    if (written.empty() || written != ecu::test::ReadFileText(fromTool) ||
        std::count(written.begin(), written.end(), '\n') != kRecords + 1 ||
        *std::min_element(toolMs.begin(), toolMs.end()) < 0 || !w.boxes.boxes.empty()) {
        state.SkipWithError("the window's CSV is not what ecu-csv writes");
        return;
    }
    state.counters["window_ms"] = Median(windowMs);
    state.counters["ecu_csv_ms"] = Median(toolMs);
    state.counters["ratio"] = Median(windowMs) / Median(toolMs);
}

BENCHMARK(Seek)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(FastestPace)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(Export)->Iterations(1)->Unit(benchmark::kMillisecond);

QtMessageHandler toolkitMessages = nullptr;

// The offscreen platform warns each time a seek's tooltip is raised; the rest goes out.
void QuietRaise(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.contains(QStringLiteral("does not support raise()")))
        toolkitMessages(type, context, text);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    toolkitMessages = qInstallMessageHandler(QuietRaise);
    QApplication app(argc, argv);
    ecu::SetUpApplication(app);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
