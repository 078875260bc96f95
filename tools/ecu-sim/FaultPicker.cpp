#include "ecu-sim/FaultPicker.h"

#include <algorithm>

namespace ecu {

SimFault FaultPicker::Pick(const std::vector<SimFaultRule>& rules, bool dataRequest) {
    ++frames_;
    if (dataRequest)
        ++dataRequests_;
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    SimFault picked = SimFault::None;
    for (const SimFaultRule& rule : rules) {
        if (rule.fault == SimFault::None || (!rule.allFrames && !dataRequest))
            continue;
        const std::uint64_t n = rule.allFrames ? frames_ : dataRequests_;
        const bool listed =
            std::find(rule.cycles.begin(), rule.cycles.end(), n) != rule.cycles.end();
        // Draw for every rate rule, hit or not, so one rule's outcome does not shift another's.
        const bool drawn = rule.rate > 0 && chance(rng_) < rule.rate;
        if (picked == SimFault::None && (listed || drawn))
            picked = rule.fault;
    }
    return picked;
}

} // namespace ecu
