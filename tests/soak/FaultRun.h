#pragma once
// Long runs of the real window against a simulator that fails at random: every fault
// kind the simulator has, a user who clicks every ~100 ms and times the window's
// answer, and a mechanic who presses Start again whenever the broken-link box ends a
// session.
#include "ClickProbe.h"
#include "WindowHarness.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace ecu::wintest {

// Every fault kind at once, drawn for every frame (control frames too): about one
// exchange in four goes wrong, one in twenty-five ends the session.
SimOptions RandomFaults(bool fast, std::uint32_t seed);

// Seconds from the environment variable, or fallback when unset or not a positive number.
int SecondsFromEnv(const char* name, int fallback);

using test::ClickProbe;

// The resident set of this process in bytes (VmRSS).
std::int64_t ResidentBytes();
// Bytes handed out by malloc and not yet freed; 0 where the allocator is replaced.
std::int64_t HeapInUseBytes();

class FaultRunTest : public WindowTest {
protected:
    struct Sample {
        double seconds = 0;
        std::uint64_t dataRequests = 0;
        std::uint64_t faults = 0;
        std::uint16_t runTime = 0; // the engine run time just decoded
        std::int64_t resident = 0;
        std::int64_t heapInUse = 0;
        int graphPoints = 0;
    };
    struct RunFigures {
        int sessions = 0;
        double seconds = 0;
        std::vector<Sample> samples; // one a second
    };

    // Starts the window on the simulator with random faults; pollDelay 0 keeps the
    // start-up's delay, any other value is set on the setup page and the port reopened.
    TGlForm& StartFaultyWindow(bool fastSim, int pollDelay = 0);
    // Polls on the page shown for `seconds`, pressing Start again after every session
    // the broken-link box ends; Stop ends the last one. `onSample` runs with each
    // second's sample, on the UI thread inside the session's waits.
    RunFigures PollWithRestarts(int seconds,
                                const std::function<void(const Sample&)>& onSample = {});

    // Every box shown was the broken-link box; returns their number and forgets them.
    // After Stop one send-failure box may be among them: Stop may close the port
    // between a cycle's answer and the control frame it sends.
    int CheckOnlyBrokenLinkBoxes(bool afterStop = false);
    // Data requests kept coming and decoded values kept changing in every span of
    // `span` seconds of the run.
    static void CheckKeptPolling(const RunFigures& run, int span);
};

} // namespace ecu::wintest
