#pragma once
// The operating-system layer under the serial component: opening and
// configuring a port, and the reads, writes and waits its threads do. This is
// the POSIX tty version; another platform supplies its own PortIo.cpp.
#include "serial/Consoles.h"
#include "serial/LineSettings.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace ecu {

using OsHandle = int;
constexpr OsHandle kNoHandle = -1;

// An event that threads wait on together with the port. Once set it stays set
// until drained; the stop event is never drained.
class EventSignal {
public:
    EventSignal() = default;
    ~EventSignal();
    EventSignal(const EventSignal&) = delete;
    EventSignal& operator=(const EventSignal&) = delete;

    bool Create();
    void Set();
    void Drain();
    bool IsSet() const;
    // True once set; false when the time ran out first.
    bool Wait(long timeoutMs) const;
    OsHandle Handle() const { return fd_; }

private:
    OsHandle fd_ = kNoHandle;
};

// One open port, owned by the component.
class PortIo {
public:
    enum class OpenResult { Opened, Failed, NotATerminal };

    PortIo() = default;
    ~PortIo();
    PortIo(const PortIo&) = delete;
    PortIo& operator=(const PortIo&) = delete;

    // Opens a device path for exclusive use; Failed when it is missing, not
    // accessible, an active console or held by another opener. Nothing about the
    // device is changed before it is known to be a terminal and no console.
    OpenResult Open(const std::string& path, const ConsoleLists& consoles = {});
    // Discards unsent output first, so that closing never waits on the line.
    void Close();
    bool IsOpen() const { return fd_ != kNoHandle; }
    OsHandle Handle() const { return fd_; }

    bool GetState(LineSettings& s);
    // Applies the whole record (raw mode, exact rate); false when the driver
    // cannot do what it asks.
    bool SetState(const LineSettings& s);
    CommTimeouts GetTimeouts() const { return timeouts_; }
    void SetTimeouts(const CommTimeouts& t) { timeouts_ = t; }
    // The tty layer sizes its own queues; kept for the component's interface.
    bool SetupComm(std::uint32_t rxQueue, std::uint32_t txQueue);
    void Purge(std::uint32_t flags);

    // The operating system's text for the last failure, taken at the failing call.
    const std::string& LastError() const { return lastError_; }

private:
    bool Fail(int err);

    OsHandle fd_ = kNoHandle;
    CommTimeouts timeouts_;
    std::string lastError_;
};

// What the worker threads do with their own copies of the handles.
namespace portio {

enum class Wait { Stop, Ready, Lost, Timeout, Failed };

// Waits until the port has input or the wake event is set (Ready), the stop event is
// set (seen first), or the timeout passes (timeoutUs < 0: no timeout). Lost: the far
// side went away. Without a wake event only the port wakes it.
Wait WaitReadable(OsHandle port, OsHandle stop, long timeoutUs, int& err,
                  OsHandle wake = kNoHandle);
Wait WaitWritable(OsHandle port, OsHandle stop, int& err);
// Waits for the stop event (Stop), the wake event (Ready) or the timeout (Timeout;
// timeoutUs < 0: none).
Wait WaitSignal(OsHandle stop, OsHandle wake, int& err, long timeoutUs = -1);

struct Io {
    enum Status { Done, Again, Lost, Closed, Failed };
    Status status;
    std::size_t count; // bytes moved when Done
    int err;           // errno otherwise
};
// Nothing to read comes back as Lost: after a readable wait that is a gone device.
Io ReadSome(OsHandle port, void* buffer, std::size_t size);
Io WriteSome(OsHandle port, const void* buffer, std::size_t size);
// What the port holds now, without waiting: Again when nothing has come.
Io ReadNow(OsHandle port, void* buffer, std::size_t size);

// The quiet time that ends a received burst at the line's present rate: two
// character times, never less than minUs.
long BurstGapUs(OsHandle port, long minUs);

bool IsSet(OsHandle event);
void SetEvent(OsHandle event);
// Clears the event; true when it was set.
bool TakeEvent(OsHandle event);
bool WaitSet(OsHandle event, long timeoutMs);
bool WaitSetUs(OsHandle event, long timeoutUs);

// Modem lines as ms:: bits; false when the driver has none (pseudo-terminals).
bool ModemStatus(OsHandle port, std::uint32_t& status);

struct LineCounters {
    std::uint32_t cts = 0, dsr = 0, rng = 0, dcd = 0;
    std::uint32_t frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
};
// Interrupt counters of the driver; false when it keeps none.
bool ReadLineCounters(OsHandle port, LineCounters& counters);

void Purge(OsHandle port, std::uint32_t flags);

std::string ErrorText(int err);

} // namespace portio

} // namespace ecu
