#include "serial/ReadThread.h"

#include "serial/CommNotice.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <utility>

namespace ecu {

namespace {

class TtyReadLine final : public ReadLine {
public:
    TtyReadLine(OsHandle port, OsHandle stop, HandOverEvents handOver)
        : port_(port), stop_(stop), handOver_(handOver) {}

    portio::Wait WaitInput(int& err) override {
        return portio::WaitReadable(port_, stop_, -1, err, handOver_.ask);
    }
    bool SleepUnlessStopped(long us) override {
        if (handOver_.ask == kNoHandle)
            return portio::WaitSetUs(stop_, us);
        int err = 0;
        return portio::WaitSignal(stop_, handOver_.ask, err, us) == portio::Wait::Stop;
    }
    bool HandOverAsked() override {
        return handOver_.ask != kNoHandle && portio::TakeEvent(handOver_.ask);
    }
    void HandOverDone() override {
        if (handOver_.done != kNoHandle)
            portio::SetEvent(handOver_.done);
    }
    bool Stopped() const override { return portio::IsSet(stop_); }
    portio::Io ReadNow(void* buffer, std::size_t size) override {
        return portio::ReadNow(port_, buffer, size);
    }
    long BurstGapUs(long minUs) override { return portio::BurstGapUs(port_, minUs); }
    long long NowUs() override {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    bool ModemStatus(std::uint32_t& status) override { return portio::ModemStatus(port_, status); }
    bool LineCounters(portio::LineCounters& counters) override {
        return portio::ReadLineCounters(port_, counters);
    }
    void PurgeReceive() override { portio::Purge(port_, purge::Receive); }

private:
    const OsHandle port_;
    const OsHandle stop_;
    const HandOverEvents handOver_;
};

} // namespace

std::unique_ptr<ReadLine> MakeTtyReadLine(OsHandle port, OsHandle stopEvent,
                                          HandOverEvents handOver) {
    return std::make_unique<TtyReadLine>(port, stopEvent, handOver);
}

TReadThread::TReadThread(std::unique_ptr<ReadLine> line, QObject* notifyWindow,
                         std::uint32_t readIntervalMs, char evtChar)
    : TCommThread(notifyWindow, "serial-read"), line_(std::move(line)),
      minGapUs_(static_cast<long>(readIntervalMs) * 1000), evtChar_(evtChar) {}

void TReadThread::Execute() {
    // However the reader ends, what is left in the receive queue is dropped.
    struct Finish {
        ReadLine& line;
        ~Finish() { line.PurgeReceive(); }
    } finish{*line_};

    const auto buffer = std::make_unique<char[]>(kBurstSize);
    haveCounters_ = line_->LineCounters(counters_);

    // Lines already on when the port opens are announced once.
    std::uint32_t status = 0;
    if (line_->ModemStatus(status) && status != 0) {
        std::uint32_t mask = 0;
        if (status & ms::CtsOn)
            mask |= ev::Cts;
        if (status & ms::DsrOn)
            mask |= ev::Dsr;
        if (status & ms::RingOn)
            mask |= ev::Ring;
        if (status & ms::RlsdOn)
            mask |= ev::Rlsd;
        PostNotice(notifyWindow_,
                   std::make_unique<TCommNotice>(WM_COMM_EVENT, 0, mask | (status << 16)));
    }
    PostNotice(notifyWindow_, std::make_unique<TCommNotice>(WM_COMM_STARTED, 0));

    for (;;) {
        int err = 0;
        const portio::Wait w = line_->WaitInput(err);
        if (w == portio::Wait::Stop)
            return;
        if (w != portio::Wait::Ready) {
            Hangup(err);
            return;
        }
        if (!TakeBurst(buffer.get()))
            return;
    }
}

// The first byte of a burst has come (or a hand-over was asked). Rather than
// wake for every byte that follows (at 8200 baud one every 1.2 ms), the reader
// sleeps one gap at a time on the stop event and takes whatever came meanwhile,
// until a gap passes with nothing new. Bytes less than a gap apart thus share a
// block (unless the block is full or has been held for kMaxHoldGaps); bytes more
// than two gaps apart never do. A hand-over asked meanwhile ends the burst with
// everything the port holds by then, so that a wait's deadline never falls
// between the port and the component.
bool TReadThread::TakeBurst(char* buffer) {
    const long gapUs = line_->BurstGapUs(minGapUs_);
    const long long handOverAt = line_->NowUs() + kMaxHoldGaps * gapUs;
    std::size_t have = 0;
    bool asked = false;
    for (;;) {
        // Taken before the read, so that the read sees every byte that came by then.
        asked = line_->HandOverAsked() || asked;
        const portio::Io io = line_->ReadNow(buffer + have, kBurstSize - have);
        if (io.status == portio::Io::Again)
            break;
        if (io.status != portio::Io::Done) {
            // The bytes and the hang-up are posted before the answer.
            Lost(buffer, have, io.err);
            if (asked)
                line_->HandOverDone();
            return false;
        }
        have += io.count;
        // What follows starts the next block at once.
        if (have == kBurstSize || line_->NowUs() >= handOverAt)
            break;
        if (!asked && line_->SleepUnlessStopped(gapUs))
            return false;
    }
    return EndBurst(buffer, have, asked);
}

bool TReadThread::EndBurst(const char* buffer, std::size_t have, bool asked) {
    const bool delivered = have == 0 || Deliver(buffer, have);
    if (asked)
        line_->HandOverDone();
    return delivered;
}

// Bytes that came before the loss still reach the component, then the hang-up.
bool TReadThread::Lost(const char* bytes, std::size_t count, int err) {
    if (line_->Stopped())
        return false;
    if (count > 0 && !Deliver(bytes, count))
        return false;
    Hangup(err);
    return false;
}

bool TReadThread::Deliver(const char* bytes, std::size_t count) {
    auto notice = std::make_unique<TCommNotice>(WM_COMM_DATA, count);
    notice->Block = ByteBlock::Copy(bytes, count);
    if (!notice->Block) {
        Hangup(ENOMEM);
        return false;
    }
    PostNotice(notifyWindow_, std::move(notice));

    std::uint32_t mask = 0;
    if (std::memchr(bytes, evtChar_.load(std::memory_order_relaxed), count))
        mask |= ev::RxFlag;
    std::uint32_t lineErrors = 0;
    portio::LineCounters now;
    if (haveCounters_ && line_->LineCounters(now)) {
        // A break or a line error leaves a byte in the input, so they are seen here.
        if (now.frame != counters_.frame)
            lineErrors |= ce::Frame;
        if (now.overrun != counters_.overrun)
            lineErrors |= ce::Overrun;
        if (now.parity != counters_.parity)
            lineErrors |= ce::RxParity;
        if (now.bufOverrun != counters_.bufOverrun)
            lineErrors |= ce::RxOver;
        if (lineErrors)
            mask |= ev::Err;
        if (now.brk != counters_.brk) {
            mask |= ev::Break;
            lineErrors |= ce::Break;
        }
        if (now.cts != counters_.cts)
            mask |= ev::Cts;
        if (now.dsr != counters_.dsr)
            mask |= ev::Dsr;
        if (now.dcd != counters_.dcd)
            mask |= ev::Rlsd;
        if (now.rng != counters_.rng)
            mask |= ev::Ring;
        counters_ = now;
    }
    if (mask)
        PostEvents(mask, lineErrors);
    return true;
}

void TReadThread::PostEvents(std::uint32_t mask, std::uint32_t lineErrors) {
    std::uint32_t status = 0;
    line_->ModemStatus(status);
    auto notice = std::make_unique<TCommNotice>(WM_COMM_EVENT, 0, mask | (status << 16));
    notice->LineErrors = lineErrors;
    PostNotice(notifyWindow_, std::move(notice));
}

} // namespace ecu
