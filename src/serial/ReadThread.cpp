#include "serial/ReadThread.h"

#include "serial/CommNotice.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

namespace ecu {

TReadThread::TReadThread(const Handles& handles, std::uint32_t readIntervalMs, char evtChar)
    : handles_(handles), gapUs_(static_cast<long>(readIntervalMs) * 1000), evtChar_(evtChar) {}

void TReadThread::Execute() {
    const std::unique_ptr<char[]> buffer(new (std::nothrow) char[kBurstSize]);
    if (!buffer) {
        Hangup(ENOMEM);
        return;
    }
    haveCounters_ = portio::ReadLineCounters(handles_.CommHandle, counters_);

    // Lines already on when the port opens are announced once.
    std::uint32_t status = 0;
    if (portio::ModemStatus(handles_.CommHandle, status) && status != 0) {
        std::uint32_t mask = 0;
        if (status & ms::CtsOn)
            mask |= ev::Cts;
        if (status & ms::DsrOn)
            mask |= ev::Dsr;
        if (status & ms::RingOn)
            mask |= ev::Ring;
        if (status & ms::RlsdOn)
            mask |= ev::Rlsd;
        PostNotice(handles_.NotifyWindow,
                   std::make_unique<TCommNotice>(WM_COMM_EVENT, 0, mask | (status << 16)));
    }
    PostNotice(handles_.NotifyWindow, std::make_unique<TCommNotice>(WM_COMM_STARTED, 0));

    for (;;) {
        int err = 0;
        const portio::Wait w =
            portio::WaitReadable(handles_.CommHandle, handles_.StopEvent, -1, err);
        if (w == portio::Wait::Stop)
            break;
        if (w == portio::Wait::Ready) {
            if (!TakeBurst(buffer.get()))
                break;
            continue;
        }
        Hangup(err);
        break;
    }
    portio::Purge(handles_.CommHandle, purge::Receive);
}

// Reads while the next byte follows within the gap, up to a full buffer.
bool TReadThread::TakeBurst(char* buffer) {
    std::size_t have = 0;
    for (;;) {
        const portio::Io io =
            portio::ReadSome(handles_.CommHandle, buffer + have, kBurstSize - have);
        if (io.status == portio::Io::Done) {
            have += io.count;
            if (have == kBurstSize)
                break;
        } else if (io.status != portio::Io::Again) {
            return Lost(buffer, have, io.err);
        } else if (have == 0) {
            return true; // woken without data
        }
        int err = 0;
        const portio::Wait w =
            portio::WaitReadable(handles_.CommHandle, handles_.StopEvent, gapUs_, err);
        if (w == portio::Wait::Timeout)
            break;
        if (w == portio::Wait::Stop)
            return false;
        if (w != portio::Wait::Ready)
            return Lost(buffer, have, err);
    }
    return Deliver(buffer, have);
}

// Bytes that came before the loss still reach the component, then the hang-up.
bool TReadThread::Lost(const char* bytes, std::size_t count, int err) {
    if (portio::IsSet(handles_.StopEvent))
        return false;
    if (count > 0 && !Deliver(bytes, count))
        return false;
    return Hangup(err);
}

bool TReadThread::Deliver(const char* bytes, std::size_t count) {
    auto notice = std::make_unique<TCommNotice>(WM_COMM_DATA, count);
    notice->Block = ByteBlock::Copy(bytes, count);
    if (!notice->Block)
        return Hangup(ENOMEM);
    PostNotice(handles_.NotifyWindow, std::move(notice));

    std::uint32_t mask = 0;
    if (std::memchr(bytes, evtChar_, count))
        mask |= ev::RxFlag;
    std::uint32_t lineErrors = 0;
    portio::LineCounters now;
    if (haveCounters_ && portio::ReadLineCounters(handles_.CommHandle, now)) {
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
    portio::ModemStatus(handles_.CommHandle, status);
    auto notice = std::make_unique<TCommNotice>(WM_COMM_EVENT, 0, mask | (status << 16));
    notice->LineErrors = lineErrors;
    PostNotice(handles_.NotifyWindow, std::move(notice));
}

bool TReadThread::Hangup(int err) {
    if (portio::IsSet(handles_.StopEvent))
        return false;
    auto notice = std::make_unique<TCommNotice>(WM_COMM_HANGUP);
    notice->OsError = portio::ErrorText(err);
    PostNotice(handles_.NotifyWindow, std::move(notice));
    return false;
}

} // namespace ecu
