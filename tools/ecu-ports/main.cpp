// ecu-ports: the serial devices found, the port map, and editing it.
#include "Devices.h"
#include "Options.h"
#include "PortMapEdit.h"
#include "Report.h"
#include "common/StandardStreams.h"
#include "serial/PortMap.h"

#include <cstdio>
#include <exception>
#include <string>

namespace {

using namespace ecu::ports;

int Link(const Options& options) {
    const std::string device = DevicePath(options.device, options.devRoot);
    const auto previous = LinkPort(options.port, device);
    if (previous && *previous != device)
        std::printf("%s was linked to %s\n", options.port.c_str(), previous->c_str());
    for (const PortEntry& entry : ListPorts(options.devRoot))
        if (entry.name == options.port)
            std::printf("%s\n", PortLine(entry).c_str());
    return kExitOk;
}

int Unlink(const Options& options) {
    const std::string previous = UnlinkPort(options.port);
    std::printf("%s no longer leads to %s\n", options.port.c_str(), previous.c_str());
    for (const PortEntry& entry : ListPorts(options.devRoot))
        if (entry.name == options.port)
            std::printf("%s\n", PortLine(entry).c_str());
    return kExitOk;
}

int Run(const Options& options) {
    switch (options.command) {
    case Command::Link:
        return Link(options);
    case Command::Unlink:
        return Unlink(options);
    case Command::List:
        break;
    }
    const std::string text = ListingText(ScanDevices(options.devRoot), ListPorts(options.devRoot),
                                         ecu::PortMapDirectory());
    std::fputs(text.c_str(), stdout);
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    if (!ecu::cmdline::OpenClosedStandardStreams())
        return kExitFailed;
    std::string error;
    const auto options = ParseOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "ecu-ports: %s\n\n%s", error.c_str(), kUsage);
        return kExitUsage;
    }
    if (options->help) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    try {
        const int status = Run(*options);
        if (std::fflush(stdout) != 0) {
            std::perror("ecu-ports: standard output");
            return kExitFailed;
        }
        return status;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ecu-ports: %s\n", e.what());
        return kExitFailed;
    }
}
