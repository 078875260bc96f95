#pragma once
// The writer: takes the blocks WriteComm queues, in order, and writes each one
// completely before looking at the next.
#include "serial/CommThread.h"
#include "serial/PortIo.h"

#include <memory>

class QObject;

namespace ecu {

class ByteBlock;
class WriteQueue;

class TWriteThread : public TCommThread {
public:
    struct Handles {
        OsHandle CommHandle;
        OsHandle StopEvent;
        QObject* NotifyWindow;
    };
    // Throws std::bad_alloc.
    TWriteThread(const Handles& handles, std::shared_ptr<WriteQueue> queue);

    ~TWriteThread() override { Join(); }

protected:
    void Execute() override;
    bool StopRequested() const override { return portio::IsSet(handles_.StopEvent); }

private:
    enum class Outcome { Written, Stopped, Failed };
    Outcome WriteCompletely(const ByteBlock& block);

    const Handles handles_;
    const std::shared_ptr<WriteQueue> queue_;
};

} // namespace ecu
