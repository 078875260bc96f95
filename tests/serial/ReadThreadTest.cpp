// The reader against a scripted line: how bursts are gathered into blocks, and
// how it ends. What a pseudo-terminal cannot be made to do on cue (a line lost
// with bytes in hand, a failed allocation) is played here.
#include "ComponentSupport.h"
#include "Pty.h"
#include "Wait.h"

#include "serial/ReadThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace ecu::test {
namespace {

// What one ReadNow finds.
struct Take {
    enum Kind { Bytes, Nothing, Lost, OutOfMemory } kind;
    std::string bytes;
};
Take Bytes(std::string b) {
    return {Take::Bytes, std::move(b)};
}
const Take kNothing{Take::Nothing, {}};
const Take kLost{Take::Lost, {}};

// Plays a script on the reader's thread. Once the waits run out, the reader
// waits for the stop as on a quiet port. Read the logs only after Join.
class ScriptedLine : public ReadLine {
public:
    std::deque<portio::Wait> waits;
    std::deque<Take> takes;
    std::deque<long> gaps; // what each burst is told; the last one stays
    // The driver's interrupt counters, one entry a read; the last one stays. None: the
    // driver keeps no counters, as on a pseudo-terminal.
    std::deque<portio::LineCounters> counters;
    bool sleepForReal = false;

    std::vector<long> minGapsAsked;
    std::vector<long> slept;
    int purges = 0;
    long long now = 1000000; // moved on by the sleeps alone
    std::atomic<bool> sleeping{false};

    ScriptedLine() { stop_.Create(); }
    void Stop() { stop_.Set(); }

    portio::Wait WaitInput(int& err) override {
        if (waits.empty()) {
            stop_.Wait(-1);
            return portio::Wait::Stop;
        }
        const portio::Wait w = waits.front();
        waits.pop_front();
        err = EIO;
        return w;
    }
    bool SleepUnlessStopped(long us) override {
        slept.push_back(us);
        now += us;
        if (!sleepForReal)
            return stop_.IsSet();
        sleeping = true;
        return portio::WaitSetUs(stop_.Handle(), us);
    }
    bool Stopped() const override { return stop_.IsSet(); }
    portio::Io ReadNow(void* buffer, std::size_t size) override {
        if (takes.empty())
            return {portio::Io::Again, 0, EAGAIN};
        Take& t = takes.front();
        switch (t.kind) {
        case Take::Nothing:
            takes.pop_front();
            return {portio::Io::Again, 0, EAGAIN};
        case Take::Lost:
            takes.pop_front();
            return {portio::Io::Lost, 0, EIO};
        case Take::OutOfMemory:
            takes.pop_front();
            throw std::bad_alloc();
        case Take::Bytes:
            break;
        }
        // A read takes no more than it is asked for; the rest waits for the next.
        const std::size_t n = std::min(size, t.bytes.size());
        std::memcpy(buffer, t.bytes.data(), n);
        t.bytes.erase(0, n);
        if (t.bytes.empty())
            takes.pop_front();
        return {portio::Io::Done, n, 0};
    }
    long BurstGapUs(long minUs) override {
        minGapsAsked.push_back(minUs);
        const long gap = gaps.empty() ? minUs : gaps.front();
        if (gaps.size() > 1)
            gaps.pop_front();
        return gap;
    }
    long long NowUs() override { return now; }
    bool ModemStatus(std::uint32_t& status) override {
        status = 0;
        return false;
    }
    bool LineCounters(portio::LineCounters& now) override {
        if (counters.empty())
            return false;
        now = counters.front();
        if (counters.size() > 1)
            counters.pop_front();
        return true;
    }
    void PurgeReceive() override { ++purges; }

private:
    EventSignal stop_;
};

// A reader on a scripted line, reporting to a component that has no port of
// its own: its notices take the component's real way to the handlers.
struct Rig {
    TComm32 component;
    Recorder rec;
    ScriptedLine* line;
    std::unique_ptr<TReadThread> reader;

