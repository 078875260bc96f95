#include "common/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ecu::cmdline::Arg;
using Kind = Arg::Kind;

// Scans `args` (program name added) and writes each step as "kind:name:value".
std::vector<std::string> Scan(std::vector<std::string> args) {
    args.insert(args.begin(), "tool");
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    ecu::cmdline::Scanner scanner(static_cast<int>(argv.size()), argv.data(), {"--in", "--out"},
                                  {"--quiet"});
    static const char* const kNames[] = {"end", "opt", "pos", "help", "missing", "unknown", "flag"};
    std::vector<std::string> steps;
    for (int guard = 0; guard < 20; ++guard) {
        const Arg arg = scanner.Next();
        steps.push_back(std::string(kNames[static_cast<int>(arg.kind)]) + ":" +
                        std::string(arg.name) + ":" + std::string(arg.value));
        if (arg.kind == Kind::End)
            break;
    }
    return steps;
}

using Steps = std::vector<std::string>;

TEST(CommandLineScanner, TakesValuesInBothFormsAndSplitsAtTheFirstEquals) {
    EXPECT_EQ(Scan({"--in", "a=b", "--out=x=y", "--in=", "--out", "-h"}),
              (Steps{"opt:--in:a=b", "opt:--out:x=y", "opt:--in:", "opt:--out:-h", "end::"}));
}

TEST(CommandLineScanner, DoubleDashEndsOptionsAndLoneDashIsPositional) {
    EXPECT_EQ(Scan({"-", "--in", "v", "--", "--out", "-h", "--"}),
              (Steps{"pos::-", "opt:--in:v", "pos::--out", "pos::-h", "pos::--", "end::"}));
}

TEST(CommandLineScanner, ReportsHelpInPlaceAndKeepsGoing) {
    EXPECT_EQ(Scan({"f", "--help", "-h"}), (Steps{"pos::f", "help:--help:", "help:-h:", "end::"}));
    // Only the exact spellings ask for help.
    EXPECT_EQ(Scan({"--help=1"}), (Steps{"unknown:--help:", "end::"}));
}

TEST(CommandLineScanner, EndsTheScanAtAMissingValueOrUnknownOption) {
    EXPECT_EQ(Scan({"f", "--out"}), (Steps{"pos::f", "missing:--out:", "end::"}));
    EXPECT_EQ(Scan({"--colour", "red", "f"}), (Steps{"unknown:--colour:", "end::"}));
    EXPECT_EQ(Scan({"-x=1", "f"}), (Steps{"unknown:-x:", "end::"}));
    EXPECT_EQ(Scan({}), (Steps{"end::"}));
}

TEST(CommandLineScanner, FlagsTakeNoValueAndStayArgumentsAfterDoubleDash) {
    EXPECT_EQ(Scan({"--quiet", "--in", "--quiet", "f", "--quiet"}),
              (Steps{"flag:--quiet:", "opt:--in:--quiet", "pos::f", "flag:--quiet:", "end::"}));
    EXPECT_EQ(Scan({"--", "--quiet"}), (Steps{"pos::--quiet", "end::"}));
    // A value given to a flag is refused as the option it is not.
    EXPECT_EQ(Scan({"--quiet=1", "f"}), (Steps{"unknown:--quiet:", "end::"}));
}

TEST(CommandLineScanner, ScansAListOfArgumentsAsItScansArgv) {
    const std::vector<std::string> args{"--fast", "--in=a", "b", "--bogus=2"};
    ecu::cmdline::Scanner scanner(args, {"--in"}, {"--fast"});
    std::vector<std::string> texts;
    for (Arg arg = scanner.Next(); arg.kind != Kind::End; arg = scanner.Next())
        texts.emplace_back(arg.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"--fast", "--in=a", "b", "--bogus=2"}));
}

} // namespace
