// The shared test support itself: the port map must keep every test away from the
// built-in ports, and a child's streams, exit and signals must come back as they were.
#include "ChildProcess.h"
#include "PortMap.h"
#include "serial/PortMap.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

namespace ecu::test {
namespace {

namespace fs = std::filesystem;

TEST(PortMap, PortsLeadNowhereUntilLinkedAndTheEnvironmentComesBack) {
    const std::string outer = std::getenv("XDG_CONFIG_HOME");
    {
        PortMap map;
        EXPECT_EQ(std::getenv("XDG_CONFIG_HOME"), map.Dir());
        for (const char* port : {"COM1", "COM2"}) {
            const std::string resolved = ResolvePortName(port);
            EXPECT_EQ(resolved.rfind(map.PortsDir(), 0), 0u) << resolved;
            EXPECT_FALSE(fs::exists(resolved)) << resolved;
        }
        map.Link("COM2", "/dev/null");
        EXPECT_EQ(fs::canonical(ResolvePortName("COM2")), "/dev/null");
        EXPECT_THROW(map.Link("missing/COM3", "/dev/null"), std::exception);
        EXPECT_EQ(RunChild(SH_PATH, {"-c", "printf %s \"$XDG_CONFIG_HOME\""}).out, map.Dir());
    }
    EXPECT_EQ(std::getenv("XDG_CONFIG_HOME"), outer) << "the test main's own map";
}

struct ShellCase {
    const char* script;
    const char* input;
    int exitCode;
    const char* out;
    const char* err;
};

TEST(ChildProcess, ExitCodesSignalsAndStreamsComeBackApart) {
    const ShellCase cases[] = {
        {"echo out; echo err >&2; exit 3", "", 3, "out\n", "err\n"},
        {"kill -TERM $$", "", 128 + SIGTERM, "", ""},
        {"cat", "fed\n", 0, "fed\n", ""},
        {"printf %s \"$EXTRA ${HOME-unset}\"", "", 0, "x unset", ""},
    };
    for (const ShellCase& c : cases) {
        ChildOptions options;
        options.env = {"EXTRA=x", "HOME"};
        const ChildResult r = RunChild(SH_PATH, {"-c", c.script}, c.input, options);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.script;
        EXPECT_EQ(r.out, c.out) << c.script;
        EXPECT_EQ(r.err, c.err) << c.script;
    }
}

TEST(ChildProcess, ClosedStreamsHookAndAGoneReaderAreTheChildsOwn) {
    ChildOptions closed;
    closed.out = Stream::Closed();
    ChildProcess noOut(SH_PATH, {"-c", "[ -e /proc/$$/fd/1 ] && echo open >&2 || echo closed >&2"},
                       closed);
    EXPECT_EQ(noOut.WaitForExit(), 0);
    EXPECT_EQ(noOut.Errors(), "closed\n");

    ChildOptions refusing;
    refusing.beforeExec = [] { return false; };
    EXPECT_EQ(RunChild(TRUE_PATH, {}, {}, refusing).exitCode, 126);

    // This process ignores SIGPIPE while it feeds a child; the child must not inherit that.
    ChildOptions piped;
    piped.in = Stream::Pipe();
    ChildProcess writer(SH_PATH, {"-c", "read line; while :; do echo x; done"}, piped);
    writer.CloseOutput();
    writer.Write("go\n", 3);
    EXPECT_EQ(writer.WaitForExit(), 128 + SIGPIPE);
    EXPECT_TRUE(writer.EndedBySignal());
}

TEST(ChildProcess, WaitingForOutputEndsWithTheChild) {
    ChildProcess child(SH_PATH, {"-c", "echo partial"});
    EXPECT_FALSE(child.WaitForOutput("never", 60000));
    EXPECT_EQ(child.FirstLine(), "partial");
    EXPECT_EQ(child.WaitForExit(0), 0);
}

} // namespace
} // namespace ecu::test
