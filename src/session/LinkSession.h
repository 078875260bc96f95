#pragma once
// The live session on the ECU link: sending frames, collecting what comes back,
// the polling loop, the control frame's sending and the ECU reset. Everything runs
// on the UI thread; the loops handle events while they wait, so handlers (Stop,
// page changes, Start again, reset) run between their steps and may nest.
#include "session/Waiter.h"
#include "wire/Frames.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>

namespace ecu {

class MessagePresenter;
class SessionHost;
class TComm32;
struct SessionState;

// A write to the recording failed. Recording has stopped; the text names the file
// and gives the system's reason.
class RecordingFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Which calls can throw: WaitMs rethrows an error kept during the wait (from the
// receive handler or InterruptWait), and so do ResetEcu, SendControlFrame and
// RestoreAndSendControlFrame, which wait; ResetEcu also lets the port's opening
// error through. The entry points named ...Click or ...Guarded and LivePoll never
// throw: they are what the window's handlers call.
class LinkSession {
public:
    // Binds itself as comm's receive handler for as long as it lives.
    LinkSession(SessionState& state, TComm32& comm, SessionHost& host, MessagePresenter& presenter,
                TickSource& ticks, Waiter::Mode waitMode = Waiter::Mode::Sleep);
    ~LinkSession();
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    void WaitMs(std::int32_t ms) { waiter_.WaitMs(ms); }
    // Waits as WaitMs, ending early once a pass over events made `done` hold.
    void WaitMs(std::int32_t ms, const std::function<bool()>& done) { waiter_.WaitMs(ms, done); }
    // Ends the innermost running wait at once, as an error of its cycle would: a
    // live loop then ends with the broken-link box. False when no wait runs.
    bool InterruptWait();

    // Hands bytes to the port's writer. A refusal is shown in a box and otherwise
    // ignored: callers carry on as if the frame had gone out.
    void SendFrame(const std::uint8_t* bytes, std::uint16_t count);
    void SendFrame(const RequestFrame& frame) { SendFrame(frame.data(), frame.size()); }

    // The port's receive handler: writes the block to the recording while
    // recording is active (but never a control frame's exchange), then appends it
    // to the receive buffer. A failed write stops recording and throws
    // RecordingFailure; the bytes from the first one that did not fit are dropped.
    void ComPortReceiveData(const void* buffer, std::uint16_t length);

    // Polls the ECU while the port is open. A failed recording ends it with one
    // box naming the file; any other error of a cycle with the broken-link box,
    // unless the port was closed under the cycle (Stop, closing the port, Exit):
    // the user ended the session, the link did not break.
    void LivePoll();
    // Start: polls unless a live loop already runs, which a second loop would only
    // duplicate (one broken-link box per press when the link then breaks).
    void StartLivePoll();
    bool Polling() const { return liveLoops_ > 0; }
    // Whether the last cycle's answer was decoded into the engine values.
    bool LastCycleDecoded() const { return lastDecoded_; }
    // Live cycles in a row, up to the last one, whose answer was not decoded; 0 after
    // a decoded one. From UndecodedWarningCycles on the window says so.
    int UndecodedInARow() const { return undecodedInARow_; }
    static constexpr int UndecodedWarningCycles = 3;
    // Whether the echo of the last cycle's request came back: without it nothing tells
    // its answer from line noise, and a recording holds no start of that cycle.
    bool LastCycleEchoed() const { return lastEchoed_; }
    // Whether a whole cycle (echo and answer) came back in the last cycle: a recording
    // then ends in a record that can be decoded.
    bool LastCycleWhole() const { return lastWhole_; }

    // The reset exchange, ending in a live loop of its own. Throws when the port
    // cannot be reopened; ResetEcuClick shows that error instead.
    void ResetEcu();
    void ResetEcuClick();

    // Control page shown: set the frame's layout for the engine variant.
    void ControlPageShown();
    // Checksum and send the control frame, then give the ECU 50 ms.
    void SendControlFrame();
    // Control page left: restore the default frame, send it, wait PollDelay.
    void RestoreAndSendControlFrame();
    // The same for the window's handlers: an error of the wait goes on to the
    // wait of the loop that is running, which it ends; with none running it is
    // shown in the default box.
    void RestoreAndSendControlFrameGuarded();

    // Runs when a write to the recording fails, as recording stops: the owner's
    // display of the file being recorded must not outlive it.
    std::function<void()> OnRecordingFailed;

private:
    void RunCycle();
    void ShowBrokenLink();
    void ReportHandlerError(const std::exception_ptr& error);
    // Hands the control frame to the port and waits, keeping its exchange out of
    // the recording.
    void SendControlAndWait(std::int32_t ms);
    // How many of `length` received bytes may go to the recording now.
    std::size_t RecordableNow(std::size_t length) const;

    SessionState& state_;
    TComm32& comm_;
    SessionHost& host_;
    MessagePresenter& presenter_;
    Waiter waiter_;
    int liveLoops_ = 0; // running LivePoll calls, nested ones included
    bool lastDecoded_ = false;
    int undecodedInARow_ = 0;
    bool lastEchoed_ = false;
    bool lastWhole_ = false;
    // Recording of the cycle in progress: from its data request to the end of its
    // wait. Once a control frame has gone out, only what completes the cycle's
    // exchange is recorded, so every record in the file stays one whole cycle.
    bool cycleOpen_ = false;
    std::size_t cycleRecorded_ = 0;
    bool controlSent_ = false;      // since the last data request
    std::size_t controlBudget_ = 0; // bytes the cycle may still record after it
};

} // namespace ecu
