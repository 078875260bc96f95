#include "serial/CommThread.h"

#include "serial/CommNotice.h"

#include <pthread.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <system_error>

namespace ecu {

namespace {

// Room for any text of the system's, so that filling it in never allocates.
constexpr std::size_t kReasonRoom = 256;

} // namespace

TCommThread::TCommThread(QObject* notifyWindow, const char* name)
    : notifyWindow_(notifyWindow), name_(name),
      hangup_(std::make_unique<TCommNotice>(WM_COMM_HANGUP)) {
    hangup_->OsError.reserve(kReasonRoom);
}

TCommThread::~TCommThread() = default;

bool TCommThread::Start() {
    if (thread_.joinable() || !done_.Create())
        return false;
    try {
        thread_ = std::thread(&TCommThread::Run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool TCommThread::WaitFor(long timeoutMs) const {
    return !thread_.joinable() || done_.Wait(timeoutMs);
}

void TCommThread::Join() {
    if (thread_.joinable())
        thread_.join();
}

void TCommThread::Run() {
    // Named, so that a look at the process's threads shows which is which.
    (void)::pthread_setname_np(::pthread_self(), name_);
    try {
        Execute();
    } catch (const std::bad_alloc&) {
        Hangup(ENOMEM);
    } catch (const std::exception& e) {
        PostHangup(e.what());
    } catch (...) {
        PostHangup("Unknown error");
    }
    done_.Set();
}

void TCommThread::Hangup(int err) {
    char buf[kReasonRoom];
    // GNU strerror_r: may return a static string instead of buf.
    PostHangup(::strerror_r(err, buf, sizeof buf));
}

void TCommThread::PostHangup(const char* reason) {
    if (!hangup_ || StopRequested())
        return;
    hangup_->OsError.assign(reason, ::strnlen(reason, hangup_->OsError.capacity()));
    PostNotice(notifyWindow_, std::move(hangup_));
}

} // namespace ecu
