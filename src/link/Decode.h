#pragma once
// Decoding of the ECU's answer to the data request.
#include "link/EngineData.h"
#include "wire/EngineVariant.h"

#include <cstdint>
#include <span>
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

// Whether rx is one whole exchange: the data request's echo, then the variant's answer
// with its header (device byte, the variant's length byte, the data mode) and a checksum
// that sums the answer to 0 modulo 256. Bytes after the answer do not matter.
bool ExchangeWellFormed(std::span<const std::uint8_t> rx, EngineVariant variant) noexcept;

// What the live loop, playback and the tools decode with: DecodeFrame on a well-formed
// exchange only. Anything else (line noise, a buffer shifted by a collision, an answer cut
// short or from the other variant) changes nothing and gives false, since it would
// otherwise show as plausible engine values. Throws DecodeError when rx is empty.
bool DecodeExchange(ByteString& rx, EngineData& data, EngineVariant variant);

} // namespace ecu
