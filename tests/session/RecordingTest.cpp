// Recording live sessions to a data file and playing files back.
#include "../record/FileLimits.h"
#include "../session/SessionHarness.h"

#include "record/Records.h"
#include "session/Messages.h"
#include "wire/Frames.h"

#include <QTimer>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sys/stat.h>

namespace ecu::testing {
namespace {

constexpr std::size_t Sohc = 68;
const ByteString Echo(DataRequest.begin(), DataRequest.end());

QString T(const char* s) {
    return QString::fromUtf8(s);
}

// The file as whole exchanges: every one starts with the echo of the data request.
std::size_t ExchangesIn(const std::vector<std::uint8_t>& bytes) {
    EXPECT_EQ(bytes.size() % Sohc, 0u);
    for (std::size_t at = 0; at + Sohc <= bytes.size(); at += Sohc)
        EXPECT_TRUE(std::equal(Echo.begin(), Echo.end(), bytes.begin() + at)) << "at " << at;
    return bytes.size() / Sohc;
}

class Recording : public SessionTest {
protected:
    void SetUp() override {
        StartSim(Fast());
        OpenPort();
        path = TempPath("rec.bin");
        host.saveChoice = QString::fromStdString(path);
    }
    void StopAtCycle(int cycle) {
        host.onCycle = [this, cycle](int c) {
            if (c == cycle)
                host.Stop();
        };
    }
    std::string path;
};

TEST_F(Recording, SaveArmsRecordingFromTheSecondCycle) {
    files.SaveFileClick();
    EXPECT_TRUE(state.Flags.RecordArmed);
    EXPECT_FALSE(state.Flags.PlaybackArmed);
    EXPECT_EQ(host.fileLabel, T(text::RecordingTo) + "rec.bin");
    StopAtCycle(4);
    RunLivePoll();
    EXPECT_EQ(ExchangesIn(ReadFileBytes(path)), 4u); // cycles 2 to 5
}

TEST_F(Recording, WhatIsRecordedFollowsThePageOfTheCycleBefore) {
    files.SaveFileClick();
    // The flag is set after each cycle's bytes have come: setup and about keep it,
    // the control page clears it before its frame goes out, graphs set it again.
    host.pages = {PageParameters, PageParameters, PageAbout,  PageSetup,     PageControl,
                  PageControl,    PageGraphs,     PageGraphs, PageParameters};
    link.ControlPageShown();
    StopAtCycle(8);
    RunLivePoll();
    // Recorded: cycles 2, 3, 4, 5 (its control frame is not), 8 and 9.
    EXPECT_EQ(ExchangesIn(ReadFileBytes(path)), 6u);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
}

TEST_F(Recording, StopBeforeTheAnswerCarriesRecordingIntoTheNextStart) {
    comm.CloseComm();
    sim.Stop();
    SimOptions o = Fast();
    SimFaultRule echoOnly;
    echoOnly.fault = SimFault::EchoOnly;
    echoOnly.cycles = {3};
    o.faults = {echoOnly};
    StartSim(o);
    OpenPort();
    files.SaveFileClick();
    // Stop in the third cycle's wait, which gets only the echo, once that echo is in:
    // timers run only while a wait handles events, so the first look is in that wait.
    std::function<void()> stopAfterEcho = [this, &stopAfterEcho] {
        if (state.RxBuffer.size() >= EchoLength)
            host.Stop();
        else
            QTimer::singleShot(1, stopAfterEcho);
    };
    host.onStep = [&stopAfterEcho](const Step& s) {
        if (s.cycle == 1)
            QTimer::singleShot(1, stopAfterEcho);
    };
    RunLivePoll();
    EXPECT_TRUE(boxes.boxes.empty()) << "the user's stop is no broken link";
    EXPECT_FALSE(state.Flags.RecordArmed);
    EXPECT_TRUE(state.Flags.RecordingActive) << "kept over the stop";

    host.onStep = nullptr;
    host.OpenPort();
    StopAtCycle(2);
    RunLivePoll();
    // Cycle 2, the lone echo of cycle 3, then only the first cycle after Start.
    const auto bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), Sohc + EchoLength + Sohc);
    for (const std::size_t at : {std::size_t{0}, Sohc, Sohc + EchoLength})
        EXPECT_TRUE(std::equal(Echo.begin(), Echo.end(), bytes.begin() + at)) << "at " << at;
}

