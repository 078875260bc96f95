#pragma once
// Start-up guard of the command-line tools.

namespace ecu::cmdline {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. A tool started with one
// of them closed would otherwise get it back from its first open(): a serial port on
// standard error receives every message, a recording on standard output receives the rows.
// Call first thing in main, before anything opens a file or starts a thread. False when
// /dev/null cannot be opened; the tool must then stop without opening anything.
bool OpenClosedStandardStreams() noexcept;

} // namespace ecu::cmdline
