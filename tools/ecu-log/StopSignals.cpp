#include "StopSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <stdexcept>
#include <sys/signalfd.h>
#include <unistd.h>

namespace ecu::logtool {

namespace {
sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}
} // namespace

void BlockStopSignals() {
    const sigset_t set = StopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignals::StopSignals(std::atomic<bool>& stopRequested, std::function<void()> onStop)
    : stop_(stopRequested), onStop_(std::move(onStop)) {
    const sigset_t set = StopSet();
    fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ < 0)
        throw std::runtime_error("signalfd failed");
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { Drain(); });
}

StopSignals::~StopSignals() {
    delete notifier_;
    if (fd_ >= 0)
        ::close(fd_);
}

void StopSignals::Drain() {
    signalfd_siginfo info{};
    bool any = false;
    while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        any = true;
    if (!any)
        return;
    stop_.store(true);
    if (onStop_)
        onStop_();
}

} // namespace ecu::logtool
