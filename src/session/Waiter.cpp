#include "session/Waiter.h"

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

void Waiter::WaitMs(std::int32_t ms, const std::function<bool()>& done) {
    if (ms <= 0)
        return;
    const auto span = static_cast<std::uint32_t>(ms);
    const std::uint32_t start = ticks_.Now();
    DepthGuard guard(depth_);
    // One timer for the whole wait bounds each sleep; the deadline itself is judged
    // on the tick. It is restarted only if it fired before the tick got there.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    int passes = 0;
    for (;;) {
        const std::uint32_t elapsed = ticks_.Now() - start; // wraps correctly at 2^32
        if (elapsed >= span) {
            // Bytes that came in time may still be in the reader's hands or in the
            // event queue (a pass held up by a long handler, a busy computer): the
            // hand-over and one last pass take them, or the cycle would miss an
            // answer that was there.
            if (handOver_)
                handOver_();
            if (passes > 0)
                QCoreApplication::processEvents(QEventLoop::AllEvents);
            RethrowKept();
            return;
        }
        ++passes;
        if (mode_ == Mode::Spin) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        } else {
            if (!deadline.isActive())
                deadline.start(static_cast<int>(span - elapsed));
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        RethrowKept();
        if (done && done())
            return;
    }
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
