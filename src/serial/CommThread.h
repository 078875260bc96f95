#pragma once
// A worker thread of the serial component: started once, waited for with a
// time limit, and always joined, never abandoned. A thread that ends on a
// failure, however it fails, tells the component once with a hang-up notice.
#include "serial/PortIo.h"

#include <memory>
#include <thread>

class QObject;

namespace ecu {

class TCommNotice;

class TCommThread {
public:
    // Allocates the hang-up notice up front, so that a thread that ends for
    // want of memory can still post it. Throws std::bad_alloc.
    TCommThread(QObject* notifyWindow, const char* name);
    virtual ~TCommThread(); // derived classes join in their destructors
    TCommThread(const TCommThread&) = delete;
    TCommThread& operator=(const TCommThread&) = delete;

    // False when the operating system cannot create the thread.
    bool Start();
    // True once Execute has returned; false when the time ran out first.
    bool WaitFor(long timeoutMs) const;
    void Join();

protected:
    virtual void Execute() = 0;
    // True once the component has asked the thread to end.
    virtual bool StopRequested() const = 0;

    // Posts the thread's one hang-up notice with the system's text for err.
    // Quiet once the stop was requested, since a stop makes the port's calls
    // fail on purpose, and after the first. Never allocates.
    void Hangup(int err);

    QObject* const notifyWindow_;

private:
    void Run();
    void PostHangup(const char* reason);

    const char* const name_;
    std::unique_ptr<TCommNotice> hangup_;
    std::thread thread_;
    EventSignal done_;
};

} // namespace ecu
