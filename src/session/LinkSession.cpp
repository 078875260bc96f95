#include "session/LinkSession.h"

#include "record/DataFile.h"
#include "record/Records.h"
#include "serial/Comm32.h"
#include "session/MessagePresenter.h"
#include "session/Messages.h"
#include "session/SessionHost.h"
#include "session/SessionState.h"

#include <algorithm>

namespace ecu {

namespace {
// Nothing came back from the ECU in a cycle.
class SilentLink : public std::runtime_error {
public:
    SilentLink() : std::runtime_error("no answer from the ECU") {}
};

class WaitInterrupted : public std::runtime_error {
public:
    WaitInterrupted() : std::runtime_error("wait interrupted") {}
};

constexpr std::int32_t ControlWaitMs = 50;
// How long a wait's deadline may wait for the reader to hand over what it holds; it
// answers within a fraction of a millisecond unless the computer is very busy.
constexpr long HandOverBoundMs = 50;

QString Text(const char* s) {
    return QString::fromUtf8(s);
}
} // namespace

LinkSession::LinkSession(SessionState& state, TComm32& comm, SessionHost& host,
                         MessagePresenter& presenter, TickSource& ticks, Waiter::Mode waitMode)
    : state_(state), comm_(comm), host_(host), presenter_(presenter), waiter_(ticks, waitMode) {
    comm_.OnReceiveData = [this](const void* buffer, std::uint16_t length) {
        ComPortReceiveData(buffer, length);
    };
    comm_.OnHandlerError = [this](const std::exception_ptr& error) { ReportHandlerError(error); };
    waiter_.SetHandOver([this] { comm_.HandOverReceived(HandOverBoundMs); });
}

LinkSession::~LinkSession() {
    comm_.OnReceiveData = nullptr;
    comm_.OnHandlerError = nullptr;
}

void LinkSession::ReportHandlerError(const std::exception_ptr& error) {
    // Inside a wait the error ends the running loop; outside one nothing would
    // see it, so it gets the default box. The guarded control entries pass theirs
    // on the same way: an error of their wait belongs to the loop around them.
    if (!waiter_.KeepError(error))
        ShowDefaultError(presenter_, error);
}

bool LinkSession::InterruptWait() {
    return waiter_.KeepError(std::make_exception_ptr(WaitInterrupted()));
}

void LinkSession::SendFrame(const std::uint8_t* bytes, std::uint16_t count) {
    if (!comm_.WriteComm(bytes, count))
        presenter_.ShowMessage(Text(text::SendFailureCaption), Text(text::SendFailureText),
                               MessageIcon::Error);
}

std::size_t LinkSession::RecordableNow(std::size_t length) const {
    return controlSent_ ? std::min(length, controlBudget_) : length;
}

void LinkSession::ComPortReceiveData(const void* buffer, std::uint16_t length) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    ByteString& rx = state_.RxBuffer;
    if (state_.Flags.RecordingActive) {
        const std::size_t recordable = RecordableNow(length);
        try {
            state_.File.Write(bytes, recordable);
        } catch (const DataFileWriteError& e) {
            // Stopped at once: every later block would fail again, each on its own.
            state_.Flags.RecordingFailed();
            if (OnRecordingFailed)
                OnRecordingFailed();
            rx.insert(rx.end(), bytes, bytes + e.Written());
            throw RecordingFailure(e.what());
        }
        cycleRecorded_ += recordable;
        if (controlSent_)
            controlBudget_ -= recordable;
    }
    rx.insert(rx.end(), bytes, bytes + length);
}

void LinkSession::LivePoll() {
    struct Running {
        int& loops;
        explicit Running(int& n) : loops(++n) {}
        ~Running() { --loops; }
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
    } running(liveLoops_);
    try {
        while (comm_.Connected())
            RunCycle();
    } catch (const RecordingFailure&) {
        // The link is fine: say what happened to the file, once.
        ShowDefaultError(presenter_, std::current_exception());
    } catch (const SilentLink&) {
        // Only the user's own actions close the port; a lost adapter leaves it open.
        if (comm_.Connected())
            ShowBrokenLink();
    } catch (const WaitInterrupted&) {
        if (comm_.Connected())
            ShowBrokenLink();
    } catch (...) {
        ShowBrokenLink();
    }
}

void LinkSession::StartLivePoll() {
    if (!Polling())
        LivePoll();
}

void LinkSession::ShowBrokenLink() {
    presenter_.ShowMessage(Text(text::BrokenLinkCaption), Text(text::BrokenLinkText),
                           MessageIcon::Error);
}

void LinkSession::RunCycle() {
    ByteString& rx = state_.RxBuffer;
    rx.clear();
    cycleOpen_ = true;
    cycleRecorded_ = 0;
    controlSent_ = false;
    SendFrame(DataRequest);
    try {
        WaitMs(state_.PollDelay);
    } catch (...) {
        cycleOpen_ = false;
        throw;
    }
    cycleOpen_ = false;

    // Nothing at all, or the echo of the request and no answer after it.
    const bool echoOnly = rx.size() > ModeOffset && rx.size() <= EchoLength &&
                          rx[ModeOffset] == DataRequest[ModeOffset];
    if (rx.empty() || echoOnly)
        throw SilentLink();

    const EngineVariant variant = host_.SelectedVariant();
    const std::size_t complete = RecordSize(variant);
    const auto echoAt = FindDataRequest(rx);
    // Set here, not at the start: a nested loop may have run during the wait.
    lastEchoed_ = echoAt.has_value();
    lastWhole_ = echoAt && complete != 0 && rx.size() - *echoAt >= complete;
    // Anything but a well-formed exchange is skipped as an answer cut short: the last
    // values stay, the page still steps.
    lastDecoded_ = DecodeExchange(rx, state_.Engine, variant);
    undecodedInARow_ = lastDecoded_ ? 0 : undecodedInARow_ + 1;
    host_.ShowUndecodedCycles(undecodedInARow_);

    const int page = host_.ActivePageIndex();
    state_.Flags.CycleOnPage(page);
    if (page == PageControl) {
        host_.ControlPageRefresh();
        SendControlFrame();
    } else {
        StepDisplayPage(host_, page);
    }
}

void LinkSession::ControlPageShown() {
    SetControlLayout(state_.Layout, host_.SelectedVariant());
}

void LinkSession::SendControlAndWait(std::int32_t ms) {
    if (!controlSent_) {
        // Sent inside a cycle's wait, its echo and reply may follow the answer:
        // the cycle records only what completes its exchange.
        const std::size_t size = RecordSize(host_.SelectedVariant());
        controlBudget_ = cycleOpen_ && size > cycleRecorded_ ? size - cycleRecorded_ : 0;
        controlSent_ = true;
    }
    SendFrame(state_.Control.data(), ControlFrameLength);
    WaitMs(ms);
}

void LinkSession::SendControlFrame() {
    state_.Control.Checksum();
    SendControlAndWait(ControlWaitMs);
}

void LinkSession::RestoreAndSendControlFrame() {
    state_.Control.Restore();
    SendControlAndWait(state_.PollDelay);
}

void LinkSession::RestoreAndSendControlFrameGuarded() {
    try {
        RestoreAndSendControlFrame();
    } catch (...) {
        ReportHandlerError(std::current_exception());
    }
}

} // namespace ecu
