#include "session/Session.h"

#include "session/PortOpen.h"

namespace ecu {

namespace {
constexpr int EndPollMs = 5;
} // namespace

Session::Session(SessionHost& host, MessagePresenter& presenter, PlaybackFooter* footer,
                 FileChooser* chooser, const SessionOptions& options)
    : presenter_(presenter), link_(state_, comm_, host, presenter,
                                   options.ticks ? *options.ticks : systemTicks_, options.waitMode),
      files_(state_, comm_, host, footer ? *footer : noFiles_, chooser ? *chooser : noFiles_,
             presenter, link_) {
    state_.PortName = options.port;
    comm_.SetCommPort(options.port);
    comm_.SetBaudRate(options.baudRate);
    comm_.SetFlowControl(fcNone);
    comm_.SetEventChar(0);
    PlaybackFooter& shown = footer ? *footer : noFiles_;
    link_.OnRecordingFailed = [&shown] { shown.SetFileNameLabel(QString()); };
    endTimer_.setInterval(EndPollMs);
    QObject::connect(&endTimer_, &QTimer::timeout, [this] { link_.InterruptWait(); });
}

Session::~Session() {
    endTimer_.stop();
    comm_.CloseComm();
}

bool Session::OpenPort(std::uint32_t baudRate, std::int32_t delayMs) {
    return OpenPortWith(comm_, state_.PortName, baudRate, delayMs, state_.PollDelay);
}

void Session::StopPolling() {
    comm_.CloseComm();
    link_.InterruptWait();
}

void Session::EndLoops() {
    StopPolling();
    if (loops_ > 0)
        endTimer_.start();
}

void Session::LoopEnded() {
    if (--loops_ == 0)
        endTimer_.stop();
}

} // namespace ecu
