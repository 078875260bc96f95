#include "ecu-sim/SimCommand.h"

#include "common/CommandLine.h"
#include "serial/PortMap.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <map>
#include <string_view>

namespace ecu {

const char* const kSimUsage =
    R"(Usage: ecu-sim [options]
Plays an engine control unit on a pseudo-terminal and prints the terminal's path.

  --variant sohc|dohc     answer layout (default sohc)
  --fast                  answer at once instead of at the line's rate
  --as NAME               link NAME (COM1 … COM256) in the port map to the terminal while running;
                          refused when NAME is linked already
  --replace               with --as: take NAME over even so; its old link, kept beside it as
                          NAME.replaced.ID, comes back at exit (or with the next ecu-sim --as
                          or ecu-ports run, should this one be killed)
  --device PATH           use this terminal instead of a new pseudo-terminal
  --log FILE              one line per frame received: seconds since start and the bytes
  --fault KIND[:RATE][@N,N...][/all]
                          inject KIND at RATE (0..1) or at data requests N, N... (with /all:
                          at frames N counting every frame); may be repeated.
                          KIND: silence, echo-only, no-echo, partial, stray, delay, garbage
  --fault-delay MS        lateness of a delayed answer (default 300)
  --partial N             bytes of a partial answer (default half)
  --stray HH              the stray byte (hex, default 00)
  --fault-bytes HHHH      stored fault codes, two bytes in hex (default 0000)
  --prom HHHH             program identifier in hex (default 5A17)
  --ambient C             starting temperature in degrees C (default 20)
  --time-scale X          model seconds per real second (default 1)
  --baud N                line rate that paces the bytes (default 8192)
  --seed N                seed of noise, blips and fault rates (default 1)
  --help                  this text
SIGINT or SIGTERM end it and remove the port link (or put the replaced one back).
)";

namespace {
constexpr unsigned kMaxFaultDelayMs = 60000;
constexpr double kMinAmbientC = -40;
constexpr double kMaxAmbientC = 60;
constexpr double kMaxTimeScale = 10000;
constexpr int kMinBaud = 300;
constexpr int kMaxBaud = 1000000;

template <typename T> bool ParseNumber(std::string_view text, T& value, int base = 10) {
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, value, base);
    return ec == std::errc() && p == end && !text.empty();
}

bool ParseDouble(std::string_view text, double& value) {
    if (text.empty())
        return false;
    const std::string copy(text); // strtod needs the terminating zero
    char* end = nullptr;
    value = std::strtod(copy.c_str(), &end);
    return end == copy.c_str() + copy.size();
}

bool ParseFaultKind(const std::string& name, SimFault& fault) {
    static const std::map<std::string, SimFault> kinds{
        {"silence", SimFault::Silence}, {"echo-only", SimFault::EchoOnly},
        {"no-echo", SimFault::NoEcho},  {"partial", SimFault::Partial},
        {"stray", SimFault::StrayByte}, {"delay", SimFault::Delayed},
        {"garbage", SimFault::Garbage}};
    const auto it = kinds.find(name);
    if (it == kinds.end())
        return false;
    fault = it->second;
    return true;
}

// KIND[:RATE][@N,N...][/all]
bool ParseFaultRule(std::string text, SimFaultRule& rule) {
    if (text.size() > 4 && text.compare(text.size() - 4, 4, "/all") == 0) {
        rule.allFrames = true;
        text.resize(text.size() - 4);
    }
    std::string cycles;
    if (const auto at = text.find('@'); at != std::string::npos) {
        cycles = text.substr(at + 1);
        text.resize(at);
        if (cycles.empty())
            return false;
    }
    std::string rate;
    if (const auto colon = text.find(':'); colon != std::string::npos) {
        rate = text.substr(colon + 1);
        text.resize(colon);
        if (!ParseDouble(rate, rule.rate) || !(rule.rate >= 0 && rule.rate <= 1))
            return false;
    }
    if (!ParseFaultKind(text, rule.fault))
        return false;
    std::size_t start = 0;
    while (start < cycles.size()) {
        auto comma = cycles.find(',', start);
        if (comma == std::string::npos)
            comma = cycles.size();
        std::uint64_t n = 0;
        if (!ParseNumber(std::string_view(cycles).substr(start, comma - start), n) || n == 0)
            return false;
        rule.cycles.push_back(n);
        start = comma + 1;
    }
    // Without a rate or cycle numbers the rule would never fire: take it as every exchange.
    if (rate.empty() && cycles.empty())
        rule.rate = 1.0;
    return true;
}

bool SetVariant(std::string_view v, SimCommand& c) {
    const auto variant = ParseVariant(v);
    if (variant)
        c.options.variant = *variant;
    return variant.has_value();
}

bool SetPort(std::string_view v, SimCommand& c) {
    const auto port = PortName(v);
    if (port)
        c.portName = *port;
    return port.has_value();
}

