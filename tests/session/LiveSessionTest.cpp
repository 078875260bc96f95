// The live loop against the simulator over the real serial component.
#include "SessionHarness.h"

#include "Pty.h"
#include "link/ControlFrame.h"
#include "serial/LineSettings.h"
#include "session/Messages.h"
#include "session/PortOpen.h"
#include "wire/Frames.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <sys/stat.h>
#include <thread>

namespace ecu::testing {
namespace {

using namespace std::chrono_literals;

const QString BrokenLink = QString::fromUtf8(text::BrokenLinkCaption);
const QString SendFailure = QString::fromUtf8(text::SendFailureCaption);

std::vector<QString> Captions(const RecordingPresenter& p) {
    std::vector<QString> out;
    for (const Box& b : p.boxes)
        out.push_back(b.caption);
    return out;
}

SimFaultRule FaultAt(SimFault fault, std::vector<std::uint64_t> cycles, bool allFrames = false) {
    SimFaultRule r;
    r.fault = fault;
    r.cycles = std::move(cycles);
    r.allFrames = allFrames;
    return r;
}

class LiveSession : public SessionTest {
protected:
    // Stops the loop at the page read of the given cycle (counted from 0).
    void StopAtCycle(int cycle) {
        host.onCycle = [this, cycle](int c) {
            if (c == cycle)
                host.Stop();
        };
    }
};

TEST_F(LiveSession, DecodesTheSimulatorsAnswersInBothVariants) {
    for (const EngineVariant v : {EngineVariant::Sohc, EngineVariant::Dohc}) {
        SCOPED_TRACE(v == EngineVariant::Sohc ? "SOHC" : "DOHC");
        sim.Stop();
        StartSim(Fast(v));
        host.variant = v;
        host.ForgetSteps();
        OpenPort();
        EXPECT_EQ(sim.LineRate(), LinkBaudRate) << "as the simulator's side sees the line";
        std::vector<EngineData> expected;
        std::vector<SimEngine> answered;
        host.onStep = [&](const Step&) {
            const SimEngine e = sim.LastAnswered();
            answered.push_back(e);
            ByteString rx = ExpectedExchange(e, v);
            EngineData d = state.Engine;
            EXPECT_TRUE(DecodeFrame(rx, d, host.variant));
            expected.push_back(d);
            EXPECT_TRUE(link.LastCycleDecoded());
            if (host.steps.size() == 3)
                host.Stop();
        };
        RunLivePoll();
        ASSERT_EQ(host.steps.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_EQ(host.steps[i].engine, expected[i]) << "cycle " << i;
        // And in the units the simulator thinks in.
        const EngineData& shown = host.steps.back().engine;
        const SimEngine& e = answered.back();
        EXPECT_EQ(shown.PromID, e.promId);
        EXPECT_NEAR(shown.TemperatureWater, e.coolantC, 0.75);
        EXPECT_NEAR(shown.RPMengine, e.rpm, 25);
        EXPECT_NEAR(shown.Acc, e.batteryVolts, 0.1);
        EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
    }
}

TEST_F(LiveSession, RefusedOpenNamesThePortWhereItLedAndWhy) {
    StartSim(Fast());
    OpenPort(); // COM1 is held from here on
    const std::string folder = TempPath("folder");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    TComm32 other;
    std::int32_t pollDelay = -1;
    const auto refusal = [&](const std::string& port) -> std::string {
        try {
            OpenPortWith(other, QString::fromStdString(port), 8200, 50, pollDelay);
        } catch (const PortOpenError& e) {
            EXPECT_EQ(std::string(e.what()), e.ComponentText() + "\n" + e.Detail());
            return e.what();
        }
        return "opened";
    };
    EXPECT_EQ(refusal("COM2"), "Error opening com port\nCOM2 (" + TempPath("absent") +
                                   "): No such file or directory");
    EXPECT_EQ(refusal(folder), "Error opening com port\n" + folder + ": Is a directory");
    EXPECT_EQ(refusal("/dev/null"),
              "File handle is not a comm handle. \n/dev/null: Inappropriate ioctl for device");
    // Held by another opener: the reason depends on who we are (root is kept out
    // by the lock, others by the exclusive mode), the rest does not.
    const std::string busy = refusal("COM1");
    const std::string prefix = "Error opening com port\nCOM1 (" + sim.SlavePath() + "): ";
    EXPECT_EQ(busy.substr(0, prefix.size()), prefix);
    EXPECT_GT(busy.size(), prefix.size());
    EXPECT_FALSE(other.Connected());
    EXPECT_EQ(pollDelay, -1);
    EXPECT_EQ(PortOpenDetail(other), "COM1 (" + sim.SlavePath() + "): " + other.LastOsError());
}

TEST_F(LiveSession, CyclePeriodFollowsPollDelay) {
    SimOptions o; // paced like a real line: an answer takes about 85 ms
    StartSim(o);
    constexpr double delay = 400; // the answer in well within it, also on a loaded machine
    host.delayMs = static_cast<std::int32_t>(delay);
    OpenPort();
    StopAtCycle(6);
    RunLivePoll();
    std::vector<std::chrono::steady_clock::time_point> requests;
    for (const SimFrame& f : sim.Frames())
        if (f.valid && f.bytes == ByteString(DataRequest.begin(), DataRequest.end()))
            requests.push_back(f.time);
    ASSERT_EQ(requests.size(), 7u);
    // The simulator stamps a request when it has read it, so a late read shortens one
    // period and lengthens the next: judge the span of all six, not single periods.
    const double span =
        std::chrono::duration<double, std::milli>(requests.back() - requests.front()).count();
    EXPECT_GE(span, 6 * delay - 30.0);
    EXPECT_LT(span, 6 * delay * 1.5); // one delay a cycle, not two
    EXPECT_EQ(host.steps.size(), 7u);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
}

TEST_F(LiveSession, NoAnswerEndsTheFirstCycleWithTheBrokenLinkBox) {
    for (const SimFault fault : {SimFault::Silence, SimFault::EchoOnly}) {
        SCOPED_TRACE(fault == SimFault::Silence ? "silence" : "echo only");
        sim.Stop();
        SimOptions o = Fast();
        o.faults = {FaultAt(fault, {1})};
        StartSim(o);
        boxes.boxes.clear();
        host.ForgetSteps();
        OpenPort();
        QElapsedTimer clock;
        clock.start();
        RunLivePoll();
        EXPECT_GE(clock.elapsed(), host.delayMs - 1);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].caption, BrokenLink);
        EXPECT_EQ(boxes.boxes[0].text, QString::fromUtf8(text::BrokenLinkText));
        EXPECT_EQ(boxes.boxes[0].icon, MessageIcon::Error);
        EXPECT_TRUE(host.steps.empty());
        EXPECT_TRUE(comm.Connected()) << "the port stays open";
        EXPECT_EQ(FramesReceived().size(), 1u);
        EXPECT_EQ(Delivered().size(), fault == SimFault::Silence ? 0u : 4u);
        comm.CloseComm();
    }
}

TEST_F(LiveSession, MalformedCyclesKeepTheLastValuesAndStillStepThePage) {
    // Cycle 2 answers only half, cycle 3 has a stray byte ahead of the echo.
    SimOptions o = Fast();
    o.faults = {FaultAt(SimFault::Partial, {2}), FaultAt(SimFault::StrayByte, {3})};
    o.strayByte = 0x5A;
    StartSim(o);
    OpenPort();
    std::vector<bool> decoded;
    host.onStep = [&](const Step&) { decoded.push_back(link.LastCycleDecoded()); };
    StopAtCycle(3);
    RunLivePoll();
    ASSERT_EQ(host.steps.size(), 4u);
    EXPECT_EQ(decoded, (std::vector<bool>{true, false, false, true}));
    EXPECT_EQ(host.undecodedCounts, (std::vector<int>{0, 1, 2, 0})) << "counted in a row";
    EXPECT_EQ(host.steps[1].engine, host.steps[0].engine);
    EXPECT_EQ(host.steps[2].engine, host.steps[0].engine);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
}

// The reader holds a burst for several of its gaps before it posts it. A wait's deadline
// that falls inside that hold takes what the reader holds and what the port has received
// since, so a cycle whose answer came in time decodes instead of breaking the link.
TEST_F(LiveSession, BytesThatReachedThePortBeforeTheDeadlineCountForTheCycle) {
    test::Pty line;
    LinkCom1(line.SlavePath());
    host.delayMs = 500;
    OpenPort();
    // At 10 baud two characters take two seconds: the reader, having read the echo, sleeps
    // far past the deadline before it would post anything.
    constexpr std::uint32_t SlowBaud = 10;
    comm.SetBaudRate(SlowBaud);
    SimEngine engine;
    engine.coolantC = 87.0;
    const ByteString exchange = ExpectedExchange(engine, EngineVariant::Sohc);
    std::thread peer([&] {
        if (line.Read(EchoLength).size() != EchoLength)
            return;
        line.Write(exchange.data(), EchoLength);
        // The answer meets the reader asleep: it stays in the port until the deadline.
        std::this_thread::sleep_for(30ms);
        line.Write(exchange.data() + EchoLength, exchange.size() - EchoLength);
    });
    host.onStep = [&](const Step&) { host.Stop(); };
    RunLivePoll();
    peer.join();
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
    ASSERT_EQ(host.steps.size(), 1u);
    EXPECT_TRUE(link.LastCycleDecoded());
    ByteString rx = exchange;
    EngineData expected;
    ASSERT_TRUE(DecodeExchange(rx, expected, EngineVariant::Sohc));
    EXPECT_EQ(host.steps[0].engine, expected);
}

TEST_F(LiveSession, AControlReplyThatCameWhileTheThreadWasHeldUpIsTakenInItsOwnWait) {
    // Frames count: data 1, control 2, data 3, ... The reply to the first control
    // frame comes 30 ms late, while the UI thread is stalled in the 50 ms wait. The
    // wait's last pass still takes it, so it does not lead the next cycle's buffer
    // and that cycle decodes.
    SimOptions o = Fast();
    o.faults = {FaultAt(SimFault::Delayed, {2}, true)};
    o.faultDelay = 30ms;
    StartSim(o);
    host.pages = {PageControl};
    OpenPort();
    link.ControlPageShown();
    // The stall lasts until the simulator has written the reply, and then long enough
    // for the reader to hand it on, however late a loaded machine makes either.
    constexpr std::size_t ControlReply = 4; // the mode 4 frame without data
    std::vector<bool> decoded;
    host.onStep = [&](const Step& s) {
        decoded.push_back(link.LastCycleDecoded());
        if (s.cycle != 0)
            return;
        const std::size_t replied = sim.SentBytes().size() + ControlFrameLength + ControlReply;
        QTimer::singleShot(10, [this, replied] {
            const auto start = std::chrono::steady_clock::now();
            while (sim.SentBytes().size() < replied &&
                   std::chrono::steady_clock::now() < start + 5s)
                std::this_thread::sleep_for(1ms);
            std::this_thread::sleep_for(100ms);
        });
    };
    host.onCycle = [&](int c) {
        if (c == 2)
            host.Stop();
    };
    RunLivePoll();
    EXPECT_EQ(decoded, (std::vector<bool>{true, true, true}));
    // The third cycle's control frame is refused: the port is closed by then.
    EXPECT_EQ(Captions(boxes), std::vector<QString>{SendFailure});
    ASSERT_EQ(host.steps.size(), 3u);
}

TEST_F(LiveSession, ClosedPortSendsNothing) {
    StartSim(Fast());
    RunLivePoll();
    EXPECT_EQ(host.cycles, 0);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
    EXPECT_FALSE(sim.WaitForFrames(1, 200ms));
}

// Stop is the user's end of the session, never a broken link, wherever in a cycle it lands;
// a cycle without an answer on a port left open still shows the box (NoAnswer... above).
TEST_F(LiveSession, StopBeforeOrAfterTheAnswerEndsTheLoopWithoutABox) {
    // Stop once the running cycle's buffer holds `bytes`, looking every millisecond.
    std::function<void(std::size_t)> stopAt = [&](std::size_t bytes) {
        if (state.RxBuffer.size() >= bytes)
            host.Stop();
        else
            QTimer::singleShot(1, [&, bytes] { stopAt(bytes); });
    };
    // Before: cycle 2's answer comes a second late and Stop lands once its echo is in.
    {
        SimOptions o = Fast();
        o.faults = {FaultAt(SimFault::Delayed, {2})};
        o.faultDelay = 1000ms;
        StartSim(o);
        host.delayMs = 1500;
        OpenPort();
        host.onStep = [&](const Step& s) {
            if (s.cycle == 0)
                QTimer::singleShot(1, [&] { stopAt(EchoLength); });
        };
        RunLivePoll();
        EXPECT_EQ(host.steps.size(), 1u);
        EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
        EXPECT_FALSE(comm.Connected());
        EXPECT_EQ(Delivered().size() % 68, 4u) << "only the echo of the last request";
    }
    sim.Stop();
    boxes.boxes.clear();
    host.ForgetSteps();
    // After: the answer is in by the time Stop lands; the cycle completes quietly.
    {
        StartSim(Fast());
        host.delayMs = 400;
        OpenPort();
        host.onStep = [&](const Step& s) {
            if (s.cycle == 0)
                QTimer::singleShot(1, [&] { stopAt(68); });
        };
        RunLivePoll();
        ASSERT_EQ(host.steps.size(), 2u);
        EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
        EXPECT_NE(host.steps[1].engine, EngineData{});
    }
}

TEST_F(LiveSession, StopOnTheControlPageRefusesTheFrameOnceOrEndsQuietly) {
    // Stop while the answer is in, before the control frame: one send-failure box.
    StartSim(Fast());
    host.delayMs = 300;
    host.pages = {PageControl};
    OpenPort();
    link.ControlPageShown();
    host.onStep = [&](const Step& s) {
        if (s.cycle == 0)
            QTimer::singleShot(150, [&] { host.Stop(); });
    };
    RunLivePoll();
    EXPECT_EQ(Captions(boxes), std::vector<QString>{SendFailure});
    EXPECT_EQ(boxes.boxes[0].icon, MessageIcon::Error);
    EXPECT_EQ(host.steps.size(), 2u);

    // Stop inside the 50 ms wait after the control frame: no box at all.
    boxes.boxes.clear();
    host.ForgetSteps();
    OpenPort();
    host.onStep = [&](const Step& s) {
        if (s.cycle == 1)
            QTimer::singleShot(10, [&] { host.Stop(); });
    };
    RunLivePoll();
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
    EXPECT_EQ(host.steps.size(), 2u);
}

// Start pressed again and again while polling starts no second loop: when the link then
// breaks, one box says so, and every request belongs to the one loop's cycles.
TEST_F(LiveSession, StartWhilePollingStartsNoSecondLoop) {
    SimOptions o = Fast();
    o.faults = {FaultAt(SimFault::Silence, {4})};
    StartSim(o);
    OpenPort();
    int presses = 0;
    host.onStep = [&](const Step& s) {
        if (s.cycle == 0) // lands in the loop's second wait
            QTimer::singleShot(20, [&] {
                for (; presses < 5; ++presses)
                    files.StartClick();
            });
    };
    RunLivePoll();
    EXPECT_EQ(presses, 5);
    EXPECT_EQ(Captions(boxes), std::vector<QString>{BrokenLink});
    EXPECT_EQ(host.steps.size(), 3u);
    EXPECT_EQ(sim.DataRequests(), 4u);
    EXPECT_FALSE(link.Polling());
}

TEST_F(LiveSession, ResetDuringASessionReopensThePortAndNestsItsLoop) {
    StartSim(Fast());
    OpenPort();
    host.onStep = [&](const Step& s) {
        if (s.cycle == 0)
            QTimer::singleShot(20, [&] { link.ResetEcuClick(); });
        if (s.cycle == 2) // the reset's own loop, second cycle
            host.Stop();
    };
    RunLivePoll();
    const auto frames = FramesReceived();
    const auto data = ByteString(DataRequest.begin(), DataRequest.end());
    const auto reset = ByteString(ResetRequest.begin(), ResetRequest.end());
    const auto zero = ByteString(ModeZeroRequest.begin(), ModeZeroRequest.end());
    EXPECT_EQ(frames, (std::vector<ByteString>{data, data, reset, zero, data, data}));
    EXPECT_EQ(host.portOpens, 2);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].text, QString::fromUtf8(text::ResetPrompt));
    EXPECT_EQ(boxes.boxes[1].text, QString::fromUtf8(text::ResetDone));
    // Outer cycle 1, the reset's two cycles, then the outer's interrupted cycle.
    EXPECT_EQ(host.steps.size(), 4u);
    EXPECT_FALSE(comm.Connected());
}

