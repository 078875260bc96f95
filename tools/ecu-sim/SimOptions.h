#pragma once
// Settings of the ECU simulator: engine variant, line pacing, injected faults, model inputs.
#include "wire/EngineVariant.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace ecu {

// What goes wrong in one exchange (a received frame and the line's reaction to it).
enum class SimFault {
    None,
    Silence,   // neither echo nor answer: cable off
    EchoOnly,  // the echo but no answer: ignition off
    NoEcho,    // the answer without the echo
    Partial,   // the echo, then only the first partialBytes of the answer
    StrayByte, // strayByte goes out ahead of the echo
    Delayed,   // the answer comes faultDelay late
    Garbage,   // the echo, then random bytes of the answer's length that form no valid frame
};

// One fault source. An exchange is hit when its number is listed in cycles, or by chance at rate.
// Exchanges are counted from 1: data requests only, or every valid frame when allFrames is set.
struct SimFaultRule {
    SimFault fault = SimFault::None;
    double rate = 0.0;                 // 0..1, drawn once per exchange from the seeded generator
    std::vector<std::uint64_t> cycles; // exchange numbers always hit
    bool allFrames = false;
};

struct SimOptions {
    EngineVariant variant = EngineVariant::Sohc;
    bool fast = false;   // everything at once, no line pacing and no turnaround
    int lineBaud = 8192; // pacing: 10 bits a byte
    std::chrono::microseconds turnaround{3000}; // ECU's pause between echo and answer
    std::vector<SimFaultRule> faults;           // first matching rule wins
    std::chrono::milliseconds faultDelay{300};  // extra wait of SimFault::Delayed
    std::size_t partialBytes = 0;               // 0: half the answer
    std::uint8_t strayByte = 0x00;
    std::uint16_t promId = 0x5A17;
    double ambientC = 20.0; // coolant and intake air start here
    double timeScale = 1.0; // model seconds per real second (tests warm the engine up fast)
    std::uint32_t seed = 1; // noise, blips and fault rates
};

} // namespace ecu