TEST_F(Recording, LiveModePausesOneCycleOnly) {
    files.SaveFileClick();
    host.onStep = [this](const Step& s) {
        if (s.cycle == 1) {
            state.Flags.WorkingModeChosen(WorkingMode::Live);
            EXPECT_FALSE(state.Flags.RecordingActive);
            EXPECT_TRUE(state.Flags.RecordArmed);
        }
    };
    StopAtCycle(4);
    RunLivePoll();
    // Cycle 2 recorded; mode 0 after it keeps cycle 3 out; cycle 3's page step arms
    // recording again for cycles 4 and 5.
    EXPECT_EQ(ExchangesIn(ReadFileBytes(path)), 3u);
}

// The control page left inside a cycle's wait, its answer still to come: the control
// frame's echo comes ahead of the answer and its reply after it, and the cycle records no
// more than one record's worth, so the file stays whole cycles.
TEST_F(Recording, AControlFrameSentBeforeTheAnswerKeepsTheRecordToOneCycle) {
    comm.CloseComm();
    sim.Stop();
    SimOptions o = Fast();
    SimFaultRule late; // the second data request's answer
    late.fault = SimFault::Delayed;
    late.cycles = {2};
    o.faults = {late};
    o.faultDelay = std::chrono::milliseconds(300);
    StartSim(o);
    host.delayMs = 1000; // room for the late answer inside the cycle
    OpenPort();
    files.SaveFileClick();
    std::size_t heldAtSend = Sohc;
    std::function<void()> leaveOnceEchoed = [&] {
        if (state.RxBuffer.size() < EchoLength) {
            QTimer::singleShot(1, leaveOnceEchoed);
            return;
        }
        heldAtSend = state.RxBuffer.size();
        host.pages = {PageControl};
        link.ControlPageShown();
        host.pages = {PageParameters};
        link.RestoreAndSendControlFrameGuarded();
    };
    host.onStep = [&](const Step& s) {
        if (s.cycle == 0)
            QTimer::singleShot(1, leaveOnceEchoed);
    };
    StopAtCycle(2);
    RunLivePoll();
    ASSERT_TRUE(boxes.boxes.empty()) << boxes.boxes[0].caption.toStdString();
    ASSERT_LT(heldAtSend, Sohc) << "the answer was in before the control frame went out";
    EXPECT_EQ(sim.Counts().controlFrames, 1u);
    EXPECT_EQ(ExchangesIn(ReadFileBytes(path)), 2u); // cycles 2 and 3
}

TEST_F(Recording, SavingOntoAnExistingFileNeedsConfirmation) {
    std::ofstream(path) << "keep me";
    host.confirmOverwrite = false;
    files.SaveFileClick();
    EXPECT_FALSE(state.File.IsOpen());
    EXPECT_FALSE(state.Flags.RecordArmed);
    EXPECT_EQ(ReadFileBytes(path).size(), 7u);
    host.confirmOverwrite = true;
    files.SaveFileClick();
    EXPECT_TRUE(state.Flags.RecordArmed);
    EXPECT_TRUE(ReadFileBytes(path).empty());
}

TEST_F(Recording, FullDiskEndsTheSessionWithOneMessageAndStopsRecording) {
    files.SaveFileClick();
    host.onCycle = [this](int c) {
        if (c == 3) { // the next recording goes nowhere
            host.saveChoice = QStringLiteral("/dev/full");
            files.SaveFileClick();
        }
    };
    RunLivePoll(); // ends by itself
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, T(text::ApplicationTitle));
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("/dev/full: No space left on device"));
    EXPECT_EQ(ExchangesIn(ReadFileBytes(path)), 3u);
    EXPECT_TRUE(comm.Connected()) << "the link is fine: the port stays open";
    EXPECT_TRUE(state.RxBuffer.empty()) << "the failing byte is not appended";
    EXPECT_FALSE(state.Flags.RecordingActive);
    EXPECT_FALSE(state.Flags.RecordArmed) << "a new file must be chosen to record again";
}

