// Line settings in the tty's terms. A pseudo-terminal keeps 8 data bits without
// parity whatever it is told, so only here can parity and sizes be seen.
#include "serial/TermiosMap.h"

#include <sys/ioctl.h>

#include <gtest/gtest.h>

#include <cerrno>

namespace ecu::termios_map {
namespace {

LineSettings Line(std::uint32_t rate, int size, int parity, int stop, std::uint32_t flags = 0) {
    LineSettings s;
    s.BaudRate = rate;
    s.ByteSize = static_cast<std::uint8_t>(size);
    s.Parity = static_cast<std::uint8_t>(parity);
    s.StopBits = static_cast<std::uint8_t>(stop);
    s.Flags = dcb::Binary | flags;
    return s;
}

// What a freshly opened tty has: cooked mode, echo, 38400 baud.
struct termios2 Cooked() {
    struct termios2 t {};
    t.c_iflag = ICRNL | IXON | ISTRIP;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    t.c_cflag = B38400 | CS8 | CREAD | HUPCL;
    t.c_ispeed = t.c_ospeed = 38400;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 5;
    t.c_cc[VSTART] = 0x11;
    t.c_cc[VSTOP] = 0x13;
    return t;
}

TEST(TermiosMap, EverySizeParityAndStopBitCombinationMapsBothWays) {
    const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    const tcflag_t parities[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD,
                                 PARENB | CMSPAR};
    for (int size = 5; size <= 8; ++size) {
        for (int parity = 0; parity <= 4; ++parity) {
            for (int stop = 0; stop <= 2; ++stop) {
                SCOPED_TRACE(testing::Message()
                             << size << " bits, parity " << parity << ", stop " << stop);
                struct termios2 t = Cooked();
                int err = 0;
                const bool possible = stop == 0 || (stop == 1) == (size == 5);
                ASSERT_EQ(ToTermios(Line(8200, size, parity, stop), t, err), possible);
                if (!possible) {
                    EXPECT_EQ(err, EINVAL);
                    continue;
                }
                EXPECT_EQ(t.c_cflag & CSIZE, sizes[size - 5]);
                EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), parities[parity]);
                EXPECT_EQ((t.c_cflag & CSTOPB) != 0, stop != 0);

                const LineSettings back = FromTermios(t, -1);
                EXPECT_EQ(back.ByteSize, size);
                EXPECT_EQ(back.Parity, parity);
                EXPECT_EQ(back.StopBits, stop);
                EXPECT_EQ(back.BaudRate, 8200u);
            }
        }
    }
}

TEST(TermiosMap, WhatNoUartDoesIsRefused) {
    const LineSettings refused[] = {
        Line(8200, 4, 0, 0), Line(8200, 9, 0, 0), Line(8200, 8, 5, 0), Line(8200, 8, 0, 3),
        Line(8200, 8, 0, 1), Line(8200, 5, 0, 2), Line(0, 8, 0, 0), // rate 0 would hang the line up
    };
    for (const LineSettings& s : refused) {
        struct termios2 t = Cooked();
        const struct termios2 before = t;
        int err = 0;
        EXPECT_FALSE(ToTermios(s, t, err));
        EXPECT_EQ(err, EINVAL);
        EXPECT_EQ(t.c_cflag, before.c_cflag); // nothing half-done
    }
}

TEST(TermiosMap, RawModeExactRateAndFlowControl) {
    struct termios2 t = Cooked();
    int err = 0;
    ASSERT_TRUE(ToTermios(Line(8200, 8, 0, 0), t, err));
    EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
    EXPECT_EQ((t.c_cflag >> IBSHIFT) & CBAUD, static_cast<tcflag_t>(BOTHER));
    EXPECT_EQ(t.c_ispeed, 8200u);
    EXPECT_EQ(t.c_ospeed, 8200u);
    EXPECT_EQ(t.c_iflag, 0u);
    EXPECT_EQ(t.c_oflag, 0u);
    EXPECT_EQ(t.c_lflag, 0u);
    EXPECT_TRUE(t.c_cflag & CREAD);
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_TRUE(t.c_cflag & HUPCL); // kept from the driver
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ(t.c_cc[VSTART], 0x11);

    ASSERT_TRUE(
        ToTermios(Line(9600, 8, 0, 0, dcb::OutxCtsFlow | dcb::RtsControlHandshake), t, err));
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_EQ(FromTermios(t, 0).Flags & (dcb::OutxCtsFlow | dcb::RtsControlHandshake),
              dcb::OutxCtsFlow | dcb::RtsControlHandshake);

    ASSERT_TRUE(ToTermios(Line(9600, 8, 0, 0, dcb::OutX | dcb::InX), t, err));
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_EQ(t.c_iflag, static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(FromTermios(t, 0).Flags & (dcb::OutX | dcb::InX), dcb::OutX | dcb::InX);

    // Parity checking only where there is a parity bit to check.
    ASSERT_TRUE(ToTermios(Line(9600, 7, 2, 0, dcb::ParityCheck), t, err));
    EXPECT_EQ(t.c_iflag, static_cast<tcflag_t>(INPCK));
    EXPECT_TRUE(FromTermios(t, 0).Flags & dcb::ParityCheck);
    ASSERT_TRUE(ToTermios(Line(9600, 8, 0, 0, dcb::ParityCheck), t, err));
    EXPECT_EQ(t.c_iflag, 0u);
}

TEST(TermiosMap, ModemLinesReadBackAsTheirControlBits) {
    struct termios2 t = Cooked();
    int err = 0;
    ASSERT_TRUE(ToTermios(Line(8200, 8, 0, 0), t, err));
    EXPECT_EQ(FromTermios(t, -1).Flags, dcb::Binary); // no modem lines at all
    EXPECT_EQ(FromTermios(t, 0).Flags, dcb::Binary);
    EXPECT_EQ(FromTermios(t, TIOCM_DTR | TIOCM_RTS).Flags,
              dcb::Binary | dcb::DtrControlEnable | dcb::RtsControlEnable);
}

TEST(TermiosMap, BurstGapIsTwoCharacterTimesAtTheRateButNeverUnderTheMinimum) {
    struct Case {
        std::uint32_t rate;
        int size, parity, stop;
        long characterUs, gapUs;
    };
    const Case cases[] = {
        {8200, 8, 0, 0, 1220, 2439},   // 10 bits: the ECU's line
        {9600, 8, 0, 0, 1042, 2083},   // 10 bits
        {10400, 8, 0, 0, 962, 1923},   // 10 bits
        {300, 7, 2, 2, 36667, 73333},  // 1 + 7 + 1 + 2 = 11 bits
        {110, 5, 0, 1, 68182, 136364}, // 1 + 5 + 1.5 = 7.5 bits
        {115200, 8, 0, 0, 87, 1000},   // the minimum
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        struct termios2 t = Cooked();
        int err = 0;
        ASSERT_TRUE(ToTermios(Line(c.rate, c.size, c.parity, c.stop), t, err));
        EXPECT_EQ(CharacterTimeUs(t), c.characterUs);
        EXPECT_EQ(BurstGapUs(t, 1000), c.gapUs);
    }
    struct termios2 zero = Cooked();
    zero.c_ospeed = 0;
    EXPECT_EQ(BurstGapUs(zero, 1000), 1000);
}

} // namespace
} // namespace ecu::termios_map
