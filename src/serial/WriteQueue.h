#pragma once
// The writer's input: blocks handed over by WriteComm, in order, and an event
// that wakes the writer. Once the writer has ended the queue refuses blocks.
#include "serial/CommNotice.h"
#include "serial/PortIo.h"

#include <deque>
#include <mutex>
#include <optional>

namespace ecu {

class WriteQueue {
public:
    bool Create() { return wake_.Create(); }

    // Takes ownership of the block; false (block freed) once closed.
    bool Post(ByteBlock block);
    std::optional<ByteBlock> Take();
    // Refuses further blocks and frees those still waiting.
    void Close();

    OsHandle WakeHandle() const { return wake_.Handle(); }
    void ClearWake() { wake_.Drain(); }

private:
    std::mutex mutex_;
    std::deque<ByteBlock> blocks_;
    bool closed_ = false;
    EventSignal wake_;
};

} // namespace ecu
