#pragma once
// The reader: sleeps until the port has input or the stop event is set, and
// posts every received burst to the component as one block.
#include "serial/CommThread.h"
#include "serial/PortIo.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

class QObject;

namespace ecu {

// The reader's whole view of the operating system: its port and the stop
// event. MakeTtyReadLine gives the real one; tests script a line of their own.
class ReadLine {
public:
    virtual ~ReadLine() = default;
    // Until the port has input or a hand-over is asked (Ready), the port is gone
    // (Lost), or the stop event is set (Stop, which wins over anything that became
    // ready with it).
    virtual portio::Wait WaitInput(int& err) = 0;
    // Sleeps on the stop event, cut short by a hand-over asked; true when stopped.
    virtual bool SleepUnlessStopped(long us) = 0;
    // Whether the component asked for what the reader holds; the request is taken.
    virtual bool HandOverAsked() { return false; }
    // Tells the component that what was asked for has been posted.
    virtual void HandOverDone() {}
    virtual bool Stopped() const = 0;
    // What the port holds now, without waiting: Again when nothing has come.
    virtual portio::Io ReadNow(void* buffer, std::size_t size) = 0;
    // The quiet time that ends a burst at the line's present rate.
    virtual long BurstGapUs(long minUs) = 0;
    // A steady clock in microseconds.
    virtual long long NowUs() = 0;
    virtual bool ModemStatus(std::uint32_t& status) = 0;
    virtual bool LineCounters(portio::LineCounters& counters) = 0;
    virtual void PurgeReceive() = 0;
};

// The events by which the component asks the reader to hand over at once what it
// holds and the port has received, and the reader answers that it has.
struct HandOverEvents {
    OsHandle ask = kNoHandle;
    OsHandle done = kNoHandle;
};

std::unique_ptr<ReadLine> MakeTtyReadLine(OsHandle port, OsHandle stopEvent,
                                          HandOverEvents handOver = {});

class TReadThread : public TCommThread {
public:
    static constexpr std::size_t kBurstSize = 32768;
    // A burst that goes on is handed over after this many gaps at the latest,
    // so that a long answer reaches the session in parts as it comes (at 8200
    // baud, about every 20 ms of an 85 ms answer).
    static constexpr long kMaxHoldGaps = 8;

    // readIntervalMs: the shortest gap that ends a burst; evtChar: raises
    // ev::RxFlag. Throws std::bad_alloc.
    TReadThread(std::unique_ptr<ReadLine> line, QObject* notifyWindow, std::uint32_t readIntervalMs,
                char evtChar);

    ~TReadThread() override { Join(); }

    // The event character changed while the port is open; from the next block on.
    void SetEventChar(char c) { evtChar_.store(c, std::memory_order_relaxed); }

protected:
    void Execute() override;
    bool StopRequested() const override { return line_->Stopped(); }

private:
    bool TakeBurst(char* buffer);
    bool EndBurst(const char* buffer, std::size_t have, bool asked);
    bool Deliver(const char* bytes, std::size_t count);
    bool Lost(const char* bytes, std::size_t count, int err);
    void PostEvents(std::uint32_t mask, std::uint32_t lineErrors);

    const std::unique_ptr<ReadLine> line_;
    const long minGapUs_;
    std::atomic<char> evtChar_;
    bool haveCounters_ = false;
    portio::LineCounters counters_;
};

} // namespace ecu
