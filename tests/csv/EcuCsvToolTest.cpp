// ecu-csv end to end: the real binary on recordings written here. The binary's path is the
// first argument after GoogleTest's own.
#include "link/Decode.h"
#include "ui/CsvRow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string g_tool;

using ecu::ByteString;

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class EcuCsv : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(g_tool.empty()) << "pass the path of ecu-csv after the test options";
        char tmpl[] = "/tmp/ecu-csv-test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Write(const std::string& name, const ByteString& bytes) {
        std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // Runs ecu-csv with args; stdin from a pipe fed with `input`; stdout to `outPath` when
    // given (otherwise captured).
    Result Run(const std::vector<std::string>& args, const ByteString& input = {},
               const std::string& outPath = "") {
        const std::string out = outPath.empty() ? dir_ + "/stdout" : outPath;
        const std::string err = dir_ + "/stderr";
        int feed[2];
        EXPECT_EQ(pipe(feed), 0);
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(feed[0], STDIN_FILENO);
            close(feed[0]);
            close(feed[1]);
            const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(o, STDOUT_FILENO);
            dup2(e, STDERR_FILENO);
            std::vector<char*> argv{g_tool.data()};
            std::vector<std::string> copy = args;
            for (auto& a : copy) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            execv(g_tool.c_str(), argv.data());
            _exit(127);
        }
        close(feed[0]);
        // Small inputs fit the pipe; a child that stops reading early gets EPIPE, not us.
        signal(SIGPIPE, SIG_IGN);
        EXPECT_EQ(write(feed[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
        close(feed[1]);
        int status = 0;
        waitpid(pid, &status, 0);
        Result r;
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.out = outPath.empty() ? ReadFile(out) : "";
        r.err = ReadFile(err);
        return r;
    }

    std::string dir_;
};

// One exchange as recorded: echo, answer header, then data bytes all `fill`.
ByteString Record(std::size_t size, std::uint8_t fill, std::uint8_t mode = 0x01) {
    ByteString r = {0xF4, 0x56, mode, 0xB5, 0xF4, 0x95, 0x01};
    r.resize(size, fill);
    return r;
}

ByteString Concat(std::initializer_list<ByteString> parts) {
    ByteString all;
    for (const auto& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

// What ecu-csv must print: the records decoded in order into one EngineData.
std::string ExpectedCsv(const std::vector<ByteString>& records, ecu::EngineVariant variant,
                        ecu::CsvFormat format) {
    std::string csv = ecu::CsvHeader();
    ecu::EngineData data;
    for (std::size_t k = 0; k < records.size(); ++k) {
        ByteString rx = records[k];
        const bool decoded = ecu::DecodeFrame(rx, data, variant);
        csv += ecu::CsvRow(k, decoded, data, format);
    }
    return csv;
}

std::size_t Lines(const std::string& s) {
    return static_cast<std::size_t>(std::count(s.begin(), s.end(), '\n'));
}

TEST_F(EcuCsv, ExportsEveryCompleteRecordAndNotesThePartialOne) {
    const auto r0 = Record(68, 0x20);
    const auto r1 = Record(68, 0x90, 0x02); // not a data answer: repeats the values before
    const auto r2 = Record(68, 0xFF);
    const std::string file = Write("s.bin", Concat({r0, r1, r2, ByteString(10, 0xF4)}));

    const Result r = Run({"--variant", "sohc", file});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ExpectedCsv({r0, r1, r2}, ecu::EngineVariant::Sohc, ecu::CsvFormat::Exact));
    EXPECT_EQ(r.err, "ecu-csv: trailing partial record of 10 bytes not decoded\n");

    // Row 1: undecoded, same values as row 0.
    std::istringstream lines(r.out);
    std::string header, row0, row1;
    std::getline(lines, header);
    std::getline(lines, row0);
    std::getline(lines, row1);
    EXPECT_EQ(row0.substr(0, 4), "0,1,");
    EXPECT_EQ(row1.substr(0, 4), "1,0,");
    EXPECT_EQ(row0.substr(4), row1.substr(4));
}

TEST_F(EcuCsv, DisplayFormatAndDohcRecords) {
    auto r0 = Record(72, 0x01);
    const auto r1 = Record(72, 0x37);
    const std::string file = Write("d.bin", Concat({r0, r1}));
    const Result r = Run({"--format=display", "--variant=dohc", file});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ExpectedCsv({r0, r1}, ecu::EngineVariant::Dohc, ecu::CsvFormat::Display));
    // Coolant byte 1 is -39.25 °C, shown as on the page.
    EXPECT_NE(r.out.find("\n0,1,257,-39.3,1,-39.3,1, 0,1,"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST_F(EcuCsv, AutoPicksTheSizeUnderWhichMoreRecordsStartWithTheRequest) {
    std::vector<ByteString> dohc(5, Record(72, 0x40));
    const std::string dohcFile =
        Write("d.bin", Concat({dohc[0], dohc[1], dohc[2], dohc[3], dohc[4]}));
    Result r = Run({dohcFile});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ExpectedCsv(dohc, ecu::EngineVariant::Dohc, ecu::CsvFormat::Exact));
    EXPECT_NE(r.err.find("variant DOHC (72-byte records)"), std::string::npos) << r.err;

    std::vector<ByteString> sohc(6, Record(68, 0x40));
    const std::string sohcFile =
        Write("s.bin", Concat({sohc[0], sohc[1], sohc[2], sohc[3], sohc[4], sohc[5]}));
    r = Run({"--variant", "auto", sohcFile});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ExpectedCsv(sohc, ecu::EngineVariant::Sohc, ecu::CsvFormat::Exact));
    EXPECT_NE(r.err.find("variant SOHC (68-byte records)"), std::string::npos) << r.err;

    // A tie (here: no record starts with the request under either size) picks SOHC.
    const std::string noise = Write("n.bin", ByteString(std::size_t{68} * 72, 0x00));
    r = Run({noise});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(Lines(r.out), 1U + 72U);
    EXPECT_NE(r.err.find("variant SOHC"), std::string::npos) << r.err;
}

TEST_F(EcuCsv, ReadsAPipeOnStandardInput) {
    std::vector<ByteString> dohc(3, Record(72, 0x66));
    const ByteString bytes = Concat({dohc[0], dohc[1], dohc[2]});
    const Result r = Run({"-"}, bytes);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ExpectedCsv(dohc, ecu::EngineVariant::Dohc, ecu::CsvFormat::Exact));
}

TEST_F(EcuCsv, EmptyFileGivesTheHeaderOnly) {
    const Result r = Run({"--variant", "sohc", Write("e.bin", {})});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ecu::CsvHeader());
    EXPECT_EQ(r.err, "");
}

