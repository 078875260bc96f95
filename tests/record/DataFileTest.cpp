#include "record/DataFile.h"

#include "FileLimits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace ecu {
namespace {

using testing::FileSizeLimit;
using testing::ReadCallsDuring;
using testing::WriteCalls;

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/ecu-datafile-XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const char* name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::vector<std::uint8_t> Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

int OpenFdCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d))
            ++n;
        closedir(d);
    }
    return n;
}

TEST(DataFile, EveryWrittenByteIsOnDiskAtOnce) {
    TempDir dir;
    DataFile f;
    f.Create(dir.File("a.bin"));
    f.WriteByte(0xF4);
    f.WriteByte(0x00);
    EXPECT_EQ(Contents(dir.File("a.bin")), (std::vector<std::uint8_t>{0xF4, 0x00}));
}

TEST(DataFile, CreateEmptiesAnExistingFile) {
    TempDir dir;
    std::ofstream(dir.File("a.bin")) << "old contents";
    DataFile f;
    f.Create(dir.File("a.bin"));
    EXPECT_TRUE(Contents(dir.File("a.bin")).empty());
}

TEST(DataFile, ReadsByteByByteAndFailsAtTheEnd) {
    TempDir dir;
    std::ofstream(dir.File("r.bin"), std::ios::binary) << "xyz";
    DataFile f;
    f.OpenRead(dir.File("r.bin"));
    EXPECT_EQ(f.Size(), 3);
    EXPECT_EQ(f.ReadByte(), 'x');
    f.Seek(2);
    EXPECT_FALSE(f.AtEnd());
    EXPECT_EQ(f.ReadByte(), 'z');
    EXPECT_TRUE(f.AtEnd());
    EXPECT_THROW(f.ReadByte(), DataFileError);
    f.Seek(0);
    EXPECT_EQ(f.Position(), 0);
    EXPECT_EQ(f.ReadByte(), 'x');
}

TEST(DataFile, ReadsABlockInOneCallAndLessOnlyAtTheEnd) {
    TempDir dir;
    std::vector<std::uint8_t> bytes(100);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 3);
    std::ofstream(dir.File("r.bin"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), 100);
    DataFile f;
    f.OpenRead(dir.File("r.bin"));
    std::vector<std::uint8_t> got(64);
    std::size_t n = 0;
    const long reads = ReadCallsDuring([&] { n = f.Read(got.data(), got.size()); });
    ASSERT_GE(reads, 0) << "no read accounting in /proc";
    EXPECT_EQ(reads, 1);
    ASSERT_EQ(n, 64u);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), bytes.begin()));
    EXPECT_EQ(f.Read(got.data(), got.size()), 36u) << "the rest, short at the end";
    EXPECT_TRUE(std::equal(bytes.begin() + 64, bytes.end(), got.begin()));
    EXPECT_EQ(f.Read(got.data(), got.size()), 0u);
    EXPECT_TRUE(f.AtEnd());
    f.Seek(10);
    EXPECT_EQ(f.Read(got.data(), 5), 5u);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 5, bytes.begin() + 10));
    EXPECT_EQ(f.Position(), 15);
    DataFile closed;
    EXPECT_THROW(closed.Read(got.data(), 1), DataFileError);
}

TEST(DataFile, FailedOpenKeepsTheEarlierFileInTheSlot) {
    TempDir dir;
    DataFile f;
    f.Create(dir.File("keep.bin"));
    try {
        f.OpenRead(dir.File("missing.bin"));
        ADD_FAILURE() << "opened a missing file";
    } catch (const DataFileError& e) {
        EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos)
            << e.what();
    }
    EXPECT_THROW(f.Create(dir.File("no/such/dir.bin")), DataFileError);
    ASSERT_TRUE(f.IsOpen());
    EXPECT_EQ(f.Path(), dir.File("keep.bin"));
    f.WriteByte(7);
    EXPECT_EQ(Contents(dir.File("keep.bin")), std::vector<std::uint8_t>{7});
}

