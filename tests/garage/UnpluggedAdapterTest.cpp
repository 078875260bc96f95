// The adapter pulled out in the middle of a session: the simulator on COM1 dies
// while the window polls, then comes back on a new terminal. Run once with the
// ecu-sim command killed with SIGKILL and once with the in-process simulator
// stopped, both reached through the temporary port map.
#include "ChildProcess.h"
#include "QStringPrinter.h"
#include "WindowHarness.h"

#include "serial/Comm32.h"
#include "serial/PortMap.h"
#include "session/Messages.h"
#include "session/SessionHost.h"
#include "session/SessionState.h"
#include "ui/TFrameParameter.h"
#include "wire/Frames.h"

#include <QLineEdit>

#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace ecu::wintest {
namespace {

const QColor Red(255, 0, 0);
const QColor Green(0, 255, 0);
constexpr std::size_t Cycle = 68; // a SOHC cycle: the echo and the answer

enum class Unplugging { KillSimProcess, StopSimInProcess };

class UnpluggedAdapter : public WindowTest, public ::testing::WithParamInterface<Unplugging> {
protected:
    void TearDown() override {
        window.reset(); // closes the port before the simulators go
        processes_.clear();
        sims_.clear();
    }

    // An ECU with this program identifier on COM1. Taking a name that is already
    // linked needs the simulator's --replace, as after one that was killed.
    void PlugIn(std::uint16_t promId, bool replace) {
        if (GetParam() == Unplugging::KillSimProcess) {
            std::vector<std::string> args{
                "--fast", "--prom", QString::number(promId, 16).toStdString(), "--as", "COM1"};
            if (replace)
                args.emplace_back("--replace");
            auto& child =
                processes_.emplace_back(std::make_unique<test::ChildProcess>(ECU_SIM_PATH, args));
            ASSERT_TRUE(child->Started());
            ASSERT_TRUE(child->WaitForOutput(" -> ", 10000)) << child->Output() << child->Errors();
        } else {
            SimOptions options = FastSim();
            options.promId = promId;
            auto& local = sims_.emplace_back(std::make_unique<EcuSimulator>(options));
            local->Start();
            LinkPort("COM1", local->SlavePath());
        }
    }

    void PullOut() {
        if (GetParam() == Unplugging::KillSimProcess)
            processes_.back()->Signal(SIGKILL);
        else
            sims_.back()->Stop();
    }

    // Whether the running cycle's answer is complete: Stop then ends the session quietly.
    bool AnswerIn() const { return window->Ecu().State().RxBuffer.size() >= Cycle; }

    QString PromShown() const {
        auto* page = Find<TFrameParameter>("FrameParameter1");
        auto* edit = page ? page->findChild<QLineEdit*>(QStringLiteral("EditPromID")) : nullptr;
        return edit ? edit->text().trimmed() : QString();
    }

    // The footer and the setup page as the port leaves them: open or closed.
    void ExpectPortControls(bool open) {
        EXPECT_EQ(window->Ecu().Comm().Connected(), open);
        EXPECT_EQ(IndicatorColour(), open ? Green : Red);
        EXPECT_EQ(Find("BitBtnStart")->isEnabled(), open);
        EXPECT_EQ(Find("ButtonStop")->isEnabled(), open);
        for (const char* control :
             {"ButtonOpenPort", "RadioGroupPort", "ComboBoxBoudRate", "SpinEditDelay"})
            EXPECT_EQ(Find(control)->isEnabled(), !open) << control;
    }

    // The ECU on COM1 and the window polling it on `page`; pulled out once three
    // cycles have come in and, when answerIn, the running cycle's answer is complete.
    void PollAndPullOut(int page, bool answerIn) {
        if (GetParam() == Unplugging::KillSimProcess) {
            // ecu-sim refuses a name that is linked already, as the user's own link would be.
            std::filesystem::remove(std::filesystem::path(PortMapDirectory()) / "COM1");
        }
        ASSERT_NO_FATAL_FAILURE(PlugIn(0x1111, false));
        CreateWindow();
        ASSERT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text.toStdString();
        ASSERT_TRUE(window->Ecu().Comm().Connected());
        ShowPage(PageParameters); // the first values, then the page of the test
        if (page != PageParameters) {
            When([this] { return PromShown() == QStringLiteral("4369"); },
                 [this, page] { ShowPage(page); });
        }
        TapReceivedBytes();
        When(
            [this, page, answerIn] {
                return ActivePage() == page && received.size() >= 3 * Cycle &&
                       (!answerIn || AnswerIn());
            },
            [this] {
                receivedAtPull_ = received.size();
                PullOut();
            });
        RunStart(10000); // ends by itself
        ASSERT_GT(receivedAtPull_, 0u) << "the adapter was never pulled";
        EXPECT_FALSE(window->Ecu().LoopRunning());
        EXPECT_LE(received.size(), receivedAtPull_ + 2 * Cycle) << "bytes from a pulled adapter";
        if (GetParam() == Unplugging::KillSimProcess) {
            EXPECT_EQ(processes_.back()->WaitForExit(5000), 128 + SIGKILL);
            EXPECT_TRUE(processes_.back()->EndedBySignal());
        }
    }