    explicit Rig(char evtChar = '\0') {
        rec.Bind(component);
        auto owned = std::make_unique<ScriptedLine>();
        line = owned.get();
        reader = std::make_unique<TReadThread>(std::move(owned), &component, 1, evtChar);
    }
    ~Rig() {
        line->Stop();
        reader.reset();
    }
    void Start() { ASSERT_TRUE(reader->Start()); }
    // Ends the reader and collects its last notices.
    void Finish() {
        line->Stop();
        reader->Join();
        PumpEvents(0);
    }
};

TEST(ReadThread, GathersABurstUntilAGapPassesWithNothingNew) {
    Rig rig;
    rig.line->waits = {portio::Wait::Ready, portio::Wait::Ready};
    rig.line->takes = {Bytes("\xF4\x56"), Bytes("\x01"),   Bytes("\xB5"),
                       kNothing,          Bytes("answer"), kNothing};
    // The line's rate changes between the bursts: each burst asks afresh.
    rig.line->gaps = {2440, 1000};
    rig.Start();
    ASSERT_TRUE(WaitUntil([&] { return rig.rec.blocks.size() == 2; }));
    rig.Finish();

    EXPECT_EQ(rig.rec.blocks, (std::vector<std::string>{"\xF4\x56\x01\xB5", "answer"}));
    EXPECT_EQ(rig.line->minGapsAsked, (std::vector<long>{1000, 1000}));
    // One gap after each read that found something, then the block goes.
    EXPECT_EQ(rig.line->slept, (std::vector<long>{2440, 2440, 2440, 1000}));
    EXPECT_EQ(rig.rec.hangups, 0);
    EXPECT_EQ(rig.line->purges, 1);
    EXPECT_TRUE(rig.rec.allZeroTerminated);
}

TEST(ReadThread, AFullBufferIsPostedAtOnceAndTheRestFollows) {
    Rig rig;
    std::string flood(TReadThread::kBurstSize + 5000, '\0');
    for (std::size_t i = 0; i < flood.size(); ++i)
        flood[i] = static_cast<char>(i * 7);
    rig.line->waits = {portio::Wait::Ready, portio::Wait::Ready};
    rig.line->takes = {Bytes(flood.substr(0, 30000)), Bytes(flood.substr(30000)), kNothing};
    rig.Start();
    ASSERT_TRUE(WaitUntil([&] { return rig.rec.Total() == flood.size(); }));
    rig.Finish();

    ASSERT_EQ(rig.rec.blocks.size(), 2u);
    EXPECT_EQ(rig.rec.blocks[0].size(), TReadThread::kBurstSize);
    EXPECT_TRUE(rig.rec.All() == flood);
    // No gap is waited for once the buffer is full.
    EXPECT_EQ(rig.line->slept.size(), 2u);
}

TEST(ReadThread, ABurstThatGoesOnIsHandedOverInPartsAsItComes) {
    Rig rig;
    std::string stream;
    rig.line->waits = {portio::Wait::Ready, portio::Wait::Ready, portio::Wait::Ready};
    for (int i = 0; i < 20; ++i) {
        stream += std::string(2, static_cast<char>('a' + i));
        rig.line->takes.push_back(Bytes(std::string(2, static_cast<char>('a' + i))));
    }
    rig.line->takes.push_back(kNothing);
    rig.line->gaps = {2439};
    rig.Start();
    ASSERT_TRUE(WaitUntil([&] { return rig.rec.Total() == stream.size(); }));
    rig.Finish();

    // Handed over once a block has been held for kMaxHoldGaps gaps.
    const std::size_t perBlock = 2 * (TReadThread::kMaxHoldGaps + 1);
    ASSERT_EQ(rig.rec.blocks.size(), 3u);
    EXPECT_EQ(rig.rec.blocks[0].size(), perBlock);
    EXPECT_EQ(rig.rec.blocks[1].size(), perBlock);
    EXPECT_TRUE(rig.rec.All() == stream);
}

TEST(ReadThread, AStopDuringAGapEndsTheReaderAtOnceAndQuietly) {
    Rig rig;
    rig.line->waits = {portio::Wait::Ready};
    rig.line->takes = {Bytes("half a burst")};
    rig.line->gaps = {60L * 1000 * 1000};
    rig.line->sleepForReal = true;
    rig.Start();
    ASSERT_TRUE(WaitUntil([&] { return rig.line->sleeping.load(); }));
    rig.line->Stop();
    // Far less than the minute the gap would last.
    EXPECT_TRUE(rig.reader->WaitFor(10000));
    rig.Finish();
    EXPECT_TRUE(rig.rec.blocks.empty()); // the port is being closed: nothing more is handed on
    EXPECT_EQ(rig.rec.hangups, 0);
    EXPECT_EQ(rig.line->purges, 1);
}

TEST(ReadThread, BytesInHandWhenTheLineIsLostReachTheHandlerBeforeTheHangup) {
    struct Case {
        const char* what;
        std::deque<portio::Wait> waits;
        std::deque<Take> takes;
        std::string order;
        std::string bytes;
    };
    const Case cases[] = {
        {"lost within a burst", {portio::Wait::Ready}, {Bytes("tail"), kLost}, "DH", "tail"},
        {"lost after a full gap",
         {portio::Wait::Ready, portio::Wait::Lost},
         {Bytes("ok"), kNothing},
         "DH",
         "ok"},
        {"lost at the first read", {portio::Wait::Ready}, {kLost}, "H", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.line->waits = c.waits;
        rig.line->takes = c.takes;
        rig.Start();
        ASSERT_TRUE(WaitUntil([&] { return rig.rec.hangups == 1; }));
        EXPECT_TRUE(rig.reader->WaitFor(10000)); // the reader has ended by itself
        rig.Finish();
        EXPECT_EQ(rig.rec.order, c.order);
        EXPECT_EQ(rig.rec.All(), c.bytes);
        EXPECT_EQ(rig.component.LastOsError(), std::strerror(EIO));
        EXPECT_EQ(rig.line->purges, 1);
    }
}

TEST(ReadThread, AReaderEndingOnAnErrorStillPostsItsOneHangup) {
    Rig rig;
    rig.line->waits = {portio::Wait::Ready, portio::Wait::Ready};
    rig.line->takes = {Bytes("first"), kNothing, Take{Take::OutOfMemory, {}}};
    rig.Start();
    ASSERT_TRUE(WaitUntil([&] { return rig.rec.hangups == 1; }));
    EXPECT_TRUE(rig.reader->WaitFor(10000));
    rig.Finish();
    EXPECT_EQ(rig.rec.order, "DH");
    EXPECT_EQ(rig.component.LastOsError(), std::strerror(ENOMEM));
    EXPECT_EQ(rig.line->purges, 1);
}

// The counters only ever grow: an error is the difference from the last block's reading,
// said with the block after it and never again.
TEST(ReadThread, EachLineErrorIsReportedOnceWithTheBlockAfterIt) {
    struct Case {
        const char* what;
        std::uint32_t portio::LineCounters::*counter;
        std::uint32_t error;
    };
    const Case cases[] = {
        {"framing", &portio::LineCounters::frame, ce::Frame},
        {"parity", &portio::LineCounters::parity, ce::RxParity},
        {"overrun", &portio::LineCounters::overrun, ce::Overrun},
        {"buffer overrun", &portio::LineCounters::bufOverrun, ce::RxOver},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        std::vector<std::uint32_t> errors;
        int notices = 0;
        rig.component.OnError = [&](std::uint32_t e) { errors.push_back(e); };
        rig.component.OnCommEvent = [&](TComm32*) { ++notices; };
        portio::LineCounters oneError;
        oneError.*c.counter = 1;
        // Read when the reader starts, then after each of three bursts: 0, 0, 1, 1.
        rig.line->counters = {{}, {}, oneError, oneError};
        rig.line->waits = {portio::Wait::Ready, portio::Wait::Ready, portio::Wait::Ready};
        rig.line->takes = {Bytes("a"), kNothing, Bytes("b"), kNothing, Bytes("c"), kNothing};
        rig.Start();
        ASSERT_TRUE(WaitUntil([&] { return rig.rec.blocks.size() == 3; }));
        rig.Finish();
        EXPECT_EQ(errors, std::vector<std::uint32_t>{c.error});
        EXPECT_EQ(notices, 1);
    }
}

} // namespace
} // namespace ecu::test
