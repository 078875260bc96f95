#include "session/PortOpen.h"

#include "serial/PortMap.h"

#include <filesystem>
#include <system_error>

namespace ecu {

namespace {
// The device behind a port map link, as the user linked it; the path itself when
// it is no link.
std::string LinkedDevice(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_symlink(path, ec))
        return path;
    fs::path target = fs::read_symlink(path, ec);
    if (ec)
        return path;
    if (target.is_relative())
        target = fs::path(path).parent_path() / target;
    return target.lexically_normal().string();
}
} // namespace

std::string PortOpenDetail(const TComm32& comm) {
    const std::string name = comm.CommPort().toStdString();
    std::string device = name;
    try {
        device = LinkedDevice(ResolvePortName(name));
    } catch (const PortNameError&) {
        // The reason is the component's last error already.
    }
    std::string detail = device == name ? name : name + " (" + device + ")";
    if (!comm.LastOsError().empty())
        detail += ": " + comm.LastOsError();
    return detail;
}

bool OpenPortWith(TComm32& comm, const QString& portName, std::uint32_t baudRate,
                  std::int32_t delayMs, std::int32_t& pollDelay) {
    comm.SetCommPort(portName);
    try {
        if (!comm.OpenComm())
            return false;
    } catch (const ECommsError& e) {
        if (comm.Connected()) // already open: nothing was tried
            throw;
        throw PortOpenError(e.what(), PortOpenDetail(comm));
    }
    comm.SetBaudRate(baudRate);
    pollDelay = delayMs;
    return true;
}

} // namespace ecu
