#pragma once
// Small helpers shared by the simulator tests.
#include "PtyClient.h"
#include "ecu-sim/SimOptions.h"

#include <numeric>

namespace ecu::test {

inline bool SumsToZero(const Bytes& b) {
    return !b.empty() && (std::accumulate(b.begin(), b.end(), 0u) & 0xFFu) == 0;
}

inline Bytes Slice(const Bytes& b, std::size_t from, std::size_t count = SIZE_MAX) {
    if (from >= b.size())
        return {};
    const std::size_t n = std::min(count, b.size() - from);
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
                 b.begin() + static_cast<std::ptrdiff_t>(from + n));
}

inline Bytes Concat(const Bytes& a, const Bytes& b) {
    Bytes r = a;
    r.insert(r.end(), b.begin(), b.end());
    return r;
}

inline SimOptions FastOptions(EngineVariant v = EngineVariant::Sohc) {
    SimOptions o;
    o.variant = v;
    o.fast = true;
    return o;
}

} // namespace ecu::test
