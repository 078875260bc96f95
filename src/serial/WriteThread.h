#pragma once
// The writer: takes the blocks WriteComm queues, in order, and writes each one
// completely before looking at the next.
#include "serial/PortIo.h"

#include <QThread>

#include <memory>

class QObject;

namespace ecu {

class ByteBlock;
class WriteQueue;

class TWriteThread : public QThread {
public:
    struct Handles {
        OsHandle CommHandle;
        OsHandle StopEvent;
        QObject* NotifyWindow;
    };
    TWriteThread(const Handles& handles, std::shared_ptr<WriteQueue> queue);

protected:
    void run() override;

private:
    enum class Outcome { Written, Stopped, Failed };
    Outcome WriteCompletely(const ByteBlock& block);
    void Hangup(int err);

    const Handles handles_;
    const std::shared_ptr<WriteQueue> queue_;
};

} // namespace ecu
