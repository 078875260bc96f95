// FormatFixed on arbitrary doubles against glibc's exact printing: equal except at exact
// halves, which go away from zero.
#include "FuzzCheck.h"
#include "ui/TextRules.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string Printf(double v, int decimals) {
    char buf[1500];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 10) {
        return 0;
    }
    double v;
    std::memcpy(&v, data, sizeof v);
    const int width = static_cast<std::int8_t>(data[8]) % 40;
    const int decimals = data[9] % 48;
    const std::string got = ecu::FormatFixed(v, width, decimals);
    FUZZ_CHECK(static_cast<int>(got.size()) >= width);
    if (!std::isfinite(v)) {
        return 0;
    }
    const std::string body = got.substr(got.find_first_not_of(' '));
    FUZZ_CHECK(body.size() == got.size() || static_cast<int>(got.size()) == width);

    const std::string exact = Printf(v, 1100);
    const std::string tail = exact.substr(exact.find('.') + 1 + static_cast<std::size_t>(decimals));
    const bool half = tail[0] == '5' && tail.find_first_not_of('0', 1) == std::string::npos;
    std::string want = Printf(v, decimals);
    if (want[0] == '-' && want.find_first_not_of("-0.") == std::string::npos) {
        want.erase(0, 1);
    }
    if (half) {
        // Away from zero: the exact digits cut after `decimals`, raised by one in the last place.
        want = exact.substr(0, exact.find('.') + static_cast<std::size_t>(decimals) +
                                   (decimals > 0 ? 1 : 0));
        std::size_t i = want.size();
        while (i-- > 0 && (want[i] == '9' || want[i] == '.')) {
            if (want[i] == '9') {
                want[i] = '0';
            }
        }
        if (i == std::string::npos || want[i] == '-') {
            want.insert(i + 1, 1, '1');
        } else {
            ++want[i];
        }
    }
    FUZZ_CHECK(body == want);
    return 0;
}
