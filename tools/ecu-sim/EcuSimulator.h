#pragma once
// An ECU and its one-wire diagnostic line, played on a pseudo-terminal (or a given tty) by a
// thread of its own. Every byte received is echoed; complete request frames are answered.
//
//   ecu::EcuSimulator sim(options);
//   sim.Start();                       // fresh pty; sim.SlavePath() is the port to open
//   ... the program polls sim.SlavePath() ...
//   sim.WaitForDataRequests(10, 5s);
//   auto frames = sim.Frames();
//   sim.Stop();                        // also done by the destructor
//
// All members are thread-safe.
#include "ecu-sim/SimEngine.h"
#include "ecu-sim/SimOptions.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ecu {

// Bytes the simulator took off the line, in arrival order.
struct SimFrame {
    std::vector<std::uint8_t> bytes;
    std::chrono::steady_clock::time_point time; // when its last byte was read
    bool valid = true; // false: bytes skipped while looking for a frame (bad length or checksum)
};

struct SimCounts {
    std::uint64_t frames = 0;        // valid frames received
    std::uint64_t dataRequests = 0;  // mode 1
    std::uint64_t resetRequests = 0; // mode 5
    std::uint64_t modeZero = 0;      // mode 0
    std::uint64_t controlFrames = 0; // mode 4
    std::uint64_t answers = 0;       // complete valid answers queued, late ones included
    std::uint64_t faults = 0;        // exchanges hit by a fault
    std::uint64_t skippedBytes = 0;  // bytes that belonged to no valid frame
};

class EcuSimulator {
public:
    explicit EcuSimulator(SimOptions options = {});
    ~EcuSimulator(); // stops
    EcuSimulator(const EcuSimulator&) = delete;
    EcuSimulator& operator=(const EcuSimulator&) = delete;

    // Opens a fresh pseudo-terminal (raw on both sides) and starts the line thread.
    // Throws std::system_error when it cannot; std::logic_error when already running.
    void Start();
    // The same on an existing terminal device instead of a pty.
    void StartOnDevice(const std::string& path);
    // Ends the thread and closes the line. Idempotent; safe from any thread but the line's own.
    void Stop();
    bool Running() const;
    // Path of the pty's slave side (or the device), empty before Start.
    std::string SlavePath() const;
    // The rate the program set on the line, in baud (the simulator's own until it does);
    // 0 when not running. Pacing keeps to SimOptions::lineBaud whatever this says.
    unsigned LineRate() const;

    // Options take effect from the next frame; the engine keeps its state. Before the first
    // Start the engine is rebuilt from them (seed, starting temperature, PROM id).
    void SetOptions(const SimOptions& options);
    SimOptions Options() const;
    // Stored fault codes; a clear-faults control frame sets both to 0.
    void SetFaultBytes(std::uint8_t byte1, std::uint8_t byte2);
    // Data answers carry exactly this state from the next request on, until released; the
    // model keeps running behind it. Fault bytes set meanwhile go into the held state too.
    // For checking exact texts against the car's values.
    void HoldEngine(const SimEngine& state);
    void ReleaseEngine();

    // Called on the line thread for every entry added to Frames(); set before Start.
    void SetFrameObserver(std::function<void(const SimFrame&)> observer);

    std::vector<SimFrame> Frames() const;
    void ClearFrames();
    // Every byte the simulator wrote to the line (echoes, answers, injected bytes), in the
    // order written, since the simulator was made or the last ClearSent. Bytes a dead line
    // refused are not in it.
    std::vector<std::uint8_t> SentBytes() const;
    void ClearSent();
    SimCounts Counts() const;
    std::uint64_t DataRequests() const { return Counts().dataRequests; }
    // Waits until at least n data requests (or n valid frames) have been received.
    bool WaitForDataRequests(std::uint64_t n, std::chrono::milliseconds timeout) const;
    bool WaitForFrames(std::uint64_t n, std::chrono::milliseconds timeout) const;

    // The model now, and the values encoded into the latest data answer.
    SimEngine Engine() const;
    SimEngine LastAnswered() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace ecu
