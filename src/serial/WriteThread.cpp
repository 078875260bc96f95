#include "serial/WriteThread.h"

#include "serial/CommNotice.h"
#include "serial/WriteQueue.h"

#include <utility>

namespace ecu {

TWriteThread::TWriteThread(const Handles& handles, std::shared_ptr<WriteQueue> queue)
    : TCommThread(handles.NotifyWindow, "serial-write"), handles_(handles),
      queue_(std::move(queue)) {}

void TWriteThread::Execute() {
    // However the writer ends, later blocks are refused and unsent output dropped.
    struct Finish {
        const TWriteThread& writer;
        ~Finish() {
            writer.queue_->Close();
            portio::Purge(writer.handles_.CommHandle, purge::Transmit);
        }
    } finish{*this};

    PostNotice(handles_.NotifyWindow, std::make_unique<TCommNotice>(WM_COMM_STARTED, 1));
    bool running = true;
    while (running) {
        int err = 0;
        const portio::Wait w = portio::WaitSignal(handles_.StopEvent, queue_->WakeHandle(), err);
        if (w == portio::Wait::Stop)
            break;
        if (w != portio::Wait::Ready) {
            Hangup(err);
            break;
        }
        queue_->ClearWake();
        while (std::optional<ByteBlock> block = queue_->Take()) {
            // A block taken after the stop is not written.
            if (portio::IsSet(handles_.StopEvent) || WriteCompletely(*block) != Outcome::Written) {
                running = false;
                break;
            }
        }
    }
}

TWriteThread::Outcome TWriteThread::WriteCompletely(const ByteBlock& block) {
    std::size_t offset = 0;
    while (offset < block.Count()) {
        const portio::Io io =
            portio::WriteSome(handles_.CommHandle, block.Data() + offset, block.Count() - offset);
        switch (io.status) {
        case portio::Io::Done:
            offset += io.count;
            continue;
        case portio::Io::Closed:
            return Outcome::Failed; // the port was closed under us
        case portio::Io::Again:
            break;
        default:
            Hangup(io.err);
            return Outcome::Failed;
        }
        int err = 0;
        const portio::Wait w = portio::WaitWritable(handles_.CommHandle, handles_.StopEvent, err);
        if (w == portio::Wait::Stop)
            return Outcome::Stopped;
        if (w != portio::Wait::Ready) {
            Hangup(err);
            return Outcome::Failed;
        }
    }
    return Outcome::Written;
}

} // namespace ecu
