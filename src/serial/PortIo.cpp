#include "serial/PortIo.h"

#include "serial/TermiosMap.h"

#include <linux/serial.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ecu {

namespace {

int Ioctl(int fd, unsigned long request, void* arg) {
    int r;
    do {
        r = ::ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

int IoctlValue(int fd, unsigned long request, long arg) {
    int r;
    do {
        r = ::ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

constexpr const char* kConsoleRefusal = "Device is an active system console";

constexpr unsigned kPortCflagMask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;

void SetModemLine(int fd, int line, bool on) {
    int bits = line;
    // Pseudo-terminals have no modem lines; nothing to do there.
    (void)Ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits);
}

} // namespace

// ---- EventSignal -----------------------------------------------------------

EventSignal::~EventSignal() {
    if (fd_ != kNoHandle)
        ::close(fd_);
}

bool EventSignal::Create() {
    if (fd_ != kNoHandle)
        return true;
    fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return fd_ != kNoHandle;
}

void EventSignal::Set() {
    portio::SetEvent(fd_);
}

void EventSignal::Drain() {
    portio::TakeEvent(fd_);
}

bool EventSignal::IsSet() const {
    return portio::IsSet(fd_);
}

bool EventSignal::Wait(long timeoutMs) const {
    return portio::WaitSet(fd_, timeoutMs);
}

// ---- PortIo ----------------------------------------------------------------

PortIo::~PortIo() {
    Close();
}

bool PortIo::Fail(int err) {
    lastError_ = portio::ErrorText(err);
    return false;
}

PortIo::OpenResult PortIo::Open(const std::string& path, const ConsoleLists& consoles) {
    Close();
    // A console is refused unopened: the first open of a UART already raises
    // its modem lines.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
        IsActiveConsole(st.st_rdev, consoles)) {
        lastError_ = kConsoleRefusal;
        return OpenResult::Failed;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Fail(errno);
        return OpenResult::Failed;
    }
    // Only a terminal is locked: a lock on anything else (a file, /dev/null)
    // would get in the way of whoever else uses it.
    if (!::isatty(fd)) {
        Fail(errno);
        ::close(fd);
        return OpenResult::NotATerminal;
    }
    // The path may have been re-pointed since it was looked at.
    if (::fstat(fd, &st) == 0 && IsActiveConsole(st.st_rdev, consoles)) {
        lastError_ = kConsoleRefusal;
        ::close(fd);
        return OpenResult::Failed;
    }
    // Root is not kept out by TIOCEXCL; the lock keeps every other opener out.
    // Refused as TIOCEXCL refuses the others: busy, not "temporarily unavailable".
    if (::flock(fd, LOCK_EX | LOCK_NB) < 0 && errno == EWOULDBLOCK) {
        Fail(EBUSY);
        ::close(fd);
        return OpenResult::Failed;
    }
    (void)Ioctl(fd, TIOCEXCL, nullptr);
    // Whatever waited in the driver (a late answer to a request of an earlier opening)
    // answers nothing this opening will ask.
    (void)IoctlValue(fd, TCFLSH, TCIFLUSH);
    fd_ = fd;
    lastError_.clear();
    return OpenResult::Opened;
}

void PortIo::Close() {
    if (fd_ == kNoHandle)
        return;
    // Unsent output would otherwise hold close() for up to 30 s on real UARTs.
    (void)IoctlValue(fd_, TCFLSH, TCOFLUSH);
    // The exclusive mark outlives the descriptor on some ttys; clear it.
    (void)Ioctl(fd_, TIOCNXCL, nullptr);
    ::close(fd_);
    fd_ = kNoHandle;
}

bool PortIo::GetState(LineSettings& s) {
    struct termios2 t {};
    if (Ioctl(fd_, TCGETS2, &t) < 0)
        return Fail(errno);
    int lines = 0;
    if (Ioctl(fd_, TIOCMGET, &lines) < 0)
        lines = -1;
    s = termios_map::FromTermios(t, lines);
    return true;
}

bool PortIo::SetState(const LineSettings& s) {
    struct termios2 t {};
    if (Ioctl(fd_, TCGETS2, &t) < 0)
        return Fail(errno);
    int err = 0;
    if (!termios_map::ToTermios(s, t, err))
        return Fail(err);
    // Every termios write goes through TCSETS2: after a BOTHER rate the
    // classic call refuses and applies nothing.
    if (Ioctl(fd_, TCSETS2, &t) < 0)
        return Fail(errno);

    // A driver that cannot do a setting quietly keeps its own; that is a refusal.
    // The rate is not compared: a UART rounds it to its nearest divisor.
    struct termios2 back {};
    if (Ioctl(fd_, TCGETS2, &back) < 0)
        return Fail(errno);
    if ((back.c_cflag & kPortCflagMask) != (t.c_cflag & kPortCflagMask))
        return Fail(EINVAL);

    const std::uint32_t dtr = s.Flags & dcb::DtrControlMask;
    const std::uint32_t rts = s.Flags & dcb::RtsControlMask;
    SetModemLine(fd_, TIOCM_DTR, dtr == dcb::DtrControlEnable || dtr == dcb::DtrControlHandshake);
    SetModemLine(fd_, TIOCM_RTS, rts == dcb::RtsControlEnable || rts == dcb::RtsControlHandshake);
    return true;
}

bool PortIo::SetupComm(std::uint32_t, std::uint32_t) {
    return fd_ != kNoHandle;
}

void PortIo::Purge(std::uint32_t flags) {
    portio::Purge(fd_, flags);
}

// ---- thread-side operations ------------------------------------------------

namespace portio {

namespace {

// poll() that restarts after signals, with a microsecond timeout (< 0: none).
int PollFor(pollfd* fds, nfds_t n, long timeoutUs) {
    for (;;) {
        timespec ts{timeoutUs / 1000000, (timeoutUs % 1000000) * 1000};
        const int r = ::ppoll(fds, n, timeoutUs < 0 ? nullptr : &ts, nullptr);
        if (r >= 0 || errno != EINTR)
            return r;
    }
}

// The stop event is tested first so that a stop wins over anything that
// became ready at the same time.
bool StopSeen(const pollfd& stop, Wait& result, int& err) {
    if (stop.revents & POLLIN) {
        result = Wait::Stop;
        return true;
    }
    if (stop.revents & (POLLERR | POLLNVAL)) {
        err = EBADF;
        result = Wait::Failed;
        return true;
    }
    return false;
}

// What poll()'s result says before the other descriptors are looked at: an error, a
// timeout or the stop; nothing when one of them is ready.
std::optional<Wait> Settled(int polled, const pollfd& stop, int& err) {
    if (polled < 0) {
        err = errno;
        return Wait::Failed;
    }
    if (polled == 0)
        return Wait::Timeout;
    Wait result;
    if (StopSeen(stop, result, err))
        return result;
    return std::nullopt;
}

// poll() skips a negative descriptor, so a missing wake event is simply never seen.
Wait WaitPort(OsHandle port, OsHandle stop, short events, long timeoutUs, int& err,
              OsHandle wake = kNoHandle) {
    pollfd fds[3] = {{stop, POLLIN, 0}, {port, events, 0}, {wake, POLLIN, 0}};
    if (const auto settled = Settled(PollFor(fds, 3, timeoutUs), fds[0], err))
        return *settled;
    if ((fds[1].revents & events) || (fds[2].revents & POLLIN))
        return Wait::Ready;
    if (fds[1].revents & POLLNVAL) {
        err = EBADF;
        return Wait::Failed;
    }
    err = EIO;
    return Wait::Lost; // POLLHUP or POLLERR without data: the far side is gone
}

} // namespace

Wait WaitReadable(OsHandle port, OsHandle stop, long timeoutUs, int& err, OsHandle wake) {
    return WaitPort(port, stop, POLLIN, timeoutUs, err, wake);
}

Wait WaitWritable(OsHandle port, OsHandle stop, int& err) {
    return WaitPort(port, stop, POLLOUT, -1, err);
}

Wait WaitSignal(OsHandle stop, OsHandle wake, int& err, long timeoutUs) {
    pollfd fds[2] = {{stop, POLLIN, 0}, {wake, POLLIN, 0}};
    if (const auto settled = Settled(PollFor(fds, 2, timeoutUs), fds[0], err))
        return *settled;
    if (fds[1].revents & POLLIN)
        return Wait::Ready;
    err = EBADF;
    return Wait::Failed;
}

namespace {

Io Classify(ssize_t r) {
    if (r > 0)
        return {Io::Done, static_cast<std::size_t>(r), 0};
    if (r == 0)
        return {Io::Lost, 0, EIO};
    const int err = errno;
    switch (err) {
    case EAGAIN:
        return {Io::Again, 0, err};
    case EIO:
    case ENXIO:
    case ENODEV:
        return {Io::Lost, 0, err};
    case EBADF:
        return {Io::Closed, 0, err};
    default:
        return {Io::Failed, 0, err};
    }
}

} // namespace

Io ReadSome(OsHandle port, void* buffer, std::size_t size) {
    ssize_t r;
    do {
        r = ::read(port, buffer, size);
    } while (r < 0 && errno == EINTR);
    return Classify(r);
}

Io ReadNow(OsHandle port, void* buffer, std::size_t size) {
    pollfd p{port, POLLIN, 0};
    const int r = PollFor(&p, 1, 0);
    if (r < 0)
        return {Io::Failed, 0, errno};
    if (r == 0)
        return {Io::Again, 0, EAGAIN};
    if (p.revents & POLLNVAL)
        return {Io::Closed, 0, EBADF};
    if (p.revents & POLLIN)
        return ReadSome(port, buffer, size);
    return {Io::Lost, 0, EIO}; // POLLHUP or POLLERR without data
}

long BurstGapUs(OsHandle port, long minUs) {
    struct termios2 t {};
    if (Ioctl(port, TCGETS2, &t) < 0)
        return minUs;
    return termios_map::BurstGapUs(t, minUs);
}

Io WriteSome(OsHandle port, const void* buffer, std::size_t size) {
    ssize_t r;
    do {
        r = ::write(port, buffer, size);
    } while (r < 0 && errno == EINTR);
    if (r == 0 && size > 0)
        return {Io::Again, 0, EAGAIN};
    return Classify(r);
}

bool IsSet(OsHandle event) {
    return WaitSet(event, 0);
}

void SetEvent(OsHandle event) {
    const std::uint64_t one = 1;
    // EAGAIN would mean the counter is near overflow: it is set either way.
    while (::write(event, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

bool TakeEvent(OsHandle event) {
    std::uint64_t value = 0;
    ssize_t r;
    do {
        r = ::read(event, &value, sizeof value);
    } while (r < 0 && errno == EINTR);
    return r == static_cast<ssize_t>(sizeof value) && value != 0;
}

bool WaitSet(OsHandle event, long timeoutMs) {
    return WaitSetUs(event, timeoutMs < 0 ? -1 : timeoutMs * 1000);
}

bool WaitSetUs(OsHandle event, long timeoutUs) {
    pollfd p{event, POLLIN, 0};
    return PollFor(&p, 1, timeoutUs) > 0 && (p.revents & POLLIN);
}

bool ModemStatus(OsHandle port, std::uint32_t& status) {
    status = 0;
    int lines = 0;
    if (Ioctl(port, TIOCMGET, &lines) < 0)
        return false;
    if (lines & TIOCM_CTS)
        status |= ms::CtsOn;
    if (lines & TIOCM_DSR)
        status |= ms::DsrOn;
    if (lines & TIOCM_RNG)
        status |= ms::RingOn;
    if (lines & TIOCM_CAR)
        status |= ms::RlsdOn;
    return true;
}

bool ReadLineCounters(OsHandle port, LineCounters& c) {
    serial_icounter_struct ic{};
    if (Ioctl(port, TIOCGICOUNT, &ic) < 0)
        return false;
    c.cts = static_cast<std::uint32_t>(ic.cts);
    c.dsr = static_cast<std::uint32_t>(ic.dsr);
    c.rng = static_cast<std::uint32_t>(ic.rng);
    c.dcd = static_cast<std::uint32_t>(ic.dcd);
    c.frame = static_cast<std::uint32_t>(ic.frame);
    c.overrun = static_cast<std::uint32_t>(ic.overrun);
    c.parity = static_cast<std::uint32_t>(ic.parity);
    c.brk = static_cast<std::uint32_t>(ic.brk);
    c.bufOverrun = static_cast<std::uint32_t>(ic.buf_overrun);
    return true;
}

void Purge(OsHandle port, std::uint32_t flags) {
    if (port == kNoHandle)
        return;
    if (flags & purge::Receive)
        (void)IoctlValue(port, TCFLSH, TCIFLUSH);
    if (flags & purge::Transmit)
        (void)IoctlValue(port, TCFLSH, TCOFLUSH);
}

std::string ErrorText(int err) {
    char buf[256];
    // GNU strerror_r: thread-safe, may return a static string instead of buf.
    return ::strerror_r(err, buf, sizeof buf);
}

} // namespace portio

} // namespace ecu