TEST_F(Recording, FullDiskInAPacedSessionKeepsEveryByteBeforeItAndSaysSoOnce) {
    // Paced like a real line: every byte of an answer arrives in a block of its own.
    comm.CloseComm();
    sim.Stop();
    StartSim(SimOptions{});
    OpenPort();
    files.SaveFileClick();
    constexpr std::size_t Limit = 3 * Sohc + 30; // three cycles, then 30 bytes of the fourth
    {
        FileSizeLimit limit(Limit);
        RunLivePoll();
        link.WaitMs(300); // the rest of that answer comes in and goes nowhere
    }
    ASSERT_EQ(boxes.boxes.size(), 1u) << boxes.Shown();
    EXPECT_EQ(boxes.boxes[0].caption, T(text::ApplicationTitle));
    EXPECT_EQ(boxes.boxes[0].text, QString::fromStdString(path + ": File too large"));
    EXPECT_EQ(boxes.boxes[0].icon, MessageIcon::Error);
    EXPECT_FALSE(state.Flags.RecordingActive);
    EXPECT_TRUE(comm.Connected());
    // Whole exchanges, then the start of one: a run of what was received.
    const auto bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), Limit);
    for (std::size_t at = 0; at + Echo.size() <= Limit; at += Sohc)
        EXPECT_TRUE(std::equal(Echo.begin(), Echo.end(), bytes.begin() + at)) << "at " << at;
    const auto& got = Delivered();
    EXPECT_NE(std::search(got.begin(), got.end(), bytes.begin(), bytes.end()), got.end())
        << "the file is not what was received";
}

TEST_F(Recording, AReceivedBlockIsOneWriteOnDiskBeforeTheHandlerReturns) {
    files.SaveFileClick();
    state.Flags.RecordingActive = true;
    std::vector<std::uint8_t> block(3000);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i % 251);
    state.RxBuffer.clear();
    const long before = WriteCalls();
    ASSERT_GE(before, 0) << "no write accounting in /proc";
    link.ComPortReceiveData(block.data(), static_cast<std::uint16_t>(block.size()));
    EXPECT_EQ(WriteCalls() - before, 1);
    EXPECT_EQ(ReadFileBytes(path), block);
    EXPECT_EQ(state.RxBuffer, ByteString(block.begin(), block.end()));
}

class Playback : public Recording {
protected:
    // Records `cycles` cycles (the first is not recorded) and returns what the
    // parameters page showed for the recorded ones.
    std::vector<EngineData> RecordSession(int cycles) {
        files.SaveFileClick();
        StopAtCycle(cycles - 1);
        RunLivePoll();
        std::vector<EngineData> shown;
        for (std::size_t i = 1; i < host.steps.size(); ++i)
            shown.push_back(host.steps[i].engine);
        host.ForgetSteps();
        return shown;
    }
    void WriteFile(const std::vector<std::uint8_t>& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    void Open() {
        host.openChoice = QString::fromStdString(path);
        files.OpenFileClick();
    }
};

TEST_F(Playback, PlaysBackTheValuesTheLiveSessionShowed) {
    const auto live = RecordSession(5);
    host.OpenPort();
    Open();
    EXPECT_FALSE(comm.Connected()) << "opening a file closes the port";
    EXPECT_EQ(host.portClosedByPlayback, 1);
    EXPECT_EQ(host.fileLabel, T(text::PlayingFrom) + "rec.bin");
    EXPECT_TRUE(state.Flags.PlaybackArmed);
    EXPECT_FALSE(state.Flags.RecordArmed);
    EXPECT_FALSE(state.Flags.RecordingActive);
    state.Engine = EngineData{};
    files.StartClick();
    ASSERT_EQ(host.steps.size(), live.size());
    for (std::size_t i = 0; i < live.size(); ++i)
        EXPECT_EQ(host.steps[i].engine, live[i]) << "record " << i;
    EXPECT_EQ(host.progressMaximum, 4);
    EXPECT_EQ(host.progressPosition, 4);
    EXPECT_TRUE(host.progressVisible && host.percentLabelsVisible);
    EXPECT_EQ(host.graphResets, 1);
    // Start again plays the same file from its beginning.
    host.ForgetSteps();
    files.StartClick();
    EXPECT_EQ(host.steps.size(), live.size());
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
    EXPECT_EQ(sim.DataRequests(), 5u) << "playback sends nothing";
}

TEST_F(Playback, EmptyFileAndPartialLastRecord) {
    WriteFile({});
    Open();
    files.StartClick();
    EXPECT_EQ(host.graphResets, 1);
    EXPECT_EQ(host.progressMaximum, 0);
    EXPECT_TRUE(host.progressVisible);
    EXPECT_EQ(host.cycles, 0);
    EXPECT_EQ(boxes.boxes.size(), 1u) << "nothing decoded, said once";
    boxes.boxes.clear();

    auto two = ExpectedExchange(sim.LastAnswered(), EngineVariant::Sohc);
    const auto one = two;
    two.insert(two.end(), one.begin(), one.end());
    two.insert(two.end(), one.begin(), one.begin() + 10);
    WriteFile(two);
    files.StartClick();
    EXPECT_EQ(host.progressMaximum, 2);
    EXPECT_EQ(host.progressPosition, 2);
    EXPECT_EQ(host.steps.size(), 2u);
    EXPECT_TRUE(boxes.boxes.empty()) << "a partial record ends playback silently";
}

// A tick that passes each pause at once, without a turn of the event loop.
class JumpingTicks : public TickSource {
public:
    std::uint32_t Now() override { return now_ += 1000; }

private:
    std::uint32_t now_ = 0;
};

TEST_F(Playback, ReadsTheFileARecordAtATime) {
    const auto cycle = ExpectedExchange(sim.LastAnswered(), EngineVariant::Sohc);
    std::vector<std::uint8_t> bytes;
    for (int k = 0; k < 40; ++k)
        bytes.insert(bytes.end(), cycle.begin(), cycle.end());
    WriteFile(bytes);
    JumpingTicks fast;
    TComm32 idle;
    LinkSession quickLink{state, idle, host, boxes, fast};
    FileSession quick{state, idle, host, host, host, boxes, quickLink};
    host.openChoice = QString::fromStdString(path);
    quick.OpenFileClick();
    const long reads = ReadCallsDuring([&] { quick.StartClick(); });
    ASSERT_GE(reads, 0) << "no read accounting in /proc";
    EXPECT_EQ(host.steps.size(), 40u);
    EXPECT_EQ(host.progressPosition, 40);
    // The index of the records is built from large blocks first.
    EXPECT_LE(reads, 40 + 3) << "a read per record and a few for the index, not one per byte";
}

// A partial answer costs its own cycle only and a stray byte after an answer none: the
// cycles after them play with the values the live session showed, and the bar still
// reaches its end.
TEST_F(Playback, DamagedCyclesAreSkippedWithoutShiftingTheRest) {
    const auto live = RecordSession(6); // five SOHC exchanges
    auto bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 5 * kSohcRecordSize);
    bytes.insert(bytes.begin() + 4 * 68, 0x00);                   // a stray byte after cycle 3
    bytes.erase(bytes.begin() + 68 + 30, bytes.begin() + 2 * 68); // cycle 1 cut short
    WriteFile(bytes);
    Open();
    state.Engine = EngineData{};
    files.StartClick();
    ASSERT_EQ(host.steps.size(), 4u);
    EXPECT_EQ(host.steps[0].engine, live[0]);
    EXPECT_EQ(host.steps[1].engine, live[2]);
    EXPECT_EQ(host.steps[2].engine, live[3]);
    EXPECT_EQ(host.steps[3].engine, live[4]);
    EXPECT_EQ(host.progressMaximum, 4);
    EXPECT_EQ(host.progressPosition, 4);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
}

