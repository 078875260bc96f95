#pragma once
// The simulator's side of a session: what it took off the line and what it wrote back,
// cut into exchanges (the echo of each frame it took, then its answer) and named frame by
// frame for order checks.
#include "ecu-sim/EcuSimulator.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ecu::accept {

using Bytes = std::vector<std::uint8_t>;

inline const Bytes kDataRequest{0xF4, 0x56, 0x01, 0xB5};
inline const Bytes kResetRequest{0xF4, 0x56, 0x05, 0xB1};
inline const Bytes kModeZeroRequest{0xF4, 0x56, 0x00, 0xB6};

struct Exchange {
    Bytes request; // as the simulator took it
    Bytes echo;    // the request as it went back on the line
    Bytes answer;  // the ECU's answer frame, empty when there was none
    Bytes Sent() const;
};

struct LineLog {
    std::vector<SimFrame> frames;
    std::vector<Exchange> exchanges; // one per frame, as far as the written bytes go
    std::string error;               // empty: the written bytes are echoes and answers only
    // The data request exchanges, in order; data(k) is the answer to the k-th request (1-based).
    std::vector<const Exchange*> data;
};

// Reads the simulator's log. With `whole`, every frame must have its echo and answer
// written; otherwise an exchange still under way at the end is left out.
LineLog ReadLineLog(const EcuSimulator& sim, bool whole);

// One letter per frame taken: D data request, R reset, Z mode zero, the letter 'a' + i
// for control frame controls[i], x for anything else (an invalid frame included).
std::string FrameLetters(const std::vector<SimFrame>& frames, const std::vector<Bytes>& controls);

} // namespace ecu::accept
