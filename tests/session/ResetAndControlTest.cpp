// The ECU reset exchange and the control frame, as the simulator receives them.
#include "SessionHarness.h"

#include "session/Messages.h"
#include "wire/Frames.h"

#include <QTimer>

#include <numeric>
#include <stdexcept>
#include <utility>

namespace ecu::testing {
namespace {

const ByteString Data(DataRequest.begin(), DataRequest.end());
const ByteString Reset(ResetRequest.begin(), ResetRequest.end());
const ByteString Zero(ModeZeroRequest.begin(), ModeZeroRequest.end());

QString T(const char* s) {
    return QString::fromUtf8(s);
}

SimFaultRule FirstFrame(SimFault fault) {
    SimFaultRule r;
    r.fault = fault;
    r.cycles = {1};
    r.allFrames = true;
    return r;
}

class EcuReset : public SessionTest {
protected:
    // Runs the reset with the port open and lets its live loop make one cycle.
    void RunReset() {
        host.onStep = [this](const Step&) { host.Stop(); };
        link.ResetEcuClick();
    }
    std::vector<QString> Texts() const {
        std::vector<QString> out;
        for (const Box& b : boxes.boxes) {
            EXPECT_EQ(b.caption, T(text::ResetCaption));
            out.push_back(b.text);
        }
        return out;
    }
};

TEST_F(EcuReset, AcknowledgedResetSendsModeZeroAndResumesPolling) {
    StartSim(Fast());
    OpenPort();
    host.pages = {PageAbout, PageParameters}; // polling resumes whatever the page
    RunReset();
    EXPECT_EQ(FramesReceived(), (std::vector<ByteString>{Reset, Zero, Data, Data}));
    ASSERT_EQ(Texts(), (std::vector<QString>{T(text::ResetPrompt), T(text::ResetDone)}));
    EXPECT_EQ(boxes.boxes[0].icon, MessageIcon::Information);
    EXPECT_EQ(boxes.boxes[1].icon, MessageIcon::Information);
    EXPECT_EQ(host.portOpens, 2);
    EXPECT_EQ(host.steps.size(), 1u);
}

TEST_F(EcuReset, RefusedOrSilentResetReportsFailureAndStillPolls) {
    for (const SimFault fault : {SimFault::Garbage, SimFault::Partial, SimFault::Silence}) {
        SCOPED_TRACE(static_cast<int>(fault));
        sim.Stop();
        SimOptions o = Fast();
        o.faults = {FirstFrame(fault)};
        o.partialBytes = 3; // the answer stops short of its first data byte
        StartSim(o);
        boxes.boxes.clear();
        host.ForgetSteps();
        OpenPort();
        const std::size_t before = Delivered().size();
        RunReset();
        if (fault == SimFault::Garbage) {
            ASSERT_GE(Delivered().size(), before + 8);
            ASSERT_NE(Delivered()[before + 7], 0xAA) << "the garbage happens to acknowledge";
        }
        EXPECT_EQ(FramesReceived(), (std::vector<ByteString>{Reset, Data}));
        ASSERT_EQ(Texts(), (std::vector<QString>{T(text::ResetPrompt), T(text::ResetFailed)}));
        EXPECT_EQ(boxes.boxes.back().icon, MessageIcon::Error);
        EXPECT_EQ(host.steps.size(), 1u);
    }
}

TEST_F(EcuReset, ClosedPortIsOpenedFirstAndAnUnopenablePortEndsTheReset) {
    StartSim(Fast());
    RunReset(); // the port was never opened
    EXPECT_EQ(FramesReceived(), (std::vector<ByteString>{Reset, Zero, Data}));

    boxes.boxes.clear();
    host.port = QStringLiteral("COM2"); // leads nowhere
    link.ResetEcuClick();
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].text, T(text::ResetPrompt));
    EXPECT_EQ(boxes.boxes[1].caption, T(text::ApplicationTitle));
    // The component's text, and under it the port, where it led and why it failed.
    EXPECT_EQ(boxes.boxes[1].text,
              QString::fromStdString("Error opening com port\nCOM2 (" + TempPath("absent") +
                                     "): No such file or directory"));
    EXPECT_EQ(boxes.boxes[1].icon, MessageIcon::Error);
    EXPECT_FALSE(comm.Connected());
}

