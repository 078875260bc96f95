// What reaches the window's handlers from below: file errors in the default box,
// the control tab's hooks, and the close box while a session runs.
#include "WindowHarness.h"

#include "link/ControlFrame.h"
#include "serial/Comm32.h"
#include "session/Messages.h"
#include "session/SessionState.h"

#include <QLabel>

namespace ecu::wintest {
namespace {

class Handlers : public WindowTest {
protected:
    void ExpectDefaultErrorBox() {
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].caption, QString::fromUtf8(text::ApplicationTitle));
        EXPECT_FALSE(boxes.boxes[0].text.isEmpty());
        EXPECT_EQ(boxes.boxes[0].icon, MessageIcon::Error);
        boxes.boxes.clear();
    }
};

TEST_F(Handlers, FileErrorsGoToTheDefaultBoxAndTheWindowGoesOn) {
    StartSim();
    TGlForm& w = CreateWindow();
    const SessionFlags& flags = w.Ecu().State().Flags;

    Click("RadioButtonRegim1");
    dialogs.saveAnswers.push_back(QString::fromStdString(TempPath("missing-folder/rec.bin")));
    Click("SpeedButtonSaveFile");
    ExpectDefaultErrorBox();
    EXPECT_FALSE(flags.RecordArmed);
    EXPECT_TRUE(Find<QLabel>("LabelNameFile")->text().isEmpty());

    // A folder is no recording to play.
    Click("RadioButtonRegim2");
    dialogs.openAnswers.push_back(QString::fromStdString(TempPath("")));
    Click("SpeedButtonOpenFile");
    ExpectDefaultErrorBox();
    EXPECT_FALSE(flags.PlaybackArmed);
    EXPECT_TRUE(w.Ecu().Comm().Connected());
    EXPECT_TRUE(Find("BitBtnStart")->isEnabled());

    // Cancelled dialogs change nothing and say nothing.
    Click("SpeedButtonOpenFile");
    EXPECT_EQ(dialogs.openCalls, 2);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
    EXPECT_TRUE(w.Ecu().Comm().Connected());
}

TEST_F(Handlers, LeavingTheControlTabSendsTheDefaultFrameAlsoWithoutASession) {
    StartSim();
    CreateWindow();
    ShowPage(PageControl);
    EXPECT_EQ(sim.Counts().controlFrames, 0u);
    ShowPage(PageParameters);
    ASSERT_TRUE(WaitUntil([this] { return sim.Counts().controlFrames >= 1; }, 3000));
    std::vector<std::uint8_t> sent;
    for (const SimFrame& f : sim.Frames())
        if (f.valid && f.bytes.size() > 2 && f.bytes[2] == 0x04)
            sent = f.bytes;
    ControlFrame expected;
    expected.Checksum();
    EXPECT_EQ(sent, std::vector<std::uint8_t>(expected.data(), expected.data() + 14));
    EXPECT_EQ(sim.DataRequests(), 0u);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
}

TEST_F(Handlers, TheCloseBoxDuringASessionEndsItLikeExit) {
    StartSim();
    TGlForm& w = CreateWindow();
    ShowPage(PageParameters);
    std::uint64_t requestsAtClose = 0;
    AfterDataRequests(3, [&] {
        requestsAtClose = sim.DataRequests();
        w.close();
    });
    RunStart();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.Ecu().LoopRunning());
    EXPECT_EQ(sim.DataRequests(), requestsAtClose);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Shown();
}

} // namespace
} // namespace ecu::wintest
