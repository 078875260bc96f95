#pragma once
// Engine values placed into the ECU's answer to the data request, by the scanner's scaling
// run backwards (e.g. coolant byte = (T + 40) / 0.75).
#include "ecu-sim/SimEngine.h"
#include "ecu-sim/SimOptions.h"

#include <cstdint>
#include <ostream>
#include <vector>

namespace ecu {

// The complete answer frame: 64 bytes for SOHC, 68 for DOHC.
std::vector<std::uint8_t> EncodeDataAnswer(const SimEngine& engine, EngineVariant variant);

// Answer size including header and checksum.
std::size_t DataAnswerSize(EngineVariant variant);

// One record of a recording, as the scanner records a poll cycle: the data request's echo,
// then the answer for `engine`.
void WriteDataRecord(std::ostream& out, const SimEngine& engine, EngineVariant variant);

} // namespace ecu