class ControlPage : public SessionTest {};

ControlBytes Framed(std::initializer_list<std::pair<int, std::uint8_t>> bytes) {
    ControlBytes f = ControlFrameDefault;
    for (const auto& [position, value] : bytes)
        f[position - 1] = value;
    const auto sum = std::accumulate(f.begin(), f.end() - 1, 0u);
    f.back() = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
    return f;
}

TEST_F(ControlPage, EachCycleSendsTheEditedFrameAndLeavingSendsTheDefault) {
    StartSim(Fast());
    host.pages = {PageControl};
    OpenPort();
    link.ControlPageShown();
    ControlFrame& f = state.Control;
    const ControlLayout& l = state.Layout;
    host.onStep = [&](const Step& s) {
        switch (s.cycle) { // edits made in a cycle's refresh go out in that cycle
        case 0:
            f.CheckEngieOn(l);
            f.CheckEngieOn(l);
            break;
        case 1:
            f.CarlsonOn(l);
            break;
        case 2:
            f.CheckEngieOff(l);
            break;
        case 3:
            f.ClearFaults(l);
            f.ResetLearning(l);
            break;
        case 4:
            f.ClearFaults(l);
            f.SetIacTarget(l, 200);
            break;
        case 5:
            f.CancelIac(l);
            break;
        case 6: // the page is left during the wait after this cycle's frame
            QTimer::singleShot(10, [&] {
                host.pages = {PageParameters};
                link.RestoreAndSendControlFrame();
            });
            break;
        case 7:
            host.Stop();
            break;
        }
    };
    RunLivePoll();
    std::vector<ControlBytes> sent;
    for (const auto& frame : FramesReceived())
        if (frame.size() == ControlFrameLength)
            std::copy(frame.begin(), frame.end(), sent.emplace_back().begin());
    const std::vector<ControlBytes> expected = {
        Framed({{4, 0x01}, {5, 0x01}}),
        Framed({{4, 0x03}, {5, 0x03}}),
        Framed({{4, 0x02}, {5, 0x02}}),
        Framed({{4, 0x02}, {5, 0x02}, {6, 0x50}}),
        Framed({{4, 0x02}, {5, 0x02}, {6, 0x50}, {10, 0x01}, {11, 0xC8}}),
        Framed({{4, 0x02}, {5, 0x02}, {6, 0x50}}),
        Framed({{4, 0x02}, {5, 0x02}, {6, 0x50}}), // commands repeat every cycle
        ControlFrameDefault,                       // left: the default, once
    };
    ASSERT_EQ(sent, expected);
    EXPECT_EQ(sent[4][13], 0x100 - ((0x58 + 2 + 2 + 0x50 + 1 + 0xC8) & 0xFF));
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
}

TEST_F(ControlPage, LeavingWithThePortClosedShowsTheSendFailureOnce) {
    link.RestoreAndSendControlFrame();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, T(text::SendFailureCaption));
    EXPECT_EQ(state.Control.Bytes, ControlFrameDefault);
}

TEST_F(ControlPage, GuardedSendsHandAnErrorOfTheirWaitToTheRunningLoopOrShowIt) {
    StartSim(Fast());
    OpenPort();
    // A receive handler's error as the component hands it on, at the first look at the
    // events inside the next wait: however late the ECU's reply comes.
    const auto failInTheNextWait = [this] {
        QTimer::singleShot(0, [this] {
            comm.OnHandlerError(std::make_exception_ptr(std::runtime_error("handler failed")));
        });
    };
    // No loop runs: the default box shows it.
    failInTheNextWait();
    EXPECT_NO_THROW(link.RestoreAndSendControlFrameGuarded());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, T(text::ApplicationTitle));
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("handler failed"));
    // The page left while polling: the error ends the loop, as in any wait of it.
    boxes.boxes.clear();
    host.onStep = [&](const Step& s) {
        if (s.cycle == 1)
            QTimer::singleShot(10, [&] {
                failInTheNextWait();
                link.RestoreAndSendControlFrameGuarded();
            });
    };
    RunLivePoll();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, T(text::BrokenLinkCaption));
    EXPECT_EQ(host.steps.size(), 2u) << "the loop went on after the failed cycle";
    EXPECT_TRUE(comm.Connected());
}

} // namespace
} // namespace ecu::testing
