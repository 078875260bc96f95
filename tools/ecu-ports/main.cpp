// ecu-ports: the serial devices found, the port map, and editing it.
#include "Devices.h"
#include "Options.h"
#include "PortMapEdit.h"
#include "Report.h"
#include "common/StandardStreams.h"
#include "serial/PortMap.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace {

using namespace ecu::ports;

// The port's line after an edit.
void ShowPort(const Options& options) {
    for (const PortEntry& entry : ListPorts(options.devRoot))
        if (entry.name == options.port)
            std::printf("%s\n", PortLine(entry).c_str());
}

int Link(const Options& options) {
    const std::string device = DevicePath(options.device, options.devRoot);
    const auto previous = LinkPort(options.port, device);
    if (previous && *previous != device)
        std::printf("%s was linked to %s\n", options.port.c_str(),
                    ecu::PrintableName(*previous).c_str());
    ShowPort(options);
    return kExitOk;
}

int Unlink(const Options& options) {
    const std::string previous = UnlinkPort(options.port);
    std::printf("%s no longer leads to %s\n", options.port.c_str(),
                ecu::PrintableName(previous).c_str());
    ShowPort(options);
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
    const std::string problem = MapFolderProblem();
    const std::string text =
        ListingText(ScanDevices(options.devRoot),
                    problem.empty() ? ListPorts(options.devRoot) : std::vector<PortEntry>{},
                    ecu::PortMapDirectory(), problem);
    std::fputs(text.c_str(), stdout);
    return kExitOk;
}

// After an edit that was made, output nobody can read is no failure of the edit.
int Finish(const Options& options, int status) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return status;
    const int err = errno;
    if (options.command == Command::List) {
        std::fprintf(stderr, "ecu-ports: standard output: %s\n", std::strerror(err));
        return kExitFailed;
    }
    std::fprintf(stderr, "ecu-ports: standard output: %s; %s was %s all the same\n",
                 std::strerror(err), options.port.c_str(),
                 options.command == Command::Link ? "linked" : "unlinked");
    return status;
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
        return Finish(*options, Run(*options));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ecu-ports: %s\n", e.what());
        return kExitFailed;
    }
}