// Under the other variant's size no cycle lands on the next echo: nothing misaligned is
// shown, the cycles count as damaged and move the bar.
TEST_F(Playback, WrongVariantShowsNoMisalignedRecord) {
    RecordSession(6); // five SOHC exchanges: 340 bytes
    Open();
    host.variant = EngineVariant::Dohc;
    host.pages = {PageGraphs};
    files.StartClick();
    EXPECT_TRUE(host.steps.empty());
    EXPECT_EQ(host.progressMaximum, 4);
    EXPECT_EQ(host.progressPosition, 3) << "four cycles skipped, the last one is partial";
    EXPECT_EQ(host.graphResets, 1);
}

// A playback that decodes nothing says so once at its end, and names the other variant
// when the file's records fit it: a DOHC recording played as SOHC is no dead end.
TEST_F(Playback, NothingDecodedSaysSoNamingTheVariantThatFits) {
    const auto exchanges = [&](EngineVariant v, int n) {
        std::vector<std::uint8_t> bytes;
        for (int k = 0; k < n; ++k) {
            const auto one = ExpectedExchange(sim.LastAnswered(), v);
            bytes.insert(bytes.end(), one.begin(), one.end());
        }
        return bytes;
    };
    std::vector<std::uint8_t> noise(500);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<std::uint8_t>(i * 7 % 0xF4); // no device byte: no echo
    noise.insert(noise.begin(), Echo.begin(), Echo.end());
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        EngineVariant played;
        const char* named; // the variant the box proposes, if any
    };
    const Case cases[] = {
        {"DOHC played as SOHC", exchanges(EngineVariant::Dohc, 4), EngineVariant::Sohc, "DOHC"},
        {"SOHC played as DOHC", exchanges(EngineVariant::Sohc, 4), EngineVariant::Dohc, "SOHC"},
        {"line noise", noise, EngineVariant::Sohc, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(c.bytes);
        Open();
        boxes.boxes.clear();
        host.variant = c.played;
        files.StartClick();
        ASSERT_EQ(boxes.boxes.size(), 1u) << boxes.Shown();
        const Box& box = boxes.boxes[0];
        EXPECT_EQ(box.caption, T(text::NothingDecodedCaption));
        EXPECT_TRUE(box.text.contains(VariantName(c.played))) << box.text.toStdString();
        if (c.named)
            EXPECT_TRUE(box.text.contains(T(text::OtherVariantFits).arg(c.named)))
                << box.text.toStdString();
        else
            EXPECT_FALSE(box.text.contains('\n')) << box.text.toStdString();
    }
    // One record that decodes is enough for no box.
    auto mixed = exchanges(EngineVariant::Dohc, 2);
    const auto good = exchanges(EngineVariant::Sohc, 1);
    mixed.insert(mixed.end(), good.begin(), good.end());
    WriteFile(mixed);
    boxes.boxes.clear();
    host.variant = EngineVariant::Sohc;
    files.StartClick();
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
}

