// ecu-log: a headless live logger. Polls the ECU through the same serial component
// and session loop as the window, printing one CSV row per cycle.
#include "LogHost.h"
#include "LogOptions.h"
#include "StopSignals.h"
#include "common/StandardStreams.h"
#include "record/DataFile.h"
#include "session/PortOpen.h"
#include "session/Session.h"

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

// True once the port is open again.
bool Reopen(ecu::TComm32& comm, ecu::logtool::LogHost& host) {
    try {
        host.OpenPort();
    } catch (const std::exception&) {
        // The adapter is still away: the next attempt says nothing either.
    }
    return comm.Connected();
}

// Cuts the recording back to its last whole cycle, dropping the rows held for what goes. A
// device such as /dev/null has nothing to cut. False, said on standard error, when the cut
// failed: the recording and the rows no longer agree.
bool CutToWholeCycles(ecu::SessionState& state, ecu::logtool::LogHost& host) {
    host.DropHeldRows();
    if (!host.Cuttable())
        return true;
    try {
        state.File.Truncate(host.CutPoint());
        return true;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ecu-log: %s\n", e.what());
        return false;
    }
}

// The link broke: cut the recording back to its last whole cycle, then try the port every
// second and poll again once it opens; a cycle without an answer breaks it again. Ends on
// a signal, a failed output, a failed recording or a failed cut (then false).
bool Reconnect(const ecu::logtool::Options& options, ecu::Session& session,
               ecu::logtool::LogHost& host, ecu::logtool::LogPresenter& presenter,
               const std::atomic<bool>& stopRequested) {
    ecu::TComm32& comm = session.Comm();
    ecu::LinkSession& link = session.Link();
    bool announced = false;
    // The loop also ends without a box when the component closed the port itself.
    while (!stopRequested.load() && !host.OutputError() && !presenter.Failed()) {
        comm.CloseComm();
        if (!CutToWholeCycles(session.State(), host))
            return false;
        if (!announced) {
            std::fprintf(stderr, "ecu-log: link to the ECU lost; opening %s again every second\n",
                         options.port.c_str());
            std::fflush(stderr);
            announced = true;
        }
        try {
            link.WaitMs(1000);
        } catch (...) {
            continue; // interrupted: a signal, tested above
        }
        if (stopRequested.load() || !Reopen(comm, host))
            continue;
        // Said once the ECU answers: with the ignition off the port opens but nothing comes.
        host.NoteAtNextRow("ecu-log: the ECU answers on " + options.port + " again");
        const std::uint64_t rows = host.Rows();
        host.MarkRequest();
        link.LivePoll();
        host.NoteAtNextRow({});
        announced = host.Rows() == rows; // a loss after rows is said again
    }
    return true;
}

int Run(const ecu::logtool::Options& options) {
    using namespace ecu;
    using namespace ecu::logtool;

    std::atomic<bool> stopRequested{false};
    LogHost host(options, stdout);
    LogPresenter presenter(stopRequested);
    SessionOptions sessionOptions;
    sessionOptions.waitMode = WaitMode;
    sessionOptions.port = QString::fromStdString(options.port);
    Session session(host, presenter, nullptr, nullptr, sessionOptions);
    host.Attach(session);
    SessionState& state = session.State();
    TComm32& comm = session.Comm();
    LinkSession& link = session.Link();
    const auto stop = [&stopRequested, &session] {
        stopRequested.store(true);
        session.StopPolling();
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
    bool cut = true;
    if (!host.OutputError()) {
        // Reconnecting says the loss in its own line, not in the window's box text.
        presenter.SetQuietBrokenLink(options.reconnect);
        host.MarkRequest();
        link.LivePoll();
        if (options.reconnect)
            cut = Reconnect(options, session, host, presenter, stopRequested);
    }
    comm.CloseComm();
    // The cycle a signal or a break interrupted has no row: its bytes go too.
    cut = cut && CutToWholeCycles(state, host);
    state.File.Close();
    if (host.OutputError())
        return ReportOutputError(host.OutputError());
    if (presenter.LinkBroken() && !options.reconnect)
        return ExitLinkBroken;
    return presenter.Failed() || !cut ? ExitFailed : ExitStopped;
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
