#pragma once
// The port half of "open port", shared by every host.
#include "serial/Comm32.h"

#include <QString>

#include <cstdint>
#include <string>

namespace ecu {

// The component's refusal to open, with what the user needs to act on it: the
// port, the device it led to and the system's reason. what() is the component's
// text with that detail on a line of its own, as the error box shows it.
class PortOpenError : public ECommsError {
public:
    PortOpenError(const std::string& componentText, const std::string& detail)
        : ECommsError(componentText + "\n" + detail), text_(componentText), detail_(detail) {}
    const std::string& ComponentText() const { return text_; }
    const std::string& Detail() const { return detail_; }

private:
    std::string text_;
    std::string detail_;
};

// "COM1 (/dev/pts/7): Device or resource busy": the port as named, the device it
// resolved to (through the port map's link) and the system's reason for the
// component's last failed open. Meaningful right after OpenComm has failed.
std::string PortOpenDetail(const TComm32& comm);

// Opens portName on comm; once open, applies baudRate and takes delayMs as the
// poll delay. Returns false (nothing changed) when the component declines to
// open. A refusal of the component comes out as PortOpenError.
bool OpenPortWith(TComm32& comm, const QString& portName, std::uint32_t baudRate,
                  std::int32_t delayMs, std::int32_t& pollDelay);

} // namespace ecu
