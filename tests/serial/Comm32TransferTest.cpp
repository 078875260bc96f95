// Bytes through an open port: the writer's complete writes, the reader's bursts.
#include "ComponentSupport.h"
#include "Pty.h"
#include "Wait.h"

#include <QThread>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace ecu::test {
namespace {

std::string Pattern(std::size_t size, unsigned seed) {
    std::string s(size, '\0');
    std::uint32_t x = seed;
    for (auto& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return s;
}

TEST(Comm32Transfer, ShortRequestLeavesAsOneWrite) {
    Pty pty;
    auto port = MakeComponent(pty.SlavePath());
    ASSERT_TRUE(port->OpenComm());
    const unsigned char request[] = {0xF4, 0x56, 0x01, 0xB5};
    ASSERT_TRUE(port->WriteComm(request, 4));
    EXPECT_EQ(pty.ReadOnce(), std::string("\xF4\x56\x01\xB5", 4));
}

TEST(Comm32Transfer, WriteCommIsRefusedWithoutAnOpenPort) {
    Pty pty;
    auto port = MakeComponent(pty.SlavePath());
    EXPECT_FALSE(port->WriteComm("abcd", 4));
    ASSERT_TRUE(port->OpenComm());
    EXPECT_FALSE(port->WriteComm(nullptr, 4));
    port->CloseComm();
    EXPECT_FALSE(port->WriteComm("abcd", 4));
    EXPECT_FALSE(port->Connected());
    port->CloseComm(); // twice is harmless
    EXPECT_FALSE(port->Connected());
}

TEST(Comm32Transfer, LargeBlocksAreWrittenCompletelyAndInOrder) {
    Pty pty;
    auto port = MakeComponent(pty.SlavePath());
    ASSERT_TRUE(port->OpenComm());
    // Far more than the pseudo-terminal takes at once, so writes go partial.
    const std::string data = Pattern(std::size_t{16} * 65535, 7);
    std::string received;
    std::thread reader([&] { received = pty.Read(data.size(), 30000); });
    for (std::size_t off = 0; off < data.size(); off += 65535)
        ASSERT_TRUE(port->WriteComm(data.data() + off, 65535));
    reader.join();
    EXPECT_EQ(received.size(), data.size());
    EXPECT_TRUE(received == data);
}

TEST(Comm32Transfer, BurstsApartArriveAsSeparateCallsInOrder) {
    Pty pty;
    auto port = MakeComponent(pty.SlavePath());
    Recorder rec;
    rec.Bind(*port);
    ASSERT_TRUE(port->OpenComm());

    const std::string bursts[] = {std::string("\xF4\x56\x01\xB5", 4),
                                  std::string("\xF4\x92\x01", 3),
                                  std::string(1, '\0') + "zero first", "last"};
    // 20 ms apart, and never before the previous one has arrived, so that a
    // thread held up by a busy machine cannot join them.
    std::size_t expected = 0;
    for (const auto& b : bursts) {
        ASSERT_TRUE(pty.Write(b));
        expected += b.size();
        QThread::msleep(20);
        ASSERT_TRUE(WaitUntil([&] { return rec.Total() == expected; }));
    }
    ASSERT_EQ(rec.blocks.size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(rec.blocks[i], bursts[i]);
    EXPECT_TRUE(rec.allZeroTerminated);
}

TEST(Comm32Transfer, EndlessStreamArrivesCompleteInBoundedBlocks) {
    Pty pty;
    auto port = MakeComponent(pty.SlavePath());
    Recorder rec;
    rec.Bind(*port);
    ASSERT_TRUE(port->OpenComm());

    const std::string data = Pattern(1 << 20, 3);
    bool written = false;
    std::thread writer([&] { written = pty.Write(data.data(), data.size(), 30000); });
    const bool all = WaitUntil([&] { return rec.Total() >= data.size(); }, 30000);
    writer.join();
    ASSERT_TRUE(written);
    ASSERT_TRUE(all);
    EXPECT_TRUE(rec.All() == data);
    std::size_t largest = 0;
    for (const auto& b : rec.blocks)
        largest = std::max(largest, b.size());
    EXPECT_LE(largest, 32768u);
    EXPECT_TRUE(rec.allZeroTerminated);
}

TEST(Comm32Transfer, EventCharacterRaisesItsEventAndNoRing) {
    Pty pty;
    auto port = MakeComponent(pty.SlavePath());
    port->SetEventChar('~');
    Recorder rec;
    rec.Bind(*port);
    int commEvents = 0, eventChars = 0, rings = 0;
    port->OnCommEvent = [&](TComm32*) { ++commEvents; };
    port->OnEventChar = [&](TComm32*) { ++eventChars; };
    port->OnChangeRing = [&](TComm32*) { ++rings; };
    port->OnClearRing = [&](TComm32*) { ++rings; };
    ASSERT_TRUE(port->OpenComm());

    ASSERT_TRUE(pty.Write("plain"));
    ASSERT_TRUE(WaitUntil([&] { return rec.Total() == 5; }));
    PumpEvents(50);
    EXPECT_EQ(commEvents, 0);

    // Inside a burst, at its end and as its first byte.
    const std::string marked[] = {"with~mark", "end mark~", "~first"};
    int blocks = 1;
    for (const std::string& burst : marked) {
        SCOPED_TRACE(burst);
        ASSERT_TRUE(pty.Write(burst));
        ASSERT_TRUE(WaitUntil([&] { return eventChars == blocks; }));
        ++blocks;
        EXPECT_EQ(commEvents, eventChars);
        EXPECT_EQ(rings, 0);
        EXPECT_EQ(port->EventMask(), ev::RxFlag);
        EXPECT_EQ(port->ModemStatus(), 0u); // a pseudo-terminal has no modem lines
        ASSERT_TRUE(
            WaitUntil([&] { return rec.blocks.size() == static_cast<std::size_t>(blocks); }));
        EXPECT_EQ(rec.blocks.back(), burst);
    }
    // Changed while open, it counts from the next block on.
    port->SetEventChar('#');
    ASSERT_TRUE(pty.Write("~ no longer"));
    ASSERT_TRUE(WaitUntil([&] { return rec.Total() == 40; }));
    PumpEvents(20);
    EXPECT_EQ(eventChars, 3);
    ASSERT_TRUE(pty.Write("now #"));
    ASSERT_TRUE(WaitUntil([&] { return eventChars == 4; }));
    PumpEvents(20);
    EXPECT_EQ(eventChars, 4);
}

// The quiet time that ends a burst is two character times at the rate the line
// has now. At 110 baud that is 182 ms, so two writes a moment apart are one
// block; at 10400 baud (under 2 ms) bytes 20 ms apart are two.
TEST(Comm32Transfer, BurstGapFollowsTheLineRateSetWhileOpen) {
    Pty pty;
    auto port = MakeComponent(pty.SlavePath());
    Recorder rec;
    rec.Bind(*port);
    ASSERT_TRUE(port->OpenComm());

    port->SetBaudRate(110);
    ASSERT_TRUE(pty.Write("F4"));
    ASSERT_TRUE(pty.Write("56"));
    ASSERT_TRUE(WaitUntil([&] { return rec.Total() == 4; }));
    EXPECT_EQ(rec.blocks, (std::vector<std::string>{"F456"}));

    port->SetBaudRate(10400);
    ASSERT_TRUE(pty.Write("01"));
    ASSERT_TRUE(WaitUntil([&] { return rec.Total() == 6; }));
    QThread::msleep(20);
    ASSERT_TRUE(pty.Write("B5"));
    ASSERT_TRUE(WaitUntil([&] { return rec.Total() == 8; }));
    EXPECT_EQ(rec.blocks, (std::vector<std::string>{"F456", "01", "B5"}));
}

} // namespace
} // namespace ecu::test
