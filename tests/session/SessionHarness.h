#pragma once
// What the session tests run on: the real serial component on the simulator's
// pseudo-terminal (reached as COM1 through a temporary port map), a fake host that
// records the page steps, and a presenter that records the boxes.
#include "Files.h"
#include "PortMap.h"
#include "RecordingPresenter.h"
#include "ecu-sim/EcuSimulator.h"
#include "serial/Comm32.h"
#include "session/FileHost.h"
#include "session/FileSession.h"
#include "session/LinkSession.h"
#include "session/Session.h"
#include "session/SessionHost.h"
#include "session/SessionState.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ecu::testing {

using test::Box;
using test::ReadFileBytes;
using test::RecordingPresenter;

enum class StepKind { Parameters, Graphs, Control };

struct Step {
    StepKind kind;
    int cycle;         // the count of page reads before this step, from 0
    EngineData engine; // what the page would show
};

class FakeHost : public SessionHost, public PlaybackFooter, public FileChooser {
public:
    // Binds to the session's state and port; nothing is called on it here.
    explicit FakeHost(Session& session) : session_(session) {}

    // Page for each page read (one per live cycle or played record); the last
    // entry holds from then on.
    std::vector<int> pages{PageParameters};
    EngineVariant variant = EngineVariant::Sohc;
    QString port = QStringLiteral("COM1");
    // Room for a loaded machine: the fast simulator answers at once, but its thread, the
    // reader and this one may each wait for a processor. Tests of the pace set their own.
    std::int32_t delayMs = 400;
    // Called with the cycle number at each page read, before the page is returned.
    std::function<void(int cycle)> onCycle;
    // Called at each page step, after it was recorded.
    std::function<void(const Step&)> onStep;

    std::vector<Step> steps;
    std::vector<int> undecodedCounts; // one per live cycle
    int cycles = 0;
    int graphResets = 0;
    int portOpens = 0;
    int progressPosition = -1;
    int progressMaximum = -1;
    bool progressVisible = false;
    bool percentLabelsVisible = false;
    QString fileLabel;
    int portClosedByPlayback = 0;
    std::optional<QString> saveChoice;
    std::optional<QString> openChoice;
    bool confirmOverwrite = true;

    // The footer's Stop: closes an open port and disarms both file modes.
    void Stop();
    // Forgets the steps and restarts the cycle count, for a second session.
    void ForgetSteps() {
        steps.clear();
        cycles = 0;
        reads_ = 0;
    }

    int ActivePageIndex() const override;
    EngineVariant SelectedVariant() const override { return variant; }
    void ShowParameters() override { Record(StepKind::Parameters); }
    void AddGraphPoints() override { Record(StepKind::Graphs); }
    void ResetGraphs() override { ++graphResets; }
    void ControlPageRefresh() override { Record(StepKind::Control); }
    void ShowUndecodedCycles(int inARow) override { undecodedCounts.push_back(inARow); }
    void OpenPort() override;
    void SetProgressPosition(int position) override { progressPosition = position; }
    int ProgressPosition() const override { return progressPosition; }
    void SetProgressMaximum(int maximum) override { progressMaximum = maximum; }
    void ShowProgressBar() override { progressVisible = true; }
    void ShowPercentLabels() override { percentLabelsVisible = true; }
    void SetFileNameLabel(const QString& caption) override { fileLabel = caption; }
    void ShowPortClosedByPlayback() override { ++portClosedByPlayback; }
    std::optional<QString> ChooseSaveFile() override;
    std::optional<QString> ChooseOpenFile() override { return openChoice; }

private:
    void Record(StepKind kind);

    Session& session_;
    mutable int reads_ = 0;
};

// A session on the simulator, ready to open the port.
class SessionTest : public ::testing::Test {
    // First in, last out: the session and the simulator end before their port map.
    test::PortMap map_;

protected:
    SessionTest();
    ~SessionTest() override;

    // Starts the simulator and links COM1 to it.
    void StartSim(const SimOptions& options);
    // Links COM1 to a line the test plays itself.
    void LinkCom1(const std::string& path) { map_.Link("COM1", path); }
    static SimOptions Fast(EngineVariant variant = EngineVariant::Sohc);
    void OpenPort();
    // Runs the live loop with a watchdog that fails the test if it never ends.
    void RunLivePoll();
    // Valid frames the simulator received, bytes only.
    std::vector<std::vector<std::uint8_t>> FramesReceived() const;
    // Every byte delivered to the receive handler, in order.
    const std::vector<std::uint8_t>& Delivered() const { return delivered_; }
    std::string TempPath(const char* name) const { return map_.Path(name); }

    EcuSimulator sim;
    RecordingPresenter boxes;
    FakeHost host{session}; // a reference to the session below, used once it exists
    Session session{host, boxes, &host, &host};
    SessionState& state = session.State();
    TComm32& comm = session.Comm();
    LinkSession& link = session.Link();
    FileSession& files = session.Files();

private:
    std::vector<std::uint8_t> delivered_;
};

// The whole exchange the simulator would send for its last answer: the echo of
// the data request, then the answer.
ByteString ExpectedExchange(const SimEngine& engine, EngineVariant variant);

} // namespace ecu::testing
