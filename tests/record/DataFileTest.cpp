#include "record/DataFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace ecu {
namespace {

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
