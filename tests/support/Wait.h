#pragma once
// Waiting while Qt runs: events are handled until a condition holds. The default limit
// leaves a busy machine room; a test that measures time does not use these.
#include <QTest>

#include <functional>

namespace ecu::test {

inline constexpr int DefaultWaitMs = 10000;

// Handles events until cond holds; false when timeoutMs passed first.
[[nodiscard]] inline bool WaitUntil(const std::function<bool()>& cond,
                                    int timeoutMs = DefaultWaitMs) {
    return QTest::qWaitFor(cond, timeoutMs);
}

// Handles events for ms milliseconds.
inline void PumpEvents(int ms) {
    QTest::qWait(ms);
}

} // namespace ecu::test
