// A computer busy elsewhere: the window's thread is held up for longer than the
// poll delay while the ECU's answer comes in on time.
#include "QStringPrinter.h"
#include "WindowHarness.h"

#include "serial/Comm32.h"
#include "session/LinkSession.h"
#include "session/SessionHost.h"
#include "session/SessionState.h"

#include <chrono>
#include <thread>

namespace ecu::wintest {
namespace {

class BusyComputer : public WindowTest {};

TEST_F(BusyComputer, AnAnswerThatCameInTimeIsTakenThoughTheWindowWasHeldUp) {
    StartSim();
    TGlForm& w = CreateWindow();
    ShowPage(PageParameters);
    int heldCycles = 0;
    // Once a request is out, the thread does something else for the whole poll
    // delay and more; the echo and the answer arrive meanwhile.
    When([&] { return sim.DataRequests() >= 3; },
         [&] {
             ++heldCycles;
             std::this_thread::sleep_for(std::chrono::milliseconds(w.Ecu().State().PollDelay + 60));
         });
    When([&] { return sim.DataRequests() >= 6 && w.Ecu().State().RxBuffer.size() >= 68; },
         [&] { Click("BitBtnStop"); });
    RunStart(10000);
    EXPECT_EQ(heldCycles, 1);
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().caption.toStdString();
    EXPECT_GE(sim.DataRequests(), 6u);
}

} // namespace
} // namespace ecu::wintest
