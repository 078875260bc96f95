// The window polling the paced simulator at the start-up's delay beside two processes that
// keep both processors busy, its tabs switched every half second: answers that came in time
// are taken, and no broken-link box comes. Runs for ECUSCAN_BUSY_SECONDS, only when that is
// set (./test --full sets a minute): it loads the whole machine.
#include "ChildProcess.h"
#include "FaultRun.h"

#include "session/LinkSession.h"
#include "session/Session.h"
#include "session/SessionHost.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <vector>

namespace ecu::wintest {
namespace {

constexpr int kBusyProcesses = 2;
constexpr int kTabEveryMs = 500;
constexpr int kWatchEveryMs = 5;

class BusyMachine : public WindowTest {};

TEST_F(BusyMachine, TabsSwitchedEveryHalfSecondBesideTwoBusyProcessesShowNoBox) {
    if (!std::getenv("ECUSCAN_BUSY_SECONDS"))
        GTEST_SKIP() << "set ECUSCAN_BUSY_SECONDS to run it (./test --full does)";
    const int seconds = SecondsFromEnv("ECUSCAN_BUSY_SECONDS", 60);
    SimOptions paced = FastSim();
    paced.fast = false; // the answer takes its 85 ms on the line, as from a car
    StartSim(paced);
    TGlForm& w = CreateWindow(Delay::StartUp);
    ShowPage(PageParameters);

    // Each in a session of its own, as when started from another terminal: the scheduler
    // then shares the processors between them and the window rather than letting them
    // crowd the window's own share.
    std::vector<std::unique_ptr<test::ChildProcess>> busy;
    for (int i = 0; i < kBusyProcesses; ++i)
        busy.push_back(std::make_unique<test::ChildProcess>(
            "/usr/bin/setsid", std::vector<std::string>{"/bin/sh", "-c", "while :; do :; done"}));

    QTimer tabs;
    int page = PageParameters;
    QObject::connect(&tabs, &QTimer::timeout, [&] {
        page = page == PageParameters ? PageGraphs : PageParameters;
        ShowPage(page);
    });
    // Undecoded cycles, counted from the session's run of them.
    const LinkSession& link = w.Ecu().Link();
    int undecoded = 0;
    int lastRun = 0;
    int longestRun = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const int run = link.UndecodedInARow();
        undecoded += run > lastRun ? run - lastRun : 0;
        longestRun = std::max(longestRun, run);
        lastRun = run;
    });
    QElapsedTimer clock;
    When([&] { return clock.isValid() && clock.elapsed() >= seconds * 1000LL; },
         [&] { Click("BitBtnStop"); });
    RunStart(seconds * 1000 + 30000, [&] {
        clock.start();
        tabs.start(kTabEveryMs);
        watch.start(kWatchEveryMs);
        Click("BitBtnStart");
    });
    tabs.stop();
    watch.stop();
    busy.clear();

    const auto cycles = static_cast<int>(sim.DataRequests());
    std::cout << "[ figures  ] " << seconds << " s beside " << kBusyProcesses
              << " busy processes: cycles " << cycles << ", undecoded " << undecoded
              << ", longest undecoded run " << longestRun << ", boxes " << boxes.boxes.size()
              << std::endl;
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().caption.toStdString();
    EXPECT_GT(cycles, seconds * 1000 / 400) << "the loop kept polling";
    EXPECT_LT(undecoded * 2, cycles) << "most answers were taken";
}

} // namespace
} // namespace ecu::wintest
