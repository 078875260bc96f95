#pragma once
// The reader: sleeps until the port has input or the stop event is set, and
// posts every received burst to the component.
#include "serial/CommThread.h"
#include "serial/PortIo.h"

#include <cstddef>
#include <cstdint>
#include <string>

class QObject;

namespace ecu {

class TReadThread : public TCommThread {
public:
    static constexpr std::size_t kBurstSize = 32768;

    struct Handles {
        OsHandle CommHandle;
        OsHandle StopEvent;
        QObject* NotifyWindow;
    };
    // readIntervalMs: the gap that ends a burst; evtChar: raises ev::RxFlag.
    TReadThread(const Handles& handles, std::uint32_t readIntervalMs, char evtChar);

    ~TReadThread() override { Join(); }

protected:
    void Execute() override;

private:
    bool TakeBurst(char* buffer);
    bool Deliver(const char* bytes, std::size_t count);
    bool Lost(const char* bytes, std::size_t count, int err);
    void PostEvents(std::uint32_t mask, std::uint32_t lineErrors);
    // Ends the thread's work; quiet when the stop event is set, since a stop
    // makes reads fail on purpose.
    bool Hangup(int err);

    const Handles handles_;
    const long gapUs_;
    const char evtChar_;
    bool haveCounters_ = false;
    portio::LineCounters counters_;
};

} // namespace ecu
