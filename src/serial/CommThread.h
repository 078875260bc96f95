#pragma once
// A worker thread of the serial component: started once, waited for with a
// time limit, and always joined, never abandoned.
#include "serial/PortIo.h"

#include <thread>

namespace ecu {

class TCommThread {
public:
    TCommThread() = default;
    virtual ~TCommThread() = default; // derived classes join in their destructors
    TCommThread(const TCommThread&) = delete;
    TCommThread& operator=(const TCommThread&) = delete;

    // False when the operating system cannot create the thread.
    bool Start();
    // True once Execute has returned; false when the time ran out first.
    bool WaitFor(long timeoutMs) const;
    void Join();

protected:
    virtual void Execute() = 0;

private:
    void Run();

    std::thread thread_;
    EventSignal done_;
};

} // namespace ecu
