#pragma once
// Decoding of the ECU's answer to the data request.
#include "link/EngineData.h"
#include "wire/EngineVariant.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace ecu {

// Received bytes of one exchange: the 4-byte echo of the request, then the answer.
using ByteString = std::vector<std::uint8_t>;

// Raised when there is nothing to decode (no byte came back).
class DecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Removes the echo from rx in place and fills data by the variant's layout.
// Returns true when data was written (never with no variant). Throws DecodeError when
// rx is empty.
bool DecodeFrame(ByteString& rx, EngineData& data, EngineVariant variant);

} // namespace ecu
