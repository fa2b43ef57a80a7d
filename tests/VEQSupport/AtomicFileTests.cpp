#include "VEQSupport/AtomicFile.hpp"
#include "VEQSupport/Error.hpp"

#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using veq::testing::TemporaryFolder;

TEST(AtomicFileTests, ReplacesWholeAndLeavesNoTemporary) {
    const TemporaryFolder dir;
    const auto target = dir / "backup.json";
    veq::writeFileAtomically(target, "first");
    veq::writeFileAtomically(target, "second, longer");
    EXPECT_EQ(veq::testing::readFile(target), "second, longer");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator{}), 1);
}

TEST(AtomicFileTests, FailureThrowsFrenchErrorAndKeepsTheOldFile) {
    const TemporaryFolder dir;
    const auto target = dir / "missing-folder" / "x.json";
    try {
        veq::writeFileAtomically(target, "data");
        FAIL() << "expected an error";
    } catch (const veq::Error& e) {
        EXPECT_NE(std::string(e.what()).find("Écriture impossible"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(target));
}