// Ending for a quit: every nested loop returns, without waiting out its poll delay.
TEST_F(LiveSession, EndLoopsEndsEveryNestedLoop) {
    StartSim(Fast());
    OpenPort();
    constexpr std::int32_t LongDelayMs = 10000; // only an interrupted wait ends in time
    int loopsAtEnd = 0;
    host.onStep = [&](const Step& s) {
        if (s.cycle != 0)
            return;
        state.PollDelay = LongDelayMs;
        // A loop of its own, as a reset runs; Start would not nest one.
        QTimer::singleShot(20, [&] { session.RunLoop([&] { link.LivePoll(); }); });
        QTimer::singleShot(300, [&] {
            loopsAtEnd = sim.DataRequests() >= 3 && session.LoopRunning() ? 2 : 0;
            session.EndLoops();
        });
    };
    QElapsedTimer clock;
    clock.start();
    session.RunLoop([&] { RunLivePoll(); });
    EXPECT_LT(clock.elapsed(), LongDelayMs);
    EXPECT_EQ(loopsAtEnd, 2) << "the inner loop had not started";
    EXPECT_FALSE(session.LoopRunning());
    EXPECT_FALSE(comm.Connected());
}

// An error that leaves a loop's handler is shown once, and the nesting count recovers.
TEST_F(LiveSession, RunLoopShowsWhatLeavesItsHandler) {
    bool nested = false;
    session.RunLoop([&] {
        session.RunLoop([&] {
            nested = session.LoopRunning();
            throw std::runtime_error("inner");
        });
        EXPECT_TRUE(session.LoopRunning());
    });
    EXPECT_TRUE(nested);
    EXPECT_FALSE(session.LoopRunning());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("inner"));
}

// The logger has no footer and no file dialogs: the file buttons then choose nothing.
TEST_F(LiveSession, WithoutFileDialogsTheFileButtonsArmNothing) {
    Session bare(host, boxes, nullptr, nullptr);
    bare.Files().SaveFileClick();
    bare.Files().OpenFileClick();
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
    EXPECT_FALSE(bare.State().Flags.RecordArmed);
    EXPECT_FALSE(bare.State().Flags.PlaybackArmed);
}

} // namespace
} // namespace ecu::testing
