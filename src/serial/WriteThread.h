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
    TWriteThread(const Handles& handles, std::shared_ptr<WriteQueue> queue);

    ~TWriteThread() override { Join(); }

protected:
    void Execute() override;

private:
    enum class Outcome { Written, Stopped, Failed };
    Outcome WriteCompletely(const ByteBlock& block);
    void Hangup(int err);

    const Handles handles_;
    const std::shared_ptr<WriteQueue> queue_;
};

} // namespace ecu
