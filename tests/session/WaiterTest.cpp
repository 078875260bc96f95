#include "session/Waiter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

namespace ecu {
namespace {

// Generous upper bound for a wait on a busy 2-core machine.
constexpr qint64 SlackMs = 1500;

TEST(WaitMs, ZeroAndNegativeReturnWithoutHandlingEvents) {
    SystemTicks ticks;
    Waiter waiter(ticks);
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    waiter.WaitMs(0);
    waiter.WaitMs(-1);
    waiter.WaitMs(INT32_MIN);
    EXPECT_FALSE(ran);
    waiter.WaitMs(20);
    EXPECT_TRUE(ran);
}

TEST(WaitMs, LastsTheRequestedTimeAcrossTheTickWrap) {
    for (std::uint32_t before : {1u, 30u, 79u}) {
        SystemTicks real;
        OffsetTicks ticks(0u - before - real.Now()); // wraps `before` ms into the wait
        Waiter waiter(ticks);
        const std::uint32_t startTick = ticks.Now();
        QElapsedTimer clock;
        clock.start();
        waiter.WaitMs(80);
        const qint64 took = clock.elapsed();
        const std::uint32_t endTick = ticks.Now();
        EXPECT_LT(endTick, startTick) << "the tick did not wrap during the wait";
        EXPECT_GE(took, 79) << "before=" << before; // timer and tick disagree by <1 ms
        EXPECT_LT(took, 80 + SlackMs);
    }
}

TEST(WaitMs, HandlesEventsWhileWaiting) {
    SystemTicks ticks;
    Waiter waiter(ticks);
    int fired = 0;
    QTimer repeat;
    QObject::connect(&repeat, &QTimer::timeout, [&] { ++fired; });
    repeat.start(10);
    QElapsedTimer clock;
    clock.start();
    waiter.WaitMs(200);
    EXPECT_GE(clock.elapsed(), 199); // whole ticks: up to 1 ms less in real time
    EXPECT_GE(fired, 5);
}

TEST(WaitMs, RethrowsAnErrorKeptDuringTheWaitAndEndsItEarly) {
    SystemTicks ticks;
    Waiter waiter(ticks);
    EXPECT_FALSE(waiter.KeepError(std::make_exception_ptr(std::runtime_error("idle"))));
    QTimer::singleShot(20, [&] {
        EXPECT_TRUE(waiter.KeepError(std::make_exception_ptr(std::runtime_error("disk full"))));
    });
    QElapsedTimer clock;
    clock.start();
    try {
        waiter.WaitMs(10000);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "disk full");
    }
    EXPECT_LT(clock.elapsed(), 10000 - SlackMs);
    // The error is gone once rethrown.
    waiter.WaitMs(10);
}

TEST(WaitMs, OfTwoErrorsKeptInOneWaitTheFirstIsRethrown) {
    SystemTicks ticks;
    Waiter waiter(ticks);
    QTimer::singleShot(10, [&] {
        EXPECT_TRUE(waiter.KeepError(std::make_exception_ptr(std::runtime_error("first"))));
        EXPECT_TRUE(waiter.KeepError(std::make_exception_ptr(std::logic_error("second"))));
    });
    try {
        waiter.WaitMs(5000);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "first");
    } catch (const std::logic_error&) {
        ADD_FAILURE() << "the second error replaced the first";
    }
    EXPECT_NO_THROW(waiter.WaitMs(10)) << "the second is not kept for a later wait";
}

TEST(WaitMs, NestedWaitRethrowsItsOwnErrorAndTheOuterCarriesOn) {
    SystemTicks ticks;
    Waiter waiter(ticks);
    bool innerThrew = false;
    QTimer::singleShot(10, [&] {
        QTimer::singleShot(
            10, [&] { waiter.KeepError(std::make_exception_ptr(std::logic_error("x"))); });
        try {
            waiter.WaitMs(5000);
        } catch (const std::logic_error&) {
            innerThrew = true;
        }
        EXPECT_EQ(waiter.Depth(), 1);
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_NO_THROW(waiter.WaitMs(100));
    EXPECT_TRUE(innerThrew);
    EXPECT_GE(clock.elapsed(), 99);
    EXPECT_EQ(waiter.Depth(), 0);
}

} // namespace
} // namespace ecu
