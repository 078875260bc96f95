#pragma once
// One session with the ECU: the shared state, the serial component, the tick the
// waits run on, the live session and the file session, wired once. The window, the
// headless logger and the tests each own one.
//
// The wait model. Everything runs on the UI thread. A wait (LinkSession::WaitMs)
// handles every event until its deadline, so click and page handlers run inside it
// and may start loops and waits of their own: loops nest, and the innermost wait
// returns first. These calls run a loop and return only when it ends:
//   - Link().LivePoll() and Files().StartClick() (which polls or plays): until the
//     port closes, the link breaks or the file ends;
//   - Link().ResetEcu() and ResetEcuClick(): the reset exchange, then a live loop;
//   - Link().WaitMs(), SendControlFrame(), RestoreAndSendControlFrame() and their
//     ...Guarded forms: one wait each.
// RunLoop wraps a handler that runs one of them, so that the owner knows a loop is
// on the stack (LoopRunning) and can end them all (EndLoops) before it goes.
//
// Which calls throw. WaitMs rethrows an error kept during its wait (a failed write to
// the recording, RecordingFailure; an InterruptWait), so ResetEcu, SendControlFrame
// and RestoreAndSendControlFrame, which wait, throw too. ResetEcu and OpenPort let a
// refused port through (PortOpenError); Files().SaveFile() and OpenFile() throw
// DataFileError. Everything else never throws: the ...Click and ...Guarded entry
// points, LivePoll, PlayFile, RunLoop, StopPolling and EndLoops show their errors
// through the presenter.
#include "serial/Comm32.h"
#include "session/FileHost.h"
#include "session/FileSession.h"
#include "session/LinkSession.h"
#include "session/MessagePresenter.h"
#include "session/SessionState.h"
#include "session/TickSource.h"
#include "session/Waiter.h"

#include <QString>
#include <QTimer>

#include <cstdint>

namespace ecu {

struct SessionOptions {
    Waiter::Mode waitMode = Waiter::Mode::Sleep;
    QString port = QStringLiteral("COM1"); // opened by OpenPort until the user chooses
    std::uint32_t baudRate = LinkBaudRate;
    TickSource* ticks = nullptr; // nullptr: the system's tick
};

// Files for an owner that has no footer and no file dialogs (the logger): nothing is
// ever chosen, so the file buttons do nothing and playback never starts.
class NoFiles : public PlaybackFooter, public FileChooser {
public:
    void SetProgressPosition(int position) override { position_ = position; }
    int ProgressPosition() const override { return position_; }
    void SetProgressMaximum(int) override {}
    void ShowProgressBar() override {}
    void ShowPercentLabels() override {}
    void SetFileNameLabel(const QString&) override {}
    void ShowPortClosedByPlayback() override {}
    std::optional<QString> ChooseSaveFile() override { return std::nullopt; }
    std::optional<QString> ChooseOpenFile() override { return std::nullopt; }

private:
    int position_ = 0;
};

class Session {
public:
    // footer and chooser may be nullptr: the owner has none (see NoFiles). The
    // references must outlive the session; nothing is called on them here.
    Session(SessionHost& host, MessagePresenter& presenter, PlaybackFooter* footer,
            FileChooser* chooser, const SessionOptions& options = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    SessionState& State() { return state_; }
    const SessionState& State() const { return state_; }
    TComm32& Comm() { return comm_; }
    const TComm32& Comm() const { return comm_; }
    LinkSession& Link() { return link_; }
    FileSession& Files() { return files_; }

    // Opens the chosen port (State().PortName) at baudRate and takes delayMs as the
    // poll delay. False when the component declined; its refusal is thrown.
    bool OpenPort(std::uint32_t baudRate, std::int32_t delayMs);

    // Runs a handler that may run a loop until it ends, so that no error leaves it.
    template <class Fn> void RunLoop(Fn&& fn) {
        ++loops_;
        RunGuarded(presenter_, fn);
        LoopEnded();
    }
    // A handler run by RunLoop is on the stack.
    bool LoopRunning() const { return loops_ > 0; }

    // Closes the port and ends the innermost wait: a live loop ends at its next test
    // of the port rather than at the end of a long delay.
    void StopPolling();
    // Ends every running loop: StopPolling, then each nested wait in turn, until the
    // outermost RunLoop has returned.
    void EndLoops();

private:
    void LoopEnded();

    NoFiles noFiles_;
    SystemTicks systemTicks_;
    MessagePresenter& presenter_;
    SessionState state_;
    TComm32 comm_;
    LinkSession link_;
    FileSession files_;
    QTimer endTimer_; // while ending: interrupts the waits one after the other
    int loops_ = 0;
};

} // namespace ecu