    // Plugged in again, on a new terminal: "Закрыть порт" and "Открыть порт" find it.
    void PlugBackInAndReopen() {
        const std::size_t boxesBefore = boxes.boxes.size();
        ASSERT_NO_FATAL_FAILURE(PlugIn(0x2222, true));
        Click("ButtonStop");
        ExpectPortControls(false);
        Click("ButtonOpenPort");
        ExpectPortControls(true);
        RoomyPollDelay();
        EXPECT_EQ(boxes.boxes.size(), boxesBefore);
    }

    // Start on the parameters page shows the new ECU; Stop ends the session quietly.
    void PollTheNewEcu() {
        ShowPage(PageParameters);
        const std::size_t boxesBefore = boxes.boxes.size();
        const std::size_t receivedAtStart = received.size();
        When(
            [&] {
                return PromShown() == QStringLiteral("8738") &&
                       received.size() >= receivedAtStart + 3 * Cycle && AnswerIn();
            },
            [&] { Click("BitBtnStop"); });
        RunStart(10000);
        EXPECT_EQ(PromShown(), QStringLiteral("8738"));
        EXPECT_EQ(boxes.boxes.size(), boxesBefore) << boxes.Shown();
        ExpectPortControls(false);
        // The new line's first bytes are the echo of the first request sent on it.
        ASSERT_GE(received.size(), receivedAtStart + EchoLength);
        EXPECT_TRUE(std::equal(DataRequest.begin(), DataRequest.end(),
                               received.begin() + static_cast<long>(receivedAtStart)));
        if (GetParam() == Unplugging::KillSimProcess) {
            processes_.back()->Signal(SIGTERM);
            EXPECT_EQ(processes_.back()->WaitForExit(5000), 0) << processes_.back()->Errors();
        }
    }

    int ActivePage() const { return window->Host().ActivePageIndex(); }

    void ExpectBox(std::size_t index, const char* caption, const char* text) {
        ASSERT_GT(boxes.boxes.size(), index);
        EXPECT_EQ(boxes.boxes[index].caption, QString::fromUtf8(caption));
        EXPECT_EQ(boxes.boxes[index].text, QString::fromUtf8(text));
        EXPECT_EQ(boxes.boxes[index].icon, MessageIcon::Error);
    }

    std::vector<std::unique_ptr<test::ChildProcess>> processes_;
    std::vector<std::unique_ptr<EcuSimulator>> sims_;
    std::size_t receivedAtPull_ = 0;
};

TEST_P(UnpluggedAdapter, OneBrokenLinkBoxThenReopeningThePortPollsAgain) {
    ASSERT_NO_FATAL_FAILURE(PollAndPullOut(PageParameters, false));
    ASSERT_EQ(boxes.boxes.size(), 1u) << boxes.Shown();
    ExpectBox(0, text::BrokenLinkCaption, text::BrokenLinkText);
    // The port stays open on the dead line; the page keeps its last values.
    ExpectPortControls(true);
    EXPECT_EQ(PromShown(), QStringLiteral("4369"));

    ASSERT_NO_FATAL_FAILURE(PlugBackInAndReopen());
    PollTheNewEcu();
}

// On the control page the control frame goes out after the answer: the pulled line
// refuses it, so the next request is refused too and said once before the broken link.
TEST_P(UnpluggedAdapter, OnTheControlPageTheRefusedRequestIsSaidOnceBeforeTheBrokenLink) {
    ASSERT_NO_FATAL_FAILURE(PollAndPullOut(PageControl, true));
    ASSERT_EQ(boxes.boxes.size(), 2u) << boxes.Shown();
    ExpectBox(0, text::SendFailureCaption, text::SendFailureText);
    ExpectBox(1, text::BrokenLinkCaption, text::BrokenLinkText);
    ExpectPortControls(true);
    EXPECT_EQ(ActivePage(), PageControl);

    // Reopened on the control page, so that leaving it sends the default frame on
    // the new line.
    ASSERT_NO_FATAL_FAILURE(PlugBackInAndReopen());
    PollTheNewEcu();
}

INSTANTIATE_TEST_SUITE_P(Garage, UnpluggedAdapter,
                         ::testing::Values(Unplugging::KillSimProcess,
                                           Unplugging::StopSimInProcess),
                         [](const auto& info) {
                             return info.param == Unplugging::KillSimProcess
                                        ? "SimProcessKilled"
                                        : "SimStoppedInProcess";
                         });

} // namespace
} // namespace ecu::wintest
