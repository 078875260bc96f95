#include "FaultRun.h"

#include "serial/Comm32.h"
#include "session/LinkSession.h"
#include "session/Messages.h"
#include "session/SessionState.h"
#include "ui/TFrameGraph.h"

#include <QElapsedTimer>
#include <QTabWidget>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <string>

namespace ecu::wintest {

SimOptions RandomFaults(bool fast, std::uint32_t seed) {
    SimOptions options;
    options.fast = fast;
    options.seed = seed;
    options.strayByte = 0xF4; // looks like the start of a frame
    const std::pair<SimFault, double> rates[] = {
        {SimFault::Silence, 0.02}, {SimFault::EchoOnly, 0.02},  {SimFault::NoEcho, 0.03},
        {SimFault::Partial, 0.05}, {SimFault::StrayByte, 0.05}, {SimFault::Delayed, 0.03},
        {SimFault::Garbage, 0.05},
    };
    for (const auto& [fault, rate] : rates)
        options.faults.push_back({fault, rate, {}, true});
    return options;
}

int SecondsFromEnv(const char* name, int fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return *end == '\0' && value > 0 && value < 24L * 3600 ? static_cast<int>(value) : fallback;
}

std::int64_t ResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtoll(line.c_str() + 6, nullptr, 10) * 1024;
    }
    return 0;
}

std::int64_t HeapInUseBytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
}

TGlForm& FaultRunTest::StartFaultyWindow(bool fastSim, int pollDelay) {
    StartSim(RandomFaults(fastSim, 20261208));
    TGlForm& w = CreateWindow(Delay::StartUp);
    if (pollDelay > 0) {
        ShowPage(PageSetup);
        Click("ButtonStop");
        TypeText("SpinEditDelay", QString::number(pollDelay));
        Click("ButtonOpenPort");
        EXPECT_EQ(w.Ecu().State().PollDelay, pollDelay);
    }
    EXPECT_TRUE(w.Ecu().Comm().Connected());
    return w;
}

FaultRunTest::RunFigures
FaultRunTest::PollWithRestarts(int seconds, const std::function<void(const Sample&)>& onSample) {
    RunFigures run;
    QElapsedTimer clock;
    clock.start();
    auto* graphs = Find<TFrameGraph>("FrameGraph1");
    auto take = [&] {
        Sample s;
        s.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        const SimCounts counts = sim.Counts();
        s.dataRequests = counts.dataRequests;
        s.faults = counts.faults;
        s.runTime = window->Ecu().State().Engine.Timer;
        s.resident = ResidentBytes();
        s.heapInUse = HeapInUseBytes();
        s.graphPoints = graphs ? graphs->GraphPointCount() : 0;
        return s;
    };

    run.samples.push_back(take());
    QTimer sampler;
    sampler.setInterval(1000);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        // The simulator's frame log would grow all run long; nothing here reads it.
        sim.ClearFrames();
        run.samples.push_back(take());
        if (onSample)
            onSample(run.samples.back());
    });
    sampler.start();

    bool ended = false;
    // A loop that never comes back to its port test after Stop is stuck: fail and
    // end its waits.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        ADD_FAILURE() << "the session did not end after Stop";
        window->Ecu().Link().InterruptWait();
        watchdog.start(50);
    });
    QTimer end;
    end.setSingleShot(true);
    QObject::connect(&end, &QTimer::timeout, [&] {
        ended = true;
        Click("BitBtnStop");
        watchdog.start(10000);
    });
    end.start(seconds * 1000);

    while (!ended) {
        if (!window->Ecu().Comm().Connected()) {
            ADD_FAILURE() << "the port closed during the run";
            break;
        }
        Click("BitBtnStart"); // returns when the session has ended
        ++run.sessions;
    }
    sampler.stop();
    run.samples.push_back(take());
    run.seconds = run.samples.back().seconds;
    return run;
}

int FaultRunTest::CheckOnlyBrokenLinkBoxes(bool afterStop) {
    int count = 0;
    bool sendFailureAllowed = afterStop;
    for (const Box& box : boxes.boxes) {
        if (sendFailureAllowed && box.caption == QString::fromUtf8(text::SendFailureCaption)) {
            sendFailureAllowed = false;
            continue;
        }
        EXPECT_EQ(box.caption, QString::fromUtf8(text::BrokenLinkCaption))
            << box.text.toStdString();
        EXPECT_EQ(box.icon, MessageIcon::Error);
        ++count;
    }
    boxes.boxes.clear();
    return count;
}

void FaultRunTest::CheckKeptPolling(const RunFigures& run, int span) {
    const std::vector<Sample>& s = run.samples;
    for (std::size_t i = static_cast<std::size_t>(span); i < s.size();
         i += static_cast<std::size_t>(span)) {
        const Sample& from = s[i - static_cast<std::size_t>(span)];
        const Sample& to = s[i];
        EXPECT_GT(to.dataRequests, from.dataRequests)
            << "no data request between " << from.seconds << " s and " << to.seconds << " s";
        EXPECT_NE(to.runTime, from.runTime)
            << "no new engine values between " << from.seconds << " s and " << to.seconds << " s";
    }
}

} // namespace ecu::wintest
