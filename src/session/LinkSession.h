#pragma once
// The live session on the ECU link: sending frames, collecting what comes back,
// the polling loop, the control frame's sending and the ECU reset. Everything runs
// on the UI thread; the loops handle events while they wait, so handlers (Stop,
// page changes, Start again, reset) run between their steps and may nest.
#include "session/Waiter.h"
#include "wire/Frames.h"

#include <cstdint>

namespace ecu {

class MessagePresenter;
class SessionHost;
class TComm32;
struct SessionState;

class LinkSession {
public:
    // Binds itself as comm's receive handler for as long as it lives.
    LinkSession(SessionState& state, TComm32& comm, SessionHost& host, MessagePresenter& presenter,
                TickSource& ticks, Waiter::Mode waitMode = Waiter::Mode::Sleep);
    ~LinkSession();
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    void WaitMs(std::int32_t ms) { waiter_.WaitMs(ms); }
    // Ends the innermost running wait at once, as an error of its cycle would: a
    // live loop then ends with the broken-link box. False when no wait runs.
    bool InterruptWait();

    // Hands bytes to the port's writer. A refusal is shown in a box and otherwise
    // ignored: callers carry on as if the frame had gone out.
    void SendFrame(const std::uint8_t* bytes, std::uint16_t count);
    void SendFrame(const RequestFrame& frame) { SendFrame(frame.data(), frame.size()); }

    // The port's receive handler: records each byte while recording is active,
    // then appends it to the receive buffer. A failed write throws at that byte.
    void ComPortReceiveData(const void* buffer, std::uint16_t length);

    // Polls the ECU while the port is open. Any error of a cycle ends it with the
    // broken-link box; it never throws.
    void LivePoll();
    // Whether the last cycle's answer was decoded into the engine values.
    bool LastCycleDecoded() const { return lastDecoded_; }

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

private:
    void RunCycle();
    void ReportHandlerError(const std::exception_ptr& error);

    SessionState& state_;
    TComm32& comm_;
    SessionHost& host_;
    MessagePresenter& presenter_;
    Waiter waiter_;
    bool lastDecoded_ = false;
};

} // namespace ecu
