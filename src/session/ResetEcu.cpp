// The guided ECU reset: the user cycles the ignition, the port is reopened, the
// mode-5 request goes out and the ECU's acknowledgement is checked.
#include "serial/Comm32.h"
#include "session/LinkSession.h"
#include "session/MessagePresenter.h"
#include "session/Messages.h"
#include "session/SessionHost.h"
#include "session/SessionState.h"

#include <algorithm>

namespace ecu {

namespace {
constexpr std::uint8_t ResetAcknowledged = 0xAA;
// First data byte of the answer, counted after the echo.
constexpr std::size_t AckOffset = 3;
constexpr std::int32_t ResumeDelayMs = 500;

QString Text(const char* s) {
    return QString::fromUtf8(s);
}
} // namespace

void LinkSession::ResetEcu() {
    const QString caption = Text(text::ResetCaption);
    ByteString& rx = state_.RxBuffer;

    comm_.CloseComm();
    presenter_.ShowMessage(caption, Text(text::ResetPrompt), MessageIcon::Information);
    WaitMs(state_.PollDelay);
    host_.OpenPort();
    WaitMs(state_.PollDelay);

    rx.clear();
    SendFrame(ResetRequest);
    WaitMs(state_.PollDelay);
    rx.erase(rx.begin(), rx.begin() + static_cast<std::ptrdiff_t>(std::min(rx.size(), EchoLength)));

    if (rx.size() > AckOffset && rx[AckOffset] == ResetAcknowledged) {
        rx.clear();
        presenter_.ShowMessage(caption, Text(text::ResetDone), MessageIcon::Information);
        SendFrame(ModeZeroRequest);
    } else {
        presenter_.ShowMessage(caption, Text(text::ResetFailed), MessageIcon::Error);
    }
    rx.clear();
    WaitMs(ResumeDelayMs);
    LivePoll();
}

void LinkSession::ResetEcuClick() {
    RunGuarded(presenter_, [this] { ResetEcu(); });
}

} // namespace ecu
