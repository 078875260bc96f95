// Closing, losing the device, reopening, and what a component leaves behind.
#include "ComponentSupport.h"
#include "Pty.h"
#include "Wait.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <dirent.h>

#include <string>

namespace ecu::test {
namespace {

// Entries of a /proc folder, e.g. "/proc/self/fd".
int CountEntries(const char* dir) {
    int n = 0;
    if (DIR* d = ::opendir(dir)) {
        while (const dirent* e = ::readdir(d))
            if (e->d_name[0] != '.')
                ++n;
        ::closedir(d);
    }
    return n;
}

// Generous for a busy machine; a stop that hangs takes 10 s or forever.
constexpr qint64 kPromptMs = 3000;

TEST(Comm32Lifecycle, CloseDuringAPendingReadIsPromptAndQuiet) {
    Pty pty;
    auto port = MakeComponent(pty.SlavePath());
    Recorder rec;
    rec.Bind(*port);
    ASSERT_TRUE(port->OpenComm());
    PumpEvents(50);

    QElapsedTimer timer;
    timer.start();
    port->CloseComm();
    EXPECT_LT(timer.elapsed(), kPromptMs);
    EXPECT_FALSE(port->Connected());
    PumpEvents(100);
    EXPECT_EQ(rec.hangups, 0);
}

TEST(Comm32Lifecycle, CloseDuringABlockedWriteIsPromptAndQuiet) {
    Pty pty; // nobody reads the master, so the writer soon waits for room
    auto port = MakeComponent(pty.SlavePath());
    Recorder rec;
    rec.Bind(*port);
    ASSERT_TRUE(port->OpenComm());
    const std::string block(60000, 'x');
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(port->WriteComm(block.data(), static_cast<std::uint16_t>(block.size())));
    PumpEvents(200);

    QElapsedTimer timer;
    timer.start();
    port->CloseComm();
    EXPECT_LT(timer.elapsed(), kPromptMs);
    PumpEvents(100);
    EXPECT_EQ(rec.hangups, 0);
    // What was still unwritten is gone, not delivered after the close.
    EXPECT_LT(pty.Read(8 * block.size(), 200).size(), 8 * block.size());
}

TEST(Comm32Lifecycle, LostFarSideHangsUpOnceAndANewPortOpens) {
    auto pty = std::make_unique<Pty>();
    auto port = MakeComponent(pty->SlavePath());
    Recorder rec;
    rec.Bind(*port);
    ASSERT_TRUE(port->OpenComm());
    ASSERT_TRUE(pty->Write("before"));
    ASSERT_TRUE(WaitUntil([&] { return rec.All() == "before"; }));

    pty->CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return rec.hangups >= 1; }));
    PumpEvents(200);
    EXPECT_EQ(rec.hangups, 1); // the reader's; the idle writer has not noticed
    EXPECT_TRUE(port->Connected());
    EXPECT_FALSE(port->LastOsError().empty());

    // The writer meets the loss with its next block, reports it and ends;
    // from then on blocks are refused.
    EXPECT_TRUE(port->WriteComm("ping", 4));
    ASSERT_TRUE(WaitUntil([&] { return rec.hangups == 2; }));
    EXPECT_TRUE(WaitUntil([&] { return !port->WriteComm("ping", 4); }));

    port->CloseComm();
    pty = std::make_unique<Pty>();
    port->SetCommPort(QString::fromStdString(pty->SlavePath()));
    ASSERT_TRUE(port->OpenComm());
    ASSERT_TRUE(pty->Write("after"));
    EXPECT_TRUE(WaitUntil([&] { return rec.All() == "beforeafter"; }));
    ASSERT_TRUE(port->WriteComm("back", 4));
    EXPECT_EQ(pty->Read(4), "back");
}

TEST(Comm32Lifecycle, RepeatedOpenAndCloseLeavesNoThreadsOrDescriptors) {
    Pty pty;
    auto port = MakeComponent(pty.SlavePath());
    // Warm up, so that what Qt sets up once is not counted.
    ASSERT_TRUE(port->OpenComm());
    port->CloseComm();
    PumpEvents(10);
    const int fds = CountEntries("/proc/self/fd");
    const int tasks = CountEntries("/proc/self/task");

    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(port->OpenComm()) << "cycle " << i;
        if (i % 100 == 0) {
            ASSERT_TRUE(port->WriteComm("x", 1));
        }
        port->CloseComm();
        if (i % 50 == 0)
            PumpEvents(0);
    }
    PumpEvents(10);
    EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
    // An ended thread may take a moment to leave the task list.
    EXPECT_TRUE(WaitUntil([&] { return CountEntries("/proc/self/task") == tasks; }));
    EXPECT_EQ(CountEntries("/proc/self/task"), tasks);
}

TEST(Comm32Lifecycle, DestroyingAnOpenComponentWithNoticesPendingFreesThem) {
    Pty pty;
    auto port = MakeComponent(pty.SlavePath());
    ASSERT_TRUE(port->OpenComm());
    ASSERT_TRUE(port->WriteComm("queued", 6));
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(pty.Write(std::string(100, 'a' + i)));
        QThread::msleep(10);
    }
    port.reset(); // the port is closed; the leak checker sees any block left behind
    PumpEvents(10);
    SUCCEED();
}

} // namespace
} // namespace ecu::test
