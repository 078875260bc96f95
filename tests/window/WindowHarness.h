#pragma once
// What the window tests run on: the real main window, its real serial component
// on the ECU simulator's pseudo-terminal (run in this process and reached as COM1
// through a temporary port map), a presenter that records the boxes instead of
// showing them, and file dialogs that answer from a script.
//
//   class MyTest : public ecu::wintest::WindowTest {};
//   TEST_F(MyTest, Something) {
//       StartSim();                 // COM1 -> simulator
//       TGlForm& w = CreateWindow(); // start-up has run, port open
//       ShowPage(PageParameters);
//       AfterDataRequests(5, [&] { Click("BitBtnStop"); });
//       RunStart();                 // clicks Start, returns when the session ends
//       EXPECT_EQ(Find<QLineEdit>("EditRPMengine")->text(), ...);
//   }
#include "Files.h"
#include "PortMap.h"
#include "RecordingPresenter.h"
#include "ScriptedDialogs.h"
#include "Wait.h"
#include "app/TGlForm.h"
#include "ecu-sim/EcuSimulator.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QTimer;

namespace ecu::wintest {

using test::Box;
using test::ReadFileBytes;
using test::RecordingPresenter;
using test::ScriptedDialogs;
using test::WaitUntil;

class WindowTest : public ::testing::Test {
    // First in, last out: the window and the simulator end before their port map.
    test::PortMap map_;

protected:
    WindowTest();
    ~WindowTest() override;

    // Fast simulator (whole answers at once): the usual choice for window tests.
    static SimOptions FastSim(EngineVariant variant = EngineVariant::Sohc);
    // Starts `sim` with options and links `port` to it.
    void StartSim(const SimOptions& options = FastSim(), const char* port = "COM1");
    // Points a port name of the map at target (a path that need not exist).
    void LinkPort(const char* port, const std::string& target);
    // A fresh main window, shown and active; its start-up has run.
    // Unless told to keep the start-up's delay, its session polls with RoomyPollDelay.
    enum class Delay { Roomy, StartUp };
    TGlForm& CreateWindow(Delay delay = Delay::Roomy);
    // Gives the open port's session a poll delay with room for a loaded machine (beyond
    // the setup page's 200 ms), for tests that are not about the pace: the simulator's
    // thread, the reader and the window may each wait for a processor. Opening the port
    // again sets the page's delay anew.
    void RoomyPollDelay();
    static constexpr std::int32_t RoomyPollDelayMs = 400;

    // The window's control of that object name; fails the test when missing.
    // Names used on more than one page (the footer's and the setup page's Label1
    // and Label8) take their parent's name first: "PanelFoother/Label8".
    template <class T = QWidget> T* Find(const char* name) const {
        T* widget = qobject_cast<T*>(FindWidget(name));
        if (!widget)
            ADD_FAILURE() << "no control named " << name << " of that kind";
        return widget;
    }
    QWidget* FindWidget(const char* path) const;
    // A left click in the middle of the named control.
    void Click(const char* name);
    // A key pressed in the window (to the widget with the focus).
    void PressKey(Qt::Key key);
    // A key as the window system delivers it, to the window that has the input.
    static void SystemKey(QWidget* window, Qt::Key key);
    // The named combo box's list, opened as a click on its arrow opens it; returns the
    // list's own window.
    QWidget* OpenList(const char* box);
    // Clicks the tab of page index.
    void ShowPage(int index);
    // Replaces the text of an editable control (line edit, editable combo box,
    // spin box) as typing would, then moves the focus away.
    void TypeText(const char* name, const QString& text);

    // Runs action once, from inside whatever loop is running, as soon as cond
    // holds (checked every few milliseconds).
    void When(std::function<bool()> cond, std::function<void()> action);
    void AfterDataRequests(std::uint64_t n, std::function<void()> action);
    // Clicks Start (or runs trigger instead) and returns when its session has
    // ended. A session still running after timeoutMs fails the test and is ended.
    void RunStart(int timeoutMs = 20000, const std::function<void()>& trigger = {});

    QColor IndicatorColour() const;
    std::string TempPath(const char* name) const { return map_.Path(name); }
    // The line speed set on a terminal device, read through the kernel.
    static std::uint32_t LineSpeed(const std::string& ttyPath);
    // Writes a recording of `records` cycles (the request's echo, then the answer
    // the simulator would give for engine) and returns its path.
    std::string WriteRecording(const char* name, int records, const SimEngine& engine = {},
                               EngineVariant variant = EngineVariant::Sohc) const;
    // Collects every byte the serial component delivers from now on, in order.
    void TapReceivedBytes();
    std::vector<std::uint8_t> received;

    EcuSimulator sim;
    RecordingPresenter boxes;
    ScriptedDialogs dialogs;
    std::unique_ptr<TGlForm> window;

private:
    std::vector<std::unique_ptr<QTimer>> timers_;
};

} // namespace ecu::wintest
