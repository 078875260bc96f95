#include "link/Waiter.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimer>

#include <utility>

namespace ecu {

namespace {
struct DepthGuard {
    int& depth;
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
};
} // namespace

void Waiter::WaitMs(std::int32_t ms) {
    if (ms <= 0)
        return;
    const auto span = static_cast<std::uint32_t>(ms);
    const std::uint32_t start = ticks_.Now();
    DepthGuard guard(depth_);
    for (;;) {
        const std::uint32_t elapsed = ticks_.Now() - start; // wraps correctly at 2^32
        if (elapsed >= span)
            return;
        Pass(span - elapsed);
        RethrowKept();
    }
}

void Waiter::Pass(std::uint32_t left) {
    if (mode_ == Mode::Spin) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    // The timer only bounds the sleep; the deadline itself is judged on the tick.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.start(static_cast<int>(left));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool Waiter::KeepError(std::exception_ptr error) {
    if (depth_ == 0)
        return false;
    if (!kept_)
        kept_ = std::move(error);
    // End the current pass now rather than at the deadline.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->interrupt();
    return true;
}

void Waiter::RethrowKept() {
    if (kept_)
        std::rethrow_exception(std::exchange(kept_, nullptr));
}

} // namespace ecu
