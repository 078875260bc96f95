// COM1 held by another program: an ecu-log process polling the simulator through
// the same serial component. The window's opening is refused with the component's
// text and the reason, and succeeds once the logger has let go.
#include "ChildProcess.h"
#include "QStringPrinter.h"
#include "WindowHarness.h"

#include "serial/Comm32.h"
#include "session/Messages.h"
#include "session/SessionHost.h"
#include "session/SessionState.h"
#include "ui/TFrameParameter.h"

#include <QLineEdit>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace ecu::wintest {
namespace {

const QColor Red(255, 0, 0);
const QColor Green(0, 255, 0);

class PortHeld : public WindowTest {
protected:
    void TearDown() override {
        window.reset();
        logger_.reset();
    }

    // Starts ecu-log on COM1 and returns once it polls there.
    void HoldWithLogger() {
        const std::uint64_t before = sim.DataRequests();
        logger_ = std::make_unique<test::ChildProcess>(
            ECU_LOG_PATH, std::vector<std::string>{"--delay", "50", "COM1"});
        ASSERT_TRUE(logger_->Started());
        ASSERT_TRUE(WaitUntil([&] { return sim.DataRequests() >= before + 2; }, 10000))
            << logger_->Errors();
    }

    // Ends the logger as the user would (Ctrl+C); it closes the port on its way out.
    void LetGo() {
        logger_->Signal(SIGINT);
        EXPECT_EQ(logger_->WaitForExit(5000), 0) << logger_->Errors();
    }

    // What the window says when COM1 is in use.
    QString BusyText() const {
        return QStringLiteral("Error opening com port\nCOM1 (%1): %2")
            .arg(QString::fromStdString(sim.SlavePath()), QString::fromUtf8(std::strerror(EBUSY)));
    }

    void ExpectOneBusyBox() {
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].caption, QString::fromUtf8(text::ApplicationTitle));
        EXPECT_EQ(boxes.boxes[0].text, BusyText());
        EXPECT_EQ(boxes.boxes[0].icon, MessageIcon::Error);
    }

    void ExpectPortClosed() {
        EXPECT_FALSE(window->Ecu().Comm().Connected());
        EXPECT_EQ(IndicatorColour(), Red);
        EXPECT_FALSE(Find("BitBtnStart")->isEnabled());
        EXPECT_FALSE(Find("ButtonStop")->isEnabled());
    }

    std::unique_ptr<test::ChildProcess> logger_;
};

TEST_F(PortHeld, AtStartUpTheBoxSaysThePortIsBusy) {
    StartSim();
    ASSERT_NO_FATAL_FAILURE(HoldWithLogger());
    CreateWindow();
    ASSERT_NO_FATAL_FAILURE(ExpectOneBusyBox());
    ExpectPortClosed();
    EXPECT_TRUE(logger_->Running()) << "the window took the logger's port";
    LetGo();
}

TEST_F(PortHeld, OpeningIsRefusedWhileHeldAndWorksOnceLetGo) {
    StartSim();
    TGlForm& w = CreateWindow();
    ASSERT_TRUE(w.Ecu().Comm().Connected());
    Click("ButtonStop");
    ASSERT_NO_FATAL_FAILURE(HoldWithLogger());

    Click("ButtonOpenPort");
    ASSERT_NO_FATAL_FAILURE(ExpectOneBusyBox());
    ExpectPortClosed();
    EXPECT_TRUE(Find("ButtonOpenPort")->isEnabled()) << "the user can try again";
    EXPECT_TRUE(logger_->Running());

    LetGo();
    Click("ButtonOpenPort");
    ASSERT_TRUE(w.Ecu().Comm().Connected());
    EXPECT_EQ(IndicatorColour(), Green);
    EXPECT_TRUE(Find("BitBtnStart")->isEnabled());
    EXPECT_EQ(boxes.boxes.size(), 1u);

    // Now the window holds it: another logger is turned away.
    test::ChildProcess refused(ECU_LOG_PATH, {"COM1"});
    EXPECT_EQ(refused.WaitForExit(5000), 1);
    EXPECT_NE(refused.Errors().find("Error opening com port"), std::string::npos)
        << refused.Errors();

    // And the window polls: the page shows what the simulator answers.
    ShowPage(PageParameters);
    const std::uint64_t before = sim.DataRequests();
    // Stopped once a cycle's answer is in, so that the session ends without a box.
    When([&] { return sim.DataRequests() >= before + 3 && w.Ecu().State().RxBuffer.size() >= 68; },
         [this] { Click("BitBtnStop"); });
    RunStart(10000);
    EXPECT_EQ(boxes.boxes.size(), 1u) << boxes.Shown();
    EXPECT_GE(sim.DataRequests(), before + 3);
    auto* prom = Find<TFrameParameter>("FrameParameter1")
                     ->findChild<QLineEdit*>(QStringLiteral("EditPromID"));
    ASSERT_NE(prom, nullptr);
    EXPECT_EQ(prom->text().trimmed(), QString::number(sim.LastAnswered().promId));
}

} // namespace
} // namespace ecu::wintest
