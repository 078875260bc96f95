// A recording's disk filling up in the middle of a live session: a tmpfs of one
// page (when this machine lets us mount one) and a file-size limit. The user gets
// one message naming the file, the file holds exactly what the simulator sent up
// to the failure, and the window goes on working.
#include "FileLimits.h"
#include "QStringPrinter.h"
#include "WindowHarness.h"

#include "ecu-sim/AnswerEncoder.h"
#include "serial/Comm32.h"
#include "session/Messages.h"
#include "session/SessionHost.h"
#include "session/SessionState.h"
#include "ui/TFrameParameter.h"
#include "wire/Frames.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <vector>

namespace ecu::wintest {
namespace {

using ecu::testing::FileSizeLimit;

const QColor Green(0, 255, 0);
constexpr std::size_t Cycle = 68; // a SOHC cycle: the echo and the answer

// A tmpfs of `bytes` on dir while it lives. Mounting needs privileges a container
// may not grant: Mounted() says whether it worked, Error() why not.
class TmpfsMount {
public:
    TmpfsMount(const std::string& dir, std::size_t bytes) : dir_(dir) {
        ::mkdir(dir.c_str(), 0700);
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
        if (::mount("tmpfs", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC,
                    options.c_str()) == 0)
            mounted_ = true;
        else
            error_ = errno;
    }
    ~TmpfsMount() {
        // Detached: the window may still hold the recording open.
        if (mounted_)
            ::umount2(dir_.c_str(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool Mounted() const { return mounted_; }
    int Error() const { return error_; }

private:
    std::string dir_;
    bool mounted_ = false;
    int error_ = 0;
};

class FullDisk : public WindowTest {
protected:
    // The ECU's state, held so that every cycle on the line is the same bytes.
    static SimEngine Held() {
        SimEngine e;
        e.coolantC = 87.75;
        e.rpm = 2400;
        e.throttlePct = 12;
        e.promId = 0x4321;
        return e;
    }

    // The first n bytes of what the simulator sends over a session: the request's
    // echo and the answer, cycle after cycle.
    static std::vector<std::uint8_t> SentStream(std::size_t n) {
        std::vector<std::uint8_t> cycle(DataRequest.begin(), DataRequest.end());
        const auto answer = EncodeDataAnswer(Held(), EngineVariant::Sohc);
        cycle.insert(cycle.end(), answer.begin(), answer.end());
        std::vector<std::uint8_t> stream;
        while (stream.size() < n)
            stream.insert(stream.end(), cycle.begin(), cycle.end());
        stream.resize(n);
        return stream;
    }

    // The held ECU on COM1, polled with room for a loaded machine.
    TGlForm& StartWindow() {
        StartSim();
        sim.HoldEngine(Held());
        return CreateWindow();
    }

    void ArmRecording(const std::string& path) {
        Click("RadioButtonRegim1");
        dialogs.saveAnswers.push_back(QString::fromStdString(path));
        Click("SpeedButtonSaveFile");
        ASSERT_TRUE(window->Ecu().State().Flags.RecordArmed) << path;
    }

    // Presses Stop once n more requests have been answered in full, so that the
    // session ends quietly on a whole cycle.
    void StopAfter(std::uint64_t n) {
        const std::uint64_t until = sim.DataRequests() + n;
        When(
            [this, until] {
                return sim.DataRequests() >= until &&
                       window->Ecu().State().RxBuffer.size() >= Cycle;
            },
            [this] { Click("BitBtnStop"); });
    }

    // Start, until the session ends by itself. On a loaded machine an answer may
    // come after the 50 ms wait, which ends the session with the broken-link box;
    // the user presses Start again, and so does this. Recording goes on meanwhile:
    // the late bytes are written as they arrive.
    void RunUntilRecordingFails(int timeoutMs) {
        const QString brokenLink = QString::fromUtf8(text::BrokenLinkCaption);
        for (int attempt = 0; attempt < 4; ++attempt) {
            RunStart(timeoutMs);
            if (boxes.boxes.empty() || boxes.boxes.back().caption != brokenLink)
                return;
            boxes.boxes.pop_back();
            std::printf("a late answer broke the link; Start again\n");
        }
    }

    void ExpectOneFileBox(const std::string& path, const char* reason) {
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].caption, QString::fromUtf8(text::ApplicationTitle));
        EXPECT_EQ(boxes.boxes[0].text, QString::fromStdString(path + ": " + reason));
        EXPECT_EQ(boxes.boxes[0].icon, MessageIcon::Error);
    }

    // After the failure: the link is fine, recording has stopped.
    void ExpectLiveAndNotRecording() {
        EXPECT_FALSE(window->Ecu().LoopRunning());
        EXPECT_TRUE(window->Ecu().Comm().Connected());
        EXPECT_EQ(IndicatorColour(), Green);
        EXPECT_TRUE(Find("BitBtnStart")->isEnabled());
        EXPECT_FALSE(window->Ecu().State().Flags.RecordingActive);
        EXPECT_FALSE(window->Ecu().State().Flags.RecordArmed);
        EXPECT_EQ(Find<QLabel>("LabelNameFile")->text(), QString()) << "no longer recording";
    }

    QString PromShown() const {
        auto* edit = Find<TFrameParameter>("FrameParameter1")
                         ->findChild<QLineEdit*>(QStringLiteral("EditPromID"));
        return edit ? edit->text().trimmed() : QString();
    }
};

TEST_F(FullDisk, AFullTmpfsEndsTheSessionWithOneMessageAndKeepsEveryByteBeforeIt) {
    constexpr std::size_t Page = 4096; // the whole tmpfs
    const std::string disk = TempPath("disk");
    TmpfsMount mount(disk, Page);
    if (!mount.Mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(mount.Error());
    StartWindow();
    // About 60 cycles fill the page: a shorter delay than the usual room keeps the run short.
    window->Ecu().State().PollDelay = 200;
    const std::string path = disk + "/rec.bin";
    ASSERT_NO_FATAL_FAILURE(ArmRecording(path));
    ShowPage(PageParameters);

    RunUntilRecordingFails(30000); // about 60 cycles fill the page

    ExpectOneFileBox(path, std::strerror(ENOSPC));
    ExpectLiveAndNotRecording();
    const auto recorded = ReadFileBytes(path);
    EXPECT_EQ(recorded.size(), Page);
    EXPECT_TRUE(recorded == SentStream(recorded.size()))
        << "the recording is not what the simulator sent";

    // Start again: the page shows the car, nothing more goes to the full disk.
    StopAfter(3);
    RunStart(10000);
    EXPECT_EQ(boxes.boxes.size(), 1u) << boxes.Shown();
    EXPECT_EQ(PromShown(), QStringLiteral("17185"));
    EXPECT_EQ(ReadFileBytes(path), recorded);
}

TEST_F(FullDisk, AFileSizeLimitMidSessionLeavesAPlayableRecordingAndANewOneWorks) {
    StartWindow();
    const std::string path = TempPath("limited.bin");
    ASSERT_NO_FATAL_FAILURE(ArmRecording(path));
    ShowPage(PageGraphs);
    constexpr std::size_t Limit = 3 * Cycle + 30; // three cycles, then part of the fourth
    {
        FileSizeLimit limit(Limit);
        RunUntilRecordingFails(10000);
    }
    ExpectOneFileBox(path, std::strerror(EFBIG));
    ExpectLiveAndNotRecording();
    EXPECT_TRUE(ReadFileBytes(path) == SentStream(Limit))
        << "the recording is not what the simulator sent";

    // The recording plays: three whole records with the held values.
    ShowPage(PageParameters);
    Click("RadioButtonRegim2");
    dialogs.openAnswers.push_back(QString::fromStdString(path));
    Click("SpeedButtonOpenFile");
    RunStart(10000);
    auto* progress = Find<QProgressBar>("ProgressBarPlayFile");
    EXPECT_EQ(progress->maximum(), 3);
    EXPECT_EQ(progress->value(), 3);
    EXPECT_EQ(PromShown(), QStringLiteral("17185"));
    EXPECT_EQ(boxes.boxes.size(), 1u) << boxes.Shown();

    // A new recording on a disk with room takes whole cycles again.
    Click("RadioButtonRegim1");
    Click("ButtonOpenPort");
    ASSERT_TRUE(window->Ecu().Comm().Connected());
    RoomyPollDelay();
    const std::string again = TempPath("again.bin");
    ASSERT_NO_FATAL_FAILURE(ArmRecording(again));
    StopAfter(4);
    RunStart(10000);
    EXPECT_EQ(boxes.boxes.size(), 1u) << boxes.Shown();
    const auto recorded = ReadFileBytes(again);
    EXPECT_GE(recorded.size(), 3 * Cycle);
    EXPECT_EQ(recorded.size() % Cycle, 0u);
    EXPECT_TRUE(recorded == SentStream(recorded.size()));
}

} // namespace
} // namespace ecu::wintest
