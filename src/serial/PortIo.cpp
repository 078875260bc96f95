#include "serial/PortIo.h"

// termios2 lives in the kernel headers; glibc's <termios.h> would clash with them.
#include <asm/termbits.h>
#include <linux/serial.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
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
    const std::uint64_t one = 1;
    // EAGAIN would mean the counter is near overflow: it is set either way.
    while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void EventSignal::Drain() {
    std::uint64_t value;
    while (::read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
    }
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

PortIo::OpenResult PortIo::Open(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Fail(errno);
        return OpenResult::Failed;
    }
    // Root is not kept out by TIOCEXCL; the lock keeps every other opener out.
    if (::flock(fd, LOCK_EX | LOCK_NB) < 0 && errno == EWOULDBLOCK) {
        Fail(errno);
        ::close(fd);
        return OpenResult::Failed;
    }
    if (!::isatty(fd)) {
        Fail(errno);
        ::close(fd);
        return OpenResult::NotATerminal;
    }
    (void)Ioctl(fd, TIOCEXCL, nullptr);
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
    s.BaudRate = t.c_ospeed;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        s.ByteSize = 5;
        break;
    case CS6:
        s.ByteSize = 6;
        break;
    case CS7:
        s.ByteSize = 7;
        break;
    default:
        s.ByteSize = 8;
        break;
    }
    if (!(t.c_cflag & PARENB))
        s.Parity = 0;
    else if (t.c_cflag & CMSPAR)
        s.Parity = (t.c_cflag & PARODD) ? 3 : 4;
    else
        s.Parity = (t.c_cflag & PARODD) ? 1 : 2;
    s.StopBits = !(t.c_cflag & CSTOPB) ? 0 : (s.ByteSize == 5 ? 1 : 2);

    std::uint32_t flags = dcb::Binary;
    if (t.c_iflag & INPCK)
        flags |= dcb::ParityCheck;
    if (t.c_cflag & CRTSCTS)
        flags |= dcb::OutxCtsFlow | dcb::RtsControlHandshake;
    if (t.c_iflag & IXON)
        flags |= dcb::OutX;
    if (t.c_iflag & IXOFF)
        flags |= dcb::InX;
    int lines = 0;
    if (Ioctl(fd_, TIOCMGET, &lines) == 0) {
        if (lines & TIOCM_DTR)
            flags |= dcb::DtrControlEnable;
        if ((lines & TIOCM_RTS) && !(t.c_cflag & CRTSCTS))
            flags |= dcb::RtsControlEnable;
    }
    s.Flags = flags;
    s.XonLim = 0;
    s.XoffLim = 0;
    s.XonChar = static_cast<char>(t.c_cc[VSTART]);
    s.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    s.ErrorChar = 0;
    s.EofChar = static_cast<char>(t.c_cc[VEOF]);
    s.EvtChar = 0;
    return true;
}

bool PortIo::SetState(const LineSettings& s) {
    tcflag_t size;
    switch (s.ByteSize) {
    case 5:
        size = CS5;
        break;
    case 6:
        size = CS6;
        break;
    case 7:
        size = CS7;
        break;
    case 8:
        size = CS8;
        break;
    default:
        return Fail(EINVAL);
    }
    tcflag_t parity;
    switch (s.Parity) {
    case 0:
        parity = 0;
        break;
    case 1:
        parity = PARENB | PARODD;
        break;
    case 2:
        parity = PARENB;
        break;
    case 3:
        parity = PARENB | CMSPAR | PARODD;
        break;
    case 4:
        parity = PARENB | CMSPAR;
        break;
    default:
        return Fail(EINVAL);
    }
    // A UART gives 1.5 stop bits with 5 data bits and 2 with more; the other
    // two combinations do not exist.
    tcflag_t stop;
    switch (s.StopBits) {
    case 0:
        stop = 0;
        break;
    case 1:
        if (s.ByteSize != 5)
            return Fail(EINVAL);
        stop = CSTOPB;
        break;
    case 2:
        if (s.ByteSize == 5)
            return Fail(EINVAL);
        stop = CSTOPB;
        break;
    default:
        return Fail(EINVAL);
    }
    // Rate 0 would hang the line up instead of setting a speed.
    if (s.BaudRate == 0)
        return Fail(EINVAL);

    struct termios2 t {};
    if (Ioctl(fd_, TCGETS2, &t) < 0)
        return Fail(errno);
    t.c_iflag = 0;
    if ((s.Flags & dcb::ParityCheck) && parity)
        t.c_iflag |= INPCK;
    if (s.Flags & dcb::OutX)
        t.c_iflag |= IXON;
    if (s.Flags & dcb::InX)
        t.c_iflag |= IXOFF;
    t.c_oflag = 0;
    t.c_lflag = 0;
    t.c_cflag =
        (t.c_cflag & HUPCL) | CREAD | CLOCAL | size | parity | stop | BOTHER | (BOTHER << IBSHIFT);
    if ((s.Flags & dcb::OutxCtsFlow) || (s.Flags & dcb::RtsControlMask) == dcb::RtsControlHandshake)
        t.c_cflag |= CRTSCTS;
    t.c_ispeed = s.BaudRate;
    t.c_ospeed = s.BaudRate;
    // Non-blocking reads; the 1 ms gap is timed by the reader's poll.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (s.XonChar)
        t.c_cc[VSTART] = static_cast<cc_t>(s.XonChar);
    if (s.XoffChar)
        t.c_cc[VSTOP] = static_cast<cc_t>(s.XoffChar);
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

Wait WaitPort(OsHandle port, OsHandle stop, short events, long timeoutUs, int& err) {
    pollfd fds[2] = {{stop, POLLIN, 0}, {port, events, 0}};
    const int r = PollFor(fds, 2, timeoutUs);
    if (r < 0) {
        err = errno;
        return Wait::Failed;
    }
    if (r == 0)
        return Wait::Timeout;
    Wait result;
    if (StopSeen(fds[0], result, err))
        return result;
    if (fds[1].revents & events)
        return Wait::Ready;
    if (fds[1].revents & POLLNVAL) {
        err = EBADF;
        return Wait::Failed;
    }
    err = EIO;
    return Wait::Lost; // POLLHUP or POLLERR without data: the far side is gone
}

} // namespace

Wait WaitReadable(OsHandle port, OsHandle stop, long timeoutUs, int& err) {
    return WaitPort(port, stop, POLLIN, timeoutUs, err);
}

Wait WaitWritable(OsHandle port, OsHandle stop, int& err) {
    return WaitPort(port, stop, POLLOUT, -1, err);
}

Wait WaitSignal(OsHandle stop, OsHandle wake, int& err) {
    pollfd fds[2] = {{stop, POLLIN, 0}, {wake, POLLIN, 0}};
    if (PollFor(fds, 2, -1) < 0) {
        err = errno;
        return Wait::Failed;
    }
    Wait result;
    if (StopSeen(fds[0], result, err))
        return result;
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

bool WaitSet(OsHandle event, long timeoutMs) {
    pollfd p{event, POLLIN, 0};
    return PollFor(&p, 1, timeoutMs * 1000) > 0 && (p.revents & POLLIN);
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
