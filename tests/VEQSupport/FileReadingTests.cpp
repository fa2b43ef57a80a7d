#include "VEQSupport/Error.hpp"
#include "VEQSupport/FileReading.hpp"

#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <array>
#include <string>

using namespace veq;

TEST(FileReadingTests, ReadsUpToTheBoundAndRefusesMore) {
    const veq::testing::TemporaryFolder folder;
    veq::testing::writeFile(folder / "f.bin", std::string("a\0b\xFF", 4));
    EXPECT_EQ(readWholeFile(folder / "f.bin", 4), std::string("a\0b\xFF", 4));
    EXPECT_EQ(readWholeFileIfReadable(folder / "f.bin", 4), std::string("a\0b\xFF", 4));
    EXPECT_EQ(readWholeFileIfReadable(folder / "f.bin", 3), std::nullopt);
}

// A folder, a pipe (whose read would block) and a missing file are refused with a French text.
TEST(FileReadingTests, RefusesWhatIsNotARegularFile) {
    const veq::testing::TemporaryFolder folder;
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    for (const char* name : {"", "pipe", "absent"}) {
        try {
            readWholeFile(folder / name, 1024);
            ADD_FAILURE() << name;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Lecture impossible de « " + (folder / name).string() + " » : ", 0), 0u)
                << e.what();
        }
        EXPECT_EQ(readWholeFileIfReadable(folder / name, 1024), std::nullopt) << name;
    }
}

// Read in pieces: each piece filled until the end, and the file refused as a whole read refuses it.
TEST(FileReadingTests, PiecesFillUntilTheEnd) {
    const veq::testing::TemporaryFolder folder;
    veq::testing::writeFile(folder / "f.bin", "abcdefg");
    FileReader file(folder / "f.bin", 7);
    EXPECT_EQ(file.size(), 7u);
    std::array<char, 3> piece{};
    std::string got;
    for (std::size_t n = 0; (n = file.read(piece)) > 0;) got.append(piece.data(), n);
    EXPECT_EQ(got, "abcdefg");
    EXPECT_THROW(FileReader(folder / "f.bin", 6), Error);
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    EXPECT_THROW(FileReader(folder / "pipe", 1024), Error);
}
