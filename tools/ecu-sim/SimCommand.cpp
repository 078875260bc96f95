#include "ecu-sim/CommandLine.h"

#include "serial/PortMap.h"

#include <charconv>
#include <cstdlib>
#include <map>

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

template <typename T> bool ParseNumber(const std::string& text, T& value, int base = 10) {
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, value, base);
    return ec == std::errc() && p == end && !text.empty();
}

bool ParseDouble(const std::string& text, double& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
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
        if (!ParseNumber(cycles.substr(start, comma - start), n) || n == 0)
            return false;
        rule.cycles.push_back(n);
        start = comma + 1;
    }
    // Without a rate or cycle numbers the rule would never fire: take it as every exchange.
    if (rate.empty() && cycles.empty())
        rule.rate = 1.0;
    return true;
}

} // namespace

std::string ParseSimCommand(const std::vector<std::string>& args, SimCommand& command) {
    SimOptions& o = command.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            command.help = true;
        } else if (arg == "--fast") {
            o.fast = true;
        } else if (arg == "--variant") {
            const auto variant = value(v) ? ParseVariant(v) : std::nullopt;
            if (!variant)
                return "--variant takes sohc or dohc";
            o.variant = *variant;
        } else if (arg == "--as") {
            const auto port = value(v) ? PortName(v) : std::nullopt;
            if (!port)
                return "--as takes a port name: COM1, COM2, … COM256";
            command.portName = *port;
        } else if (arg == "--replace") {
            command.replace = true;
        } else if (arg == "--device") {
            if (!value(command.device) || command.device.empty())
                return "--device takes a path";
        } else if (arg == "--log") {
            if (!value(command.logPath) || command.logPath.empty())
                return "--log takes a file name";
        } else if (arg == "--fault") {
            SimFaultRule rule;
            if (!value(v) || !ParseFaultRule(v, rule))
                return "bad --fault: " + v;
            o.faults.push_back(rule);
        } else if (arg == "--fault-delay") {
            unsigned ms = 0;
            if (!value(v) || !ParseNumber(v, ms) || ms > 60000)
                return "--fault-delay takes milliseconds (0..60000)";
            o.faultDelay = std::chrono::milliseconds(ms);
        } else if (arg == "--partial") {
            std::size_t n = 0;
            if (!value(v) || !ParseNumber(v, n))
                return "--partial takes a byte count";
            o.partialBytes = n;
        } else if (arg == "--stray") {
            std::uint8_t b = 0;
            if (!value(v) || !ParseNumber(v, b, 16))
                return "--stray takes a hex byte";
            o.strayByte = b;
        } else if (arg == "--fault-bytes") {
            std::uint16_t w = 0;
            if (!value(v) || v.size() != 4 || !ParseNumber(v, w, 16))
                return "--fault-bytes takes four hex digits";
            command.faultBytes =
                std::pair{static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w & 0xFF)};
        } else if (arg == "--prom") {
            if (!value(v) || v.empty() || v.size() > 4 || !ParseNumber(v, o.promId, 16))
                return "--prom takes up to four hex digits";
        } else if (arg == "--ambient") {
            if (!value(v) || !ParseDouble(v, o.ambientC) ||
                !(o.ambientC >= -40 && o.ambientC <= 60))
                return "--ambient takes degrees C (-40..60)";
        } else if (arg == "--time-scale") {
            if (!value(v) || !ParseDouble(v, o.timeScale) ||
                !(o.timeScale > 0 && o.timeScale <= 10000))
                return "--time-scale takes a factor (0..10000]";
        } else if (arg == "--baud") {
            if (!value(v) || !ParseNumber(v, o.lineBaud) || o.lineBaud < 300 ||
                o.lineBaud > 1000000)
                return "--baud takes a rate (300..1000000)";
        } else if (arg == "--seed") {
            if (!value(v) || !ParseNumber(v, o.seed))
                return "--seed takes a number";
        } else {
            return "unknown argument: " + arg;
        }
    }
    if (command.replace && command.portName.empty())
        return "--replace goes with --as";
    return {};
}

} // namespace ecu
