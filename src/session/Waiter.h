#pragma once
// The session's wait: lets the UI thread handle every event (received bytes,
// clicks, page changes) for a number of milliseconds. Handlers run inside it, so
// waits nest.
#include "session/TickSource.h"

#include <cstdint>
#include <exception>
#include <functional>

namespace ecu {

class Waiter {
public:
    // Sleep: rest in the event dispatcher until the next event or the deadline.
    // Spin: keep polling for events; kept only to measure what sleeping saves.
    enum class Mode { Sleep, Spin };

    explicit Waiter(TickSource& ticks, Mode mode = Mode::Sleep) : ticks_(ticks), mode_(mode) {}
    Waiter(const Waiter&) = delete;
    Waiter& operator=(const Waiter&) = delete;

    // Returns once at least ms milliseconds have passed on the tick, after a last
    // pass over the events queued by then when it handled any; ms <= 0 returns at
    // once without handling any event. An error kept by KeepError during a pass is rethrown
    // after that pass.
    void WaitMs(std::int32_t ms) { WaitMs(ms, {}); }
    // The same, but returns early after a pass over events that made `done` hold: a
    // state change made by a click or a key then takes effect at once.
    void WaitMs(std::int32_t ms, const std::function<bool()>& done);

    // Keeps an error that a handler raised while a wait handles events, so that
    // the innermost wait rethrows it. Returns false when no wait is running: the
    // caller must then report the error itself.
    bool KeepError(std::exception_ptr error);

    int Depth() const { return depth_; }

    // Called at each wait's deadline before the last pass: takes at once what has
    // reached the port but not yet the event queue, so that it counts for the wait.
    void SetHandOver(std::function<void()> handOver) { handOver_ = std::move(handOver); }

private:
    void RethrowKept();

    TickSource& ticks_;
    Mode mode_;
    std::exception_ptr kept_;
    std::function<void()> handOver_;
    int depth_ = 0;
};

} // namespace ecu