bool SetDevice(std::string_view v, SimCommand& c) {
    c.device = v;
    return !v.empty();
}

bool SetLog(std::string_view v, SimCommand& c) {
    c.logPath = v;
    return !v.empty();
}

bool AddFault(std::string_view v, SimCommand& c) {
    SimFaultRule rule;
    if (!ParseFaultRule(std::string(v), rule))
        return false;
    c.options.faults.push_back(rule);
    return true;
}

bool SetFaultDelay(std::string_view v, SimCommand& c) {
    unsigned ms = 0;
    if (!ParseNumber(v, ms) || ms > kMaxFaultDelayMs)
        return false;
    c.options.faultDelay = std::chrono::milliseconds(ms);
    return true;
}

bool SetPartial(std::string_view v, SimCommand& c) {
    return ParseNumber(v, c.options.partialBytes);
}

bool SetStray(std::string_view v, SimCommand& c) {
    return ParseNumber(v, c.options.strayByte, 16);
}

bool SetFaultBytes(std::string_view v, SimCommand& c) {
    std::uint16_t w = 0;
    if (v.size() != 4 || !ParseNumber(v, w, 16))
        return false;
    c.faultBytes =
        std::pair{static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w & 0xFF)};
    return true;
}

bool SetProm(std::string_view v, SimCommand& c) {
    return !v.empty() && v.size() <= 4 && ParseNumber(v, c.options.promId, 16);
}

bool SetAmbient(std::string_view v, SimCommand& c) {
    double& t = c.options.ambientC;
    return ParseDouble(v, t) && t >= kMinAmbientC && t <= kMaxAmbientC;
}

bool SetTimeScale(std::string_view v, SimCommand& c) {
    double& x = c.options.timeScale;
    return ParseDouble(v, x) && x > 0 && x <= kMaxTimeScale;
}

bool SetBaud(std::string_view v, SimCommand& c) {
    int& rate = c.options.lineBaud;
    return ParseNumber(v, rate) && rate >= kMinBaud && rate <= kMaxBaud;
}

bool SetSeed(std::string_view v, SimCommand& c) {
    return ParseNumber(v, c.options.seed);
}

struct ValueOption {
    std::string_view name;
    bool (*set)(std::string_view value, SimCommand& command);
    const char* refusal; // said when the value is missing or refused
};

const std::array<ValueOption, 14> kValueOptions{{
    {"--variant", SetVariant, "--variant takes sohc or dohc"},
    {"--as", SetPort, "--as takes a port name: COM1, COM2, … COM256"},
    {"--device", SetDevice, "--device takes a path"},
    {"--log", SetLog, "--log takes a file name"},
    {"--fault", AddFault, "bad --fault: "}, // followed by the value refused
    {"--fault-delay", SetFaultDelay, "--fault-delay takes milliseconds (0..60000)"},
    {"--partial", SetPartial, "--partial takes a byte count"},
    {"--stray", SetStray, "--stray takes a hex byte"},
    {"--fault-bytes", SetFaultBytes, "--fault-bytes takes four hex digits"},
    {"--prom", SetProm, "--prom takes up to four hex digits"},
    {"--ambient", SetAmbient, "--ambient takes degrees C (-40..60)"},
    {"--time-scale", SetTimeScale, "--time-scale takes a factor (0..10000]"},
    {"--baud", SetBaud, "--baud takes a rate (300..1000000)"},
    {"--seed", SetSeed, "--seed takes a number"},
}};

} // namespace

std::string ParseSimCommand(const std::vector<std::string>& args, SimCommand& command) {
    using Kind = cmdline::Arg::Kind;
    std::vector<std::string_view> names(kValueOptions.size());
    std::transform(kValueOptions.begin(), kValueOptions.end(), names.begin(),
                   [](const ValueOption& option) { return option.name; });
    cmdline::Scanner scanner(args, std::move(names), {"--fast", "--replace"});
    for (auto arg = scanner.Next(); arg.kind != Kind::End; arg = scanner.Next()) {
        switch (arg.kind) {
        case Kind::Help:
            command.help = true;
            break;
        case Kind::Flag:
            (arg.name == "--fast" ? command.options.fast : command.replace) = true;
            break;
        case Kind::Option:
        case Kind::MissingValue: {
            const auto* option =
                std::find_if(kValueOptions.begin(), kValueOptions.end(),
                             [&](const ValueOption& o) { return o.name == arg.name; });
            if (arg.kind == Kind::MissingValue || !option->set(arg.value, command))
                return option->name == "--fault" ? option->refusal + std::string(arg.value)
                                                 : option->refusal;
            break;
        }
        default: // positional, unknown option
            return "unknown argument: " + std::string(arg.text);
        }
    }
    if (command.replace && command.portName.empty())
        return "--replace goes with --as";
    return {};
}

} // namespace ecu
