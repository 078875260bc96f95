#include "session/PortOpen.h"

#include "serial/Comm32.h"

namespace ecu {

bool OpenPortWith(TComm32& comm, const QString& portName, std::uint32_t baudRate,
                  std::int32_t delayMs, std::int32_t& pollDelay) {
    comm.SetCommPort(portName);
    if (!comm.OpenComm())
        return false;
    comm.SetBaudRate(baudRate);
    pollDelay = delayMs;
    return true;
}

} // namespace ecu
