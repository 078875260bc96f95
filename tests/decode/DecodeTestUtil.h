#pragma once
#include "link/Decode.h"
#include "wire/Frames.h"

#include <cstdint>
#include <initializer_list>

namespace ecu::test {

// The echo followed by an answer of answerSize bytes, all `fill`.
inline ByteString Exchange(std::size_t answerSize, std::uint8_t fill = 0) {
    ByteString rx(DataRequest.begin(), DataRequest.end());
    rx.resize(EchoLength + answerSize, fill);
    return rx;
}

// Sets answer byte n (counted after the echo).
inline void Set(ByteString& rx, std::size_t n, unsigned value) {
    rx.at(EchoLength + n) = static_cast<std::uint8_t>(value);
}

// A well-formed exchange of the variant: the echo, then the answer's header, data bytes all
// `fill` and its checksum.
inline ByteString WellFormed(EngineVariant variant, std::uint8_t fill) {
    const std::size_t length = DataAnswerLength(variant);
    ByteString rx = Exchange(length, fill);
    Set(rx, 0, DataRequest[0]);
    Set(rx, 1, static_cast<unsigned>(LengthByteBase + length - 3));
    Set(rx, 2, DataRequest[ModeOffset]);
    rx.back() = FrameChecksum(rx.data() + EchoLength, length - 1);
    return rx;
}

// Int(x) of the exact x = (100000 d + 2941434) / 271000, i.e. d / 2.71 + 10.854, found by
// search rather than division: the whole number nearest zero on x's side of it.
inline int ExactKpa(int d) {
    const long numerator = 100000L * d + 2941434L;
    int k = 0;
    if (numerator >= 0) {
        while (271000L * (k + 1) <= numerator) {
            ++k;
        }
    } else {
        while (271000L * (k - 1) >= numerator) {
            --k;
        }
    }
    return k;
}

// Int(b * 0.35 + 0.5) of the exact decimal value.
inline int ExactAdvance(unsigned b) {
    int k = 0;
    while (100L * (k + 1) <= 35L * b + 50) {
        ++k;
    }
    return k;
}

} // namespace ecu::test
