#pragma once
// The component's line settings in the Linux tty's terms and back. Pure
// functions, so that what a pseudo-terminal would silently drop (parity, sizes)
// can still be checked.
#include "serial/LineSettings.h"

// termios2 lives in the kernel headers; glibc's <termios.h> would clash with them.
#include <asm/termbits.h>

namespace ecu::termios_map {

// Fills t for the settings: raw mode, the exact rate through BOTHER, no waiting
// in read (the reader times its own gaps). HUPCL and the XON/XOFF characters the
// driver had are kept when the settings have none. False with err = EINVAL for a
// combination no UART does (sizes other than 5 to 8, unknown parity, 1.5 stop
// bits with more than 5 data bits or 2 with 5, rate 0).
bool ToTermios(const LineSettings& s, struct termios2& t, int& err);

// The settings a tty has now. modemLines holds TIOCM_ bits, or is negative when
// the driver has no modem lines.
LineSettings FromTermios(const struct termios2& t, int modemLines);

// Time of one character on the line in microseconds: start bit, data bits,
// parity bit and stop bits at the output rate; 0 when the rate is 0.
long CharacterTimeUs(const struct termios2& t);

// The quiet time that ends a received burst: two character times, never less
// than minUs.
long BurstGapUs(const struct termios2& t, long minUs);

} // namespace ecu::termios_map
