#pragma once
// Scanning of a tool's command line: flags, options with values and positional arguments.
#include <string>
#include <string_view>
#include <vector>

namespace ecu::cmdline {

struct Arg {
    enum class Kind {
        End,           // no arguments left
        Option,        // a known option and its value
        Positional,    // an argument that is not an option
        Help,          // --help or -h
        MissingValue,  // a known option last on the line, without its value
        UnknownOption, // an option that is not among the known names, or a flag given a value
        Flag,          // a known option that takes no value
    };
    Kind kind = Kind::End;
    std::string_view name;  // the option as written, without any "=value"
    std::string_view value; // the option's value, or the positional argument
    std::string_view text;  // the whole argument as written (an option's, not its value's)
};

// Walks the arguments in order. A known option takes a value, as `--name value` or
// `--name=value`; a flag takes none (`--flag=value` is refused as unknown). `--` ends the
// options and a lone `-` is positional. What follows help or an error is left to the tool:
// after MissingValue or UnknownOption the scan ends.
class Scanner {
public:
    // `valueOptions` and `flags` name the options with their dashes, e.g. "--format"; they are
    // not copied, so they must outlive the scanner (string literals do). So must the arguments.
    Scanner(int argc, char** argv, std::vector<std::string_view> valueOptions,
            std::vector<std::string_view> flags = {});
    // The arguments without the program's name.
    Scanner(const std::vector<std::string>& args, std::vector<std::string_view> valueOptions,
            std::vector<std::string_view> flags = {});

    Arg Next();

private:
    std::vector<std::string_view> args_;
    std::vector<std::string_view> valueOptions_;
    std::vector<std::string_view> flags_;
    std::size_t next_ = 0;
    bool optionsEnded_ = false;
};

// The message that names an argument a tool refuses; `takes` says what an option's value may be:
//   unknown option:      unknown option --colour
//   missing value:       --variant takes sohc or dohc
//   bad value:           --variant takes sohc or dohc, not "v8"
//   positional:          unexpected argument "b.bin"
std::string Refusal(const Arg& arg, std::string_view takes = {});

} // namespace ecu::cmdline