TEST_F(EcuCsv, UnreadableInputIsOneLineWithTheNameAndTheSystemText) {
    const std::string missing = dir_ + "/missing.bin";
    Result r = Run({missing});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "ecu-csv: " + missing + ": " + std::strerror(ENOENT) + "\n");

    r = Run({"--variant", "dohc", dir_});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "ecu-csv: " + dir_ + ": " + std::strerror(EISDIR) + "\n");
}

TEST_F(EcuCsv, FailedOutputIsAnError) {
    const std::string file = Write("s.bin", Record(68, 0x20));
    const Result r = Run({"--variant", "sohc", file}, {}, "/dev/full");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, std::string("ecu-csv: standard output: ") + std::strerror(ENOSPC) + "\n");
}

TEST_F(EcuCsv, BadUsagePrintsTheUsage) {
    const std::string file = Write("s.bin", Record(68, 0x20));
    for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                                 {"--variant", "v8", file},
                                                 {"--format", "json", file},
                                                 {"--colour", "red", file},
                                                 {file, file},
                                                 {file, "--variant"},
                                                 {"--variant", "sohc"}}) {
        const Result r = Run(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("usage: ecu-csv [--variant sohc|dohc|auto]", 0), 0U) << r.err;
    }
    const Result help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: ecu-csv", 0), 0U);
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no binary; running them does (checked in SetUp).
    if (argc >= 2) {
        g_tool = argv[1];
    }
    return RUN_ALL_TESTS();
}
