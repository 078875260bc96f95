#include "ui/TextRules.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace ecu {
namespace {

__extension__ typedef unsigned __int128 Uint128;

constexpr std::uint64_t kPow10_19 = 10000000000000000000ULL;

// A finite double as mantissa * 2^exponent, mantissa < 2^53.
struct Binary {
    std::uint64_t mantissa;
    int exponent;
};

Binary Split(double magnitude) {
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    if (biased == 0) {
        return {fraction, -1074};
    }
    return {fraction | (std::uint64_t{1} << 52), biased - 1075};
}

void AppendUint64(std::string& out, std::uint64_t v) {
    char buf[20];
    char* p = buf + sizeof buf;
    do {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    out.append(p, buf + sizeof buf);
}

void AppendUint128(std::string& digits, Uint128 v) {
    if (v >> 64 == 0) {
        AppendUint64(digits, static_cast<std::uint64_t>(v));
        return;
    }
    AppendUint128(digits, v / kPow10_19);
    const std::string::size_type at = digits.size();
    AppendUint64(digits, static_cast<std::uint64_t>(v % kPow10_19));
    digits.insert(at, 19 - (digits.size() - at), '0');
}

// Arbitrary-size natural number in base 10^9, least significant limb first.
class BigDecimal {
public:
    explicit BigDecimal(std::uint64_t v) {
        do {
            limbs_.push_back(static_cast<std::uint32_t>(v % kBase));
            v /= kBase;
        } while (v != 0);
    }

    void MultiplyByPower(std::uint32_t factor, int count) {
        // Group factors so that each pass multiplies by at most 2^32.
        std::uint64_t chunk = 1;
        for (int i = 0; i < count; ++i) {
            if (chunk * factor > 0xFFFFFFFFULL) {
                Multiply(static_cast<std::uint32_t>(chunk));
                chunk = 1;
            }
            chunk *= factor;
        }
        Multiply(static_cast<std::uint32_t>(chunk));
    }

    std::string Digits() const {
        std::string s;
        AppendUint64(s, limbs_.back());
        for (auto i = limbs_.size() - 1; i-- > 0;) {
            char buf[9];
            std::uint32_t v = limbs_[i];
            for (int k = 8; k >= 0; --k) {
                buf[k] = static_cast<char>('0' + v % 10);
                v /= 10;
            }
            s.append(buf, sizeof buf);
        }
        return s;
    }

private:
    static constexpr std::uint32_t kBase = 1000000000;

    void Multiply(std::uint32_t factor) {
        std::uint64_t carry = 0;
        for (auto& limb : limbs_) {
            const std::uint64_t v = std::uint64_t{limb} * factor + carry;
            limb = static_cast<std::uint32_t>(v % kBase);
            carry = v / kBase;
        }
        while (carry != 0) {
            limbs_.push_back(static_cast<std::uint32_t>(carry % kBase));
            carry /= kBase;
        }
    }

    std::vector<std::uint32_t> limbs_;
};

// Adds one unit in the last place of a digit string.
void Increment(std::string& digits) {
    for (auto i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
}

// |value| * 10^decimals rounded half away from zero, as a digit string. Exact for every
// double: m * 2^e is expanded to its finite decimal form before rounding.
std::string ScaledDigitsExact(Binary b, int decimals) {
    if (b.exponent >= 0) {
        BigDecimal n(b.mantissa);
        n.MultiplyByPower(2, b.exponent);
        std::string digits = n.Digits();
        digits.append(static_cast<std::size_t>(decimals), '0');
        return digits;
    }
    // m / 2^s = m * 5^s / 10^s: the digits of m * 5^s with s of them after the point.
    const int s = -b.exponent;
    BigDecimal n(b.mantissa);
    n.MultiplyByPower(5, s);
    std::string digits = n.Digits();
    if (decimals >= s) {
        digits.append(static_cast<std::size_t>(decimals - s), '0');
        return digits;
    }
    const auto keep = static_cast<std::ptrdiff_t>(digits.size()) - (s - decimals);
    if (keep < 0) {
        return "0"; // below a tenth of the last kept place
    }
    const bool up = keep < static_cast<std::ptrdiff_t>(digits.size()) &&
                    digits[static_cast<std::size_t>(keep)] >= '5';
    digits.resize(static_cast<std::size_t>(keep));
    if (digits.empty()) {
        digits = "0";
    }
    if (up) {
        Increment(digits);
    }
    return digits;
}

// Same result through 128-bit arithmetic; covers the usual display values. False when the
// value or the number of decimals is out of its reach.
bool ScaledDigitsFast(Binary b, int decimals, std::string& digits) {
    if (decimals > 19 || b.exponent > 10) {
        return false;
    }
    Uint128 scaled = b.mantissa;
    for (int i = 0; i < decimals; ++i) {
        scaled *= 10; // < 2^53 * 10^19 < 2^117
    }
    Uint128 n;
    if (b.exponent >= 0) {
        n = scaled << b.exponent; // < 2^127
    } else if (-b.exponent >= 128) {
        n = 0; // scaled < 2^127 <= half of 2^-exponent
    } else {
        const int s = -b.exponent;
        n = scaled >> s;
        const Uint128 rest = scaled - (n << s);
        if (rest >= (Uint128{1} << (s - 1))) {
            ++n;
        }
    }
    AppendUint128(digits, n);
    return true;
}

} // namespace

void AppendFixed(std::string& out, double value, int width, int decimals) {
    decimals = std::max(decimals, 0);
    const auto start = out.size();
    if (std::isnan(value)) {
        out += "nan";
    } else if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
    } else {
        const Binary b = Split(std::fabs(value));
        std::string digits;
        if (!ScaledDigitsFast(b, decimals, digits)) {
            digits = ScaledDigitsExact(b, decimals);
        }
        const auto d = static_cast<std::size_t>(decimals);
        if (digits.size() <= d) {
            digits.insert(0, d + 1 - digits.size(), '0');
        }
        const bool zero = digits.find_first_not_of('0') == std::string::npos;
        if (std::signbit(value) && !zero) {
            out += '-';
        }
        const std::size_t integerDigits = digits.size() - d;
        out.append(digits, 0, integerDigits);
        if (d > 0) {
            out += '.';
            out.append(digits, integerDigits, d);
        }
    }
    const auto length = out.size() - start;
    if (width > 0 && length < static_cast<std::size_t>(width)) {
        out.insert(start, static_cast<std::size_t>(width) - length, ' ');
    }
}

std::string FormatFixed(double value, int width, int decimals) {
    std::string s;
    AppendFixed(s, value, width, decimals);
    return s;
}

void AppendRunTime(std::string& out, std::uint16_t seconds) {
    const unsigned hours = seconds / 3600U;
    const unsigned minutes = seconds % 3600U / 60U;
    if (hours < 10) {
        out += '0';
    }
    AppendUint64(out, hours);
    out += minutes < 10 ? ":0" : ":";
    AppendUint64(out, minutes);
}

std::string FormatRunTime(std::uint16_t seconds) {
    std::string s;
    AppendRunTime(s, seconds);
    return s;
}

} // namespace ecu
