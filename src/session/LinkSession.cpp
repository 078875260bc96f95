#include "session/LinkSession.h"

#include "record/Records.h"
#include "serial/Comm32.h"
#include "session/MessagePresenter.h"
#include "session/Messages.h"
#include "session/SessionHost.h"
#include "session/SessionState.h"

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
}

LinkSession::~LinkSession() {
    comm_.OnReceiveData = nullptr;
    comm_.OnHandlerError = nullptr;
}

void LinkSession::ReportHandlerError(const std::exception_ptr& error) {
    // Inside a wait the error ends the running loop; outside one nothing would
    // see it, so it gets the default box.
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

void LinkSession::ComPortReceiveData(const void* buffer, std::uint16_t length) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    for (std::uint16_t i = 0; i < length; ++i) {
        if (state_.Flags.RecordingActive)
            state_.File.WriteByte(bytes[i]);
        state_.RxBuffer.push_back(bytes[i]);
    }
}

void LinkSession::LivePoll() {
    try {
        while (comm_.Connected())
            RunCycle();
    } catch (...) {
        presenter_.ShowMessage(Text(text::BrokenLinkCaption), Text(text::BrokenLinkText),
                               MessageIcon::Error);
    }
}

void LinkSession::RunCycle() {
    ByteString& rx = state_.RxBuffer;
    rx.clear();
    SendFrame(DataRequest);
    WaitMs(state_.PollDelay);

    // Nothing at all, or the echo of the request and no answer after it.
    const bool echoOnly = rx.size() > ModeOffset && rx.size() <= EchoLength &&
                          rx[ModeOffset] == DataRequest[ModeOffset];
    if (rx.empty() || echoOnly)
        throw SilentLink();

    const EngineVariant variant = host_.SelectedVariant();
    // An answer cut short is skipped: the last values stay, the page still steps.
    const std::size_t complete = RecordSize(variant);
    const bool cutShort = complete != 0 && rx.size() < complete;
    // Set here, not at the start: a nested loop may have run during the wait.
    lastDecoded_ = !cutShort && DecodeFrame(rx, state_.Engine, variant);

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

void LinkSession::SendControlFrame() {
    state_.Control.Checksum();
    SendFrame(state_.Control.data(), ControlFrameLength);
    WaitMs(50);
}

void LinkSession::RestoreAndSendControlFrame() {
    state_.Control.Restore();
    SendFrame(state_.Control.data(), ControlFrameLength);
    WaitMs(state_.PollDelay);
}

} // namespace ecu
