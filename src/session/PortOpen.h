#pragma once
// The port half of "open port", shared by every host.
#include <QString>

#include <cstdint>

namespace ecu {

class TComm32;

// Opens portName on comm; once open, applies baudRate and takes delayMs as the
// poll delay. Returns false (nothing changed) when the component declines to
// open; lets its ECommsError through.
bool OpenPortWith(TComm32& comm, const QString& portName, std::uint32_t baudRate,
                  std::int32_t delayMs, std::int32_t& pollDelay);

} // namespace ecu
