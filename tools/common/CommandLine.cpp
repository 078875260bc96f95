#include "common/CommandLine.h"

#include <algorithm>
#include <utility>

namespace ecu::cmdline {

namespace {
bool Among(const std::vector<std::string_view>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}
} // namespace

Scanner::Scanner(int argc, char** argv, std::vector<std::string_view> valueOptions,
                 std::vector<std::string_view> flags)
    : valueOptions_(std::move(valueOptions)), flags_(std::move(flags)) {
    for (int i = 1; i < argc; ++i)
        args_.emplace_back(argv[i]);
}

Scanner::Scanner(const std::vector<std::string>& args, std::vector<std::string_view> valueOptions,
                 std::vector<std::string_view> flags)
    : args_(args.begin(), args.end()), valueOptions_(std::move(valueOptions)),
      flags_(std::move(flags)) {}

Arg Scanner::Next() {
    while (next_ < args_.size()) {
        const std::string_view arg = args_[next_++];
        if (optionsEnded_ || !arg.starts_with("-") || arg == "-") {
            return {Arg::Kind::Positional, {}, arg, arg};
        }
        if (arg == "--") {
            optionsEnded_ = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            return {Arg::Kind::Help, arg, {}, arg};
        }
        const auto eq = arg.find('=');
        const std::string_view name = arg.substr(0, eq);
        const bool inlineValue = eq != std::string_view::npos;
        if (Among(flags_, name) && !inlineValue) {
            return {Arg::Kind::Flag, name, {}, arg};
        }
        Arg::Kind failure = Arg::Kind::UnknownOption;
        if (Among(valueOptions_, name)) {
            if (inlineValue) {
                return {Arg::Kind::Option, name, arg.substr(eq + 1), arg};
            }
            if (next_ < args_.size()) {
                return {Arg::Kind::Option, name, args_[next_++], arg};
            }
            failure = Arg::Kind::MissingValue;
        }
        next_ = args_.size();
        return {failure, name, {}, arg};
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
