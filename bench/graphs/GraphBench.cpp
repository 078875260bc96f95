// The graphs page's cost per cycle and per stored point.
//
// Cycle: one AddGraphPoints with the redraw it queues, run to the end (replot of the four
// charts and the paint of the page), with 1 000 and with 1 000 000 points already on each
// graph; once as the page draws (no antialiasing, plain line segments) and once
// antialiased for comparison. Memory: resident bytes added per stored point per graph,
// measured while the million-point page is filled.
#include "ui/TFrameGraph.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QTest>
#include <qcustomplot.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <unistd.h>

namespace {

using ecu::TFrameGraph;

// The setup page's graph boxes as the program starts: speed, coolant, advance, throttle.
class SetupStandIn : public QWidget {
public:
    SetupStandIn() {
        const int items[] = {5, 0, 2, 3};
        for (int n = 1; n <= 4; ++n) {
            auto* combo = new QComboBox(this);
            combo->setObjectName(QStringLiteral("ComboBoxGraph%1").arg(n));
            for (int i = 0; i < ecu::GraphChannelRowCount; ++i)
                combo->addItem(QString::number(i));
            combo->setCurrentIndex(items[n - 1]);
        }
    }
};

class EventCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Moving engine values, so every point differs from the last.
void NextValues(ecu::EngineData& engine, int i) {
    engine.RPMengine = 800 + (i * 37) % 5000;
    engine.TemperatureWater = 20 + std::fmod(i * 0.01, 70.0);
    engine.UOZ = 10 + (i % 30);
    engine.ThrottleAngle = (i * 7) % 100;
}

long ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// A shown page with `stored` points on each graph, filled through AddGraphPoints once and
// kept for every run that asks for that many: filling a million takes seconds.
struct FilledPage {
    explicit FilledPage(int stored) {
        page.resize(624, 363);
        page.show();
        if (!QTest::qWaitForWindowExposed(&page))
            qFatal("the page was never exposed, so nothing would be painted");
        page.ResetGraphs(setup);
        QCoreApplication::sendPostedEvents();
        const long before = ResidentBytes();
        for (; next < stored; ++next) {
            NextValues(engine, next);
            page.AddGraphPoints();
        }
        bytesPerPoint = static_cast<double>(ResidentBytes() - before) / (4.0 * stored);
    }
    ecu::EngineData engine;
    SetupStandIn setup;
    TFrameGraph page{engine};
    int next = 0;
    double bytesPerPoint = 0;
};

FilledPage& Page(int stored) {
    static std::map<int, std::unique_ptr<FilledPage>> pages;
    auto& page = pages[stored];
    if (!page)
        page = std::make_unique<FilledPage>(stored);
    return *page;
}

// The page's own look, or the charting component's antialiased polylines.
void Look(QCustomPlot& chart, bool antialiased) {
    chart.setNotAntialiasedElements(antialiased ? QCP::aeNone : QCP::aeAll);
    chart.setAntialiasedElements(antialiased ? QCP::aeAll : QCP::aeNone);
    chart.setPlottingHints(antialiased ? QCP::phCacheLabels
                                       : QCP::phFastPolylines | QCP::phCacheLabels);
}

// The cycle as the session runs it: the page adds its points, the event loop then runs
// the queued replot, and the window paints what changed (here: the whole page, at once).
void Cycle(benchmark::State& state, bool antialiased) {
    FilledPage& filled = Page(static_cast<int>(state.range(0)));
    TFrameGraph& page = filled.page;
    const auto charts = page.findChildren<QCustomPlot*>();
    for (QCustomPlot* chart : charts)
        Look(*chart, antialiased);
    EventCounter counter;
    charts.front()->installEventFilter(&counter);
    int replots = 0;
    const auto connection =
        QObject::connect(charts.front(), &QCustomPlot::afterReplot, [&replots] { ++replots; });
    for (auto _ : state) {
        NextValues(filled.engine, filled.next++);
        page.AddGraphPoints();
        QCoreApplication::sendPostedEvents();
        page.repaint();
    }
    QObject::disconnect(connection);
    charts.front()->removeEventFilter(&counter);
    for (QCustomPlot* chart : charts)
        Look(*chart, false);
    state.counters["replots_per_cycle"] =
        benchmark::Counter(replots, benchmark::Counter::kAvgIterations);
    state.counters["paints_per_cycle"] =
        benchmark::Counter(counter.paints, benchmark::Counter::kAvgIterations);
}

void BM_Cycle(benchmark::State& state) {
    Cycle(state, false);
}
void BM_CycleAntialiased(benchmark::State& state) {
    Cycle(state, true);
}
BENCHMARK(BM_Cycle)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_CycleAntialiased)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// Resident memory the million points of each graph added, per point and graph.
void BM_MemoryPerPoint(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(Page(static_cast<int>(state.range(0))).bytesPerPoint);
    state.counters["bytes_per_point_per_graph"] =
        Page(static_cast<int>(state.range(0))).bytesPerPoint;
}
BENCHMARK(BM_MemoryPerPoint)->Arg(1000000)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
