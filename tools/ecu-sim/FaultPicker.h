#pragma once
// Decides which fault, if any, hits each exchange.
#include "ecu-sim/SimOptions.h"

#include <cstdint>
#include <random>

namespace ecu {

class FaultPicker {
public:
    explicit FaultPicker(std::uint32_t seed) : rng_(seed) {}
    // Called once for every valid frame received, in order.
    SimFault Pick(const std::vector<SimFaultRule>& rules, bool dataRequest);

private:
    std::uint64_t frames_ = 0;
    std::uint64_t dataRequests_ = 0;
    std::mt19937 rng_;
};

} // namespace ecu