TEST(DataFile, TheFileLeavingTheSlotIsClosed) {
    TempDir dir;
    DataFile f;
    f.Create(dir.File("one.bin"));
    const int open = OpenFdCount();
    f.Create(dir.File("two.bin"));
    f.OpenRead(dir.File("one.bin")); // the very file held earlier
    EXPECT_EQ(OpenFdCount(), open);
    f.Close();
    EXPECT_EQ(OpenFdCount(), open - 1);
}

TEST(DataFile, ABlockIsOneWriteAndIsOnDiskWhenTheCallReturns) {
    TempDir dir;
    DataFile f;
    f.Create(dir.File("b.bin"));
    std::vector<std::uint8_t> block(4096);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i * 7);
    const long before = WriteCalls();
    ASSERT_GE(before, 0) << "no write accounting in /proc";
    f.Write(block.data(), block.size());
    EXPECT_EQ(WriteCalls() - before, 1);
    f.Write(block.data(), 0);
    EXPECT_EQ(WriteCalls() - before, 1) << "an empty block writes nothing";
    f.WriteByte(0xF4);
    block.push_back(0xF4);
    EXPECT_EQ(Contents(dir.File("b.bin")), block);
}

TEST(DataFile, AWriteThatDoesNotFitStopsAtTheFirstByteLeft) {
    TempDir dir;
    DataFile f;
    f.Create(dir.File("c.bin"));
    std::vector<std::uint8_t> block(100);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i);
    f.Write(block.data(), 30);
    {
        FileSizeLimit limit(70);
        try {
            f.Write(block.data() + 30, 70); // 40 of them fit
            ADD_FAILURE() << "wrote past the limit";
        } catch (const DataFileWriteError& e) {
            EXPECT_EQ(e.Written(), 40u);
            EXPECT_EQ(std::string(e.what()), dir.File("c.bin") + ": File too large");
        }
        EXPECT_THROW(f.WriteByte(1), DataFileWriteError);
    }
    EXPECT_EQ(Contents(dir.File("c.bin")),
              std::vector<std::uint8_t>(block.begin(), block.begin() + 70));
}

TEST(DataFile, OnlyARegularFileIsPlayedAndNothingBlocks) {
    TempDir dir;
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Should an open block on the pipe, a writer turns up and lets it fail.
    std::atomic<bool> done{false};
    std::thread rescue([&] {
        for (int i = 0; i < 300 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        while (!done) {
            const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (fd >= 0)
                ::close(fd);
        }
    });
    DataFile f;
    f.Create(dir.File("keep.bin"));
    const struct {
        std::string path;
        const char* reason;
    } refused[] = {
        {dir.File(""), "Is a directory"},
        {fifo, "Illegal seek"},
        {"/dev/null", "No such device"},
    };
    for (const auto& r : refused) {
        try {
            f.OpenRead(r.path);
            ADD_FAILURE() << "opened " << r.path;
        } catch (const DataFileError& e) {
            EXPECT_EQ(std::string(e.what()), r.path + ": " + r.reason);
        }
    }
    // A recording into a pipe is refused too, with or without a reader.
    EXPECT_THROW(f.Create(fifo), DataFileError);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    EXPECT_THROW(f.Create(fifo), DataFileError);
    ::close(reader);
    done = true;
    rescue.join();
    EXPECT_EQ(f.Path(), dir.File("keep.bin")) << "refusals leave the slot as it was";
    f.WriteByte(9);
    EXPECT_EQ(Contents(dir.File("keep.bin")), std::vector<std::uint8_t>{9});
}

TEST(DataFile, WriteFailuresCarryTheSystemText) {
    DataFile f;
    EXPECT_THROW(f.WriteByte(1), DataFileError); // empty slot
    f.Create("/dev/full");
    try {
        f.WriteByte(1);
        ADD_FAILURE() << "wrote to /dev/full";
    } catch (const DataFileError& e) {
        EXPECT_NE(std::string(e.what()).find("No space left on device"), std::string::npos)
            << e.what();
    }
}

} // namespace
} // namespace ecu
