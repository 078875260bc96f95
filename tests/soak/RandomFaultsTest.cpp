// Faults injected at random for a while on each page of the real window, polling the
// paced simulator: the window answers a click within 200 ms throughout, the session
// keeps polling after every fault (Start pressed again after a broken-link box), and
// the page keeps showing the values just decoded.
#include "FaultRun.h"

#include "session/SessionHost.h"
#include "session/SessionState.h"

#include <QLineEdit>
#include <QTabWidget>

#include <cmath>
#include <iostream>

namespace ecu::wintest {
namespace {

using namespace std::chrono_literals;

struct PageCase {
    int page;
    const char* name;
    const char* rpmBox; // the control that shows engine speed; none on setup and about
};

const PageCase kPages[] = {
    {PageSetup, "Setup", nullptr},         {PageParameters, "Parameters", "EditRPMengine"},
    {PageGraphs, "Graphs", "EditDateRed"}, {PageControl, "Control", "EditRPMIAC"},
    {PageAbout, "About", nullptr},
};

void PrintTo(const PageCase& c, std::ostream* os) {
    *os << c.name << " page";
}

double Ms(std::chrono::microseconds us) {
    return static_cast<double>(us.count()) / 1000.0;
}

class RandomFaults : public FaultRunTest, public ::testing::WithParamInterface<PageCase> {};

TEST_P(RandomFaults, WindowAnswersClicksAndSessionKeepsPolling) {
    const PageCase& c = GetParam();
    const int seconds = SecondsFromEnv("ECUSCAN_FAULT_SECONDS", 60);
    TGlForm& w = StartFaultyWindow(false);
    ShowPage(c.page);
    ASSERT_EQ(w.Host().ActivePageIndex(), c.page);

    // Whenever the page has shown a value, it is the engine speed last decoded
    // (garbage answers included: nothing checks an answer's checksum).
    auto* rpmBox = c.rpmBox ? Find<QLineEdit>(c.rpmBox) : nullptr;
    int shownChecked = 0;
    int brokenLinkBoxes = 0;
    auto onSample = [&](const Sample&) {
        brokenLinkBoxes += CheckOnlyBrokenLinkBoxes();
        if (!rpmBox || rpmBox->text().trimmed().isEmpty())
            return;
        ++shownChecked;
        EXPECT_EQ(rpmBox->text().trimmed().toDouble(), w.Ecu().State().Engine.RPMengine)
            << c.rpmBox << " shows \"" << rpmBox->text().toStdString() << "\"";
    };

    ClickProbe probe(*Find<QTabWidget>("GlPageControl")->tabBar(), 100ms);
    probe.Start();
    const RunFigures run = PollWithRestarts(seconds, onSample);
    probe.Stop();
    EXPECT_TRUE(WaitUntil([&] { return probe.Answered() == probe.Posted(); }, 1000))
        << probe.Posted() - probe.Answered() << " clicks never answered";
    brokenLinkBoxes += CheckOnlyBrokenLinkBoxes(true);

    const SimCounts counts = sim.Counts();
    std::cout << "[ figures  ] " << c.name << " page, " << run.seconds << " s: clicks "
              << probe.Answered() << "/" << probe.Posted() << ", latency median "
              << Ms(probe.Percentile(50)) << " ms, p99 " << Ms(probe.Percentile(99))
              << " ms, worst " << Ms(probe.Worst()) << " ms (less waiting for a processor "
              << Ms(probe.WorstOwn()) << " ms); data requests " << counts.dataRequests
              << ", control frames " << counts.controlFrames << ", faults " << counts.faults
              << ", sessions " << run.sessions << ", broken-link boxes " << brokenLinkBoxes
              << std::endl;
    RecordProperty("worst_click_ms", static_cast<int>(std::lround(Ms(probe.Worst()))));

    EXPECT_LE(probe.Worst(), 200ms);
    EXPECT_GE(probe.Posted(), seconds * 5) << "the clicks did not keep their pace";
    CheckKeptPolling(run, 5);
    EXPECT_GT(counts.faults, 0U);
    if (rpmBox) {
        EXPECT_GE(shownChecked, seconds / 2);
    }
    if (c.page == PageControl) {
        EXPECT_GE(counts.controlFrames, counts.dataRequests / 2);
    }
    // Each session but the last ended with the broken-link box.
    EXPECT_GE(brokenLinkBoxes, run.sessions - 1);
    EXPECT_LE(brokenLinkBoxes, run.sessions);
}

INSTANTIATE_TEST_SUITE_P(EachPage, RandomFaults, ::testing::ValuesIn(kPages),
                         [](const ::testing::TestParamInfo<PageCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace ecu::wintest
