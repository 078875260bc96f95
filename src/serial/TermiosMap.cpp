#include "serial/TermiosMap.h"

#include <algorithm>
#include <cerrno>
#include <sys/ioctl.h>

namespace ecu::termios_map {

namespace {

bool SizeBits(std::uint8_t byteSize, tcflag_t& size) {
    switch (byteSize) {
    case 5:
        size = CS5;
        return true;
    case 6:
        size = CS6;
        return true;
    case 7:
        size = CS7;
        return true;
    case 8:
        size = CS8;
        return true;
    default:
        return false;
    }
}

bool ParityBits(std::uint8_t parity, tcflag_t& bits) {
    switch (parity) {
    case 0:
        bits = 0;
        return true;
    case 1:
        bits = PARENB | PARODD;
        return true;
    case 2:
        bits = PARENB;
        return true;
    case 3: // mark: the stick bit set to one
        bits = PARENB | CMSPAR | PARODD;
        return true;
    case 4: // space: the stick bit set to zero
        bits = PARENB | CMSPAR;
        return true;
    default:
        return false;
    }
}

// A UART gives 1.5 stop bits with 5 data bits and 2 with more, both through
// CSTOPB; the other two combinations do not exist.
bool StopBits(std::uint8_t stopBits, std::uint8_t byteSize, tcflag_t& bits) {
    switch (stopBits) {
    case 0:
        bits = 0;
        return true;
    case 1:
        bits = CSTOPB;
        return byteSize == 5;
    case 2:
        bits = CSTOPB;
        return byteSize != 5;
    default:
        return false;
    }
}

int DataBits(tcflag_t cflag) {
    switch (cflag & CSIZE) {
    case CS5:
        return 5;
    case CS6:
        return 6;
    case CS7:
        return 7;
    default:
        return 8;
    }
}

} // namespace

bool ToTermios(const LineSettings& s, struct termios2& t, int& err) {
    tcflag_t size = 0, parity = 0, stop = 0;
    // Rate 0 would hang the line up instead of setting a speed.
    if (!SizeBits(s.ByteSize, size) || !ParityBits(s.Parity, parity) ||
        !StopBits(s.StopBits, s.ByteSize, stop) || s.BaudRate == 0) {
        err = EINVAL;
        return false;
    }
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
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (s.XonChar)
        t.c_cc[VSTART] = static_cast<cc_t>(s.XonChar);
    if (s.XoffChar)
        t.c_cc[VSTOP] = static_cast<cc_t>(s.XoffChar);
    return true;
}

LineSettings FromTermios(const struct termios2& t, int modemLines) {
    LineSettings s;
    s.BaudRate = t.c_ospeed;
    s.ByteSize = static_cast<std::uint8_t>(DataBits(t.c_cflag));
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
    if (modemLines >= 0) {
        if (modemLines & TIOCM_DTR)
            flags |= dcb::DtrControlEnable;
        if ((modemLines & TIOCM_RTS) && !(t.c_cflag & CRTSCTS))
            flags |= dcb::RtsControlEnable;
    }
    s.Flags = flags;
    s.XonChar = static_cast<char>(t.c_cc[VSTART]);
    s.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    s.EofChar = static_cast<char>(t.c_cc[VEOF]);
    return s;
}

namespace {

// Bits of one character counted in halves, for the 1.5 stop bits of 5-bit
// characters: start bit, data bits, parity bit, stop bits.
long HalfBits(const struct termios2& t) {
    long halfBits = 2 + 2L * DataBits(t.c_cflag);
    if (t.c_cflag & PARENB)
        halfBits += 2;
    if (!(t.c_cflag & CSTOPB))
        halfBits += 2;
    else
        halfBits += (t.c_cflag & CSIZE) == CS5 ? 3 : 4;
    return halfBits;
}

// numerator / denominator, rounded to the nearest whole number.
long Rounded(long long numerator, long long denominator) {
    return static_cast<long>((numerator + denominator / 2) / denominator);
}

} // namespace

long CharacterTimeUs(const struct termios2& t) {
    if (t.c_ospeed == 0)
        return 0;
    return Rounded(HalfBits(t) * 1000000LL, 2LL * t.c_ospeed);
}

long BurstGapUs(const struct termios2& t, long minUs) {
    if (t.c_ospeed == 0)
        return minUs;
    return std::max(minUs, Rounded(HalfBits(t) * 1000000LL, t.c_ospeed));
}

} // namespace ecu::termios_map
