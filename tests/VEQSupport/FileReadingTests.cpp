#include "VEQSupport/Error.hpp"
#include "VEQSupport/FileReading.hpp"

#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

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
