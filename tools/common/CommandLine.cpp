#include "common/CommandLine.h"

#include <algorithm>
#include <utility>

namespace ecu::cmdline {

Scanner::Scanner(int argc, char** argv, std::vector<std::string_view> valueOptions)
    : argc_(argc), argv_(argv), valueOptions_(std::move(valueOptions)) {}

bool Scanner::Known(std::string_view name) const {
    return std::find(valueOptions_.begin(), valueOptions_.end(), name) != valueOptions_.end();
}

Arg Scanner::Next() {
    while (next_ < argc_) {
        const std::string_view arg = argv_[next_++];
        if (optionsEnded_ || !arg.starts_with("-") || arg == "-") {
            return {Arg::Kind::Positional, {}, arg};
        }
        if (arg == "--") {
            optionsEnded_ = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            return {Arg::Kind::Help, arg, {}};
        }
        const auto eq = arg.find('=');
        const std::string_view name = arg.substr(0, eq);
        Arg::Kind failure = Arg::Kind::UnknownOption;
        if (Known(name)) {
            if (eq != std::string_view::npos) {
                return {Arg::Kind::Option, name, arg.substr(eq + 1)};
            }
            if (next_ < argc_) {
                return {Arg::Kind::Option, name, argv_[next_++]};
            }
            failure = Arg::Kind::MissingValue;
        }
        next_ = argc_;
        return {failure, name, {}};
    }
    return {};
}

std::string Refusal(const Arg& arg, std::string_view takes) {
    const std::string name(arg.name);
    const std::string quoted = "\"" + std::string(arg.value) + "\"";
    switch (arg.kind) {
    case Arg::Kind::UnknownOption:
        return "unknown option " + name;
    case Arg::Kind::MissingValue:
        return name + " takes " + std::string(takes);
    case Arg::Kind::Option:
        return name + " takes " + std::string(takes) + ", not " + quoted;
    case Arg::Kind::Positional:
        return "unexpected argument " + quoted;
    default:
        return {};
    }
}

} // namespace ecu::cmdline
