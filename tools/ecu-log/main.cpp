// ecu-log: a headless live logger. Polls the ECU through the same serial component
// and session loop as the window, printing one CSV row per cycle.
#include "LogHost.h"
#include "LogOptions.h"
#include "StopSignals.h"
#include "common/StandardStreams.h"
#include "record/DataFile.h"
#include "serial/Comm32.h"
#include "session/LinkSession.h"
#include "session/PortOpen.h"
#include "session/SessionState.h"

#include <QCoreApplication>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace {

#ifdef ECU_LOG_SPIN_WAIT
constexpr auto WaitMode = ecu::Waiter::Mode::Spin; // measuring build only
#else
constexpr auto WaitMode = ecu::Waiter::Mode::Sleep;
#endif

enum Exit {
    ExitStopped = 0,
    ExitCannotOpen = 1,
    ExitOutputFailed = 1,
    ExitFailed = 1, // the recording could not be written
    ExitUsage = 2,
    ExitLinkBroken = 3
};

int ReportOutputError(int error) {
    std::fprintf(stderr, "ecu-log: standard output: %s\n", std::strerror(error));
    return ExitOutputFailed;
}

int Run(const ecu::logtool::Options& options) {
    using namespace ecu;
    using namespace ecu::logtool;

    std::atomic<bool> stopRequested{false};
    SessionState state;
    TComm32 comm;
    LogHost host(options, state, comm, stdout);
    LogPresenter presenter(stopRequested);
    SystemTicks ticks;
    LinkSession link(state, comm, host, presenter, ticks, WaitMode);
    host.SetLink(&link);
    // Closing the port ends the loop at its next test; interrupting the wait gets
    // there now rather than at the end of a long delay.
    const auto stop = [&stopRequested, &comm, &link] {
        stopRequested.store(true);
        comm.CloseComm();
        link.InterruptWait();
    };
    StopSignals stopOnSignal(stopRequested, stop);
    // Rows nobody can read are no reason to go on polling; the recording ends with them.
    host.SetOnOutputFailed(stop);

    try {
        host.OpenPort();
        if (!comm.Connected()) {
            std::fprintf(stderr, "ecu-log: cannot open %s\n", PortOpenDetail(comm).c_str());
            return ExitCannotOpen;
        }
        if (options.record)
            state.File.Create(*options.record);
    } catch (const PortOpenError& e) {
        // One line: the component's text, then the port, its device and the reason.
        std::string text = e.ComponentText();
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        std::fprintf(stderr, "ecu-log: %s: %s\n", text.c_str(), e.Detail().c_str());
        return ExitCannotOpen;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ecu-log: %s\n", e.what());
        return ExitCannotOpen;
    }
    if (options.record) {
        // Armed and active before the loop, so the first cycle is recorded too.
        state.Flags.RecordFileCreated();
        state.Flags.RecordingActive = true;
    }

    host.PrintHeader();
    if (!host.OutputError()) {
        host.MarkRequest();
        link.LivePoll();
    }
    comm.CloseComm();
    state.File.Close();
    if (host.OutputError())
        return ReportOutputError(host.OutputError());
    if (presenter.LinkBroken())
        return ExitLinkBroken;
    return presenter.Failed() ? ExitFailed : ExitStopped;
}

} // namespace

int main(int argc, char** argv) {
    if (!ecu::cmdline::OpenClosedStandardStreams())
        return ExitCannotOpen;
    // A reader that went away is a failed write like any other, reported and ended cleanly.
    std::signal(SIGPIPE, SIG_IGN);
    // Before any thread exists, so that no thread takes the signals the signalfd waits for.
    ecu::logtool::BlockStopSignals();
    QCoreApplication app(argc, argv);

    std::string error;
    const auto options = ecu::logtool::ParseOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "ecu-log: %s\n\n%s", error.c_str(), ecu::logtool::kUsage);
        return ExitUsage;
    }
    if (options->help) {
        std::fputs(ecu::logtool::kUsage, stdout);
        return 0;
    }
    return Run(*options);
}
