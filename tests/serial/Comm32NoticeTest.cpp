// Handler errors never cross Qt's event dispatch.
#include "ComponentSupport.h"
#include "Pty.h"
#include "Wait.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace ecu::test {
namespace {

TEST(Comm32Notice, ReceiveHandlerErrorGoesToOnHandlerError) {
    Pty pty;
    auto port = MakeComponent(pty.SlavePath());
    std::string received;
    port->OnReceiveData = [&](const void* b, std::uint16_t n) {
        received.append(static_cast<const char*>(b), n);
        throw std::runtime_error("bad frame");
    };
    std::string caught;
    port->OnHandlerError = [&](const std::exception_ptr& e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& ex) {
            caught += ex.what();
        }
    };
    ASSERT_TRUE(port->OpenComm());
    ASSERT_TRUE(pty.Write("one"));
    ASSERT_TRUE(WaitUntil([&] { return caught == "bad frame"; }));
    // Later notices are handled as before.
    ASSERT_TRUE(pty.Write("two"));
    EXPECT_TRUE(WaitUntil([&] { return received == "onetwo"; }));
}

TEST(Comm32Notice, UnclaimedHandlerErrorIsWrittenToStandardError) {
    Pty pty;
    auto port = MakeComponent(pty.SlavePath());
    bool thrown = false;
    port->OnReceiveData = [&](const void*, std::uint16_t) {
        thrown = true;
        throw std::runtime_error("bad frame");
    };
    ASSERT_TRUE(port->OpenComm());
    testing::internal::CaptureStderr();
    ASSERT_TRUE(pty.Write("one"));
    const bool handled = WaitUntil([&] { return thrown; });
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(handled);
    EXPECT_NE(err.find("bad frame"), std::string::npos);

    // An error handler that throws in turn is contained as well.
    port->OnHandlerError = [](const std::exception_ptr&) { throw 42; };
    thrown = false;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(pty.Write("two"));
    const bool again = WaitUntil([&] { return thrown; });
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(again);
}

} // namespace
} // namespace ecu::test