TEST_F(Playback, OtherPagesShowNothingButTheBarAdvances) {
    RecordSession(4);
    Open();
    host.pages = {PageControl};
    files.StartClick();
    EXPECT_TRUE(host.steps.empty());
    EXPECT_EQ(host.cycles, 3);
    EXPECT_EQ(host.progressPosition, 3);
}

TEST_F(Playback, AFileThatCannotBeOpenedChangesNothing) {
    files.SaveFileClick();
    const std::string folder = TempPath("folder");
    const std::string pipe = TempPath("pipe");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0); // would block an open that waits for a writer
    const std::pair<std::string, const char*> refused[] = {
        {TempPath("missing.bin"), "No such file or directory"},
        {folder, "Is a directory"},
        {pipe, "Illegal seek"},
    };
    for (const auto& [name, reason] : refused) {
        SCOPED_TRACE(name);
        boxes.boxes.clear();
        host.openChoice = QString::fromStdString(name);
        files.OpenFileClick();
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].caption, T(text::ApplicationTitle));
        EXPECT_EQ(boxes.boxes[0].text, QString::fromStdString(name + ": " + reason));
        EXPECT_TRUE(comm.Connected());
        EXPECT_TRUE(state.Flags.RecordArmed);
        EXPECT_FALSE(state.Flags.PlaybackArmed);
        EXPECT_EQ(host.fileLabel, T(text::RecordingTo) + "rec.bin");
        EXPECT_EQ(host.portClosedByPlayback, 0);
        EXPECT_EQ(state.File.Path(), path) << "the recording stays in the slot";
    }
}

TEST_F(Playback, ControlFramesStayOutOfTheRecording) {
    files.SaveFileClick();
    host.onStep = [this](const Step& s) {
        switch (s.cycle) {
        case 2: // the control page shown and left in the next cycle's wait, no cycle there
            QTimer::singleShot(10, [this] {
                host.pages = {PageControl};
                link.ControlPageShown();
                host.pages = {PageParameters};
                link.RestoreAndSendControlFrameGuarded();
            });
            break;
        case 5: // shown for cycles 6 and 7, left in the wait of cycle 8
            host.pages = {PageControl};
            link.ControlPageShown();
            break;
        case 7:
            QTimer::singleShot(80, [this] {
                host.pages = {PageParameters};
                link.RestoreAndSendControlFrameGuarded();
            });
            break;
        case 10:
            host.Stop();
            break;
        default:
            break;
        }
    };
    RunLivePoll();
    ASSERT_TRUE(boxes.boxes.empty()) << boxes.boxes[0].caption.toStdString();
    ASSERT_EQ(host.steps.size(), 11u);
    // Recorded: cycles 1 to 6 (the control page clears the flag after 6's bytes),
    // then 9 and 10 (cycle 8 on the parameters page set it again).
    std::vector<EngineData> live;
    for (const Step& s : host.steps)
        if ((s.cycle >= 1 && s.cycle <= 6) || s.cycle >= 9)
            live.push_back(s.engine);
    EXPECT_EQ(ExchangesIn(ReadFileBytes(path)), live.size());

    host.onStep = nullptr;
    host.ForgetSteps();
    Open();
    files.StartClick();
    ASSERT_EQ(host.steps.size(), live.size());
    for (std::size_t i = 0; i < live.size(); ++i)
        EXPECT_EQ(host.steps[i].engine, live[i]) << "record " << i;
}

} // namespace
} // namespace ecu::testing
