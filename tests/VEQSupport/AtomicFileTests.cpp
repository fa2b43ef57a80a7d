#include "VEQSupport/AtomicFile.hpp"
#include "VEQSupport/Error.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

fs::path freshFolder() {
    auto dir = fs::temp_directory_path() / ("veq-atomic-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

} // namespace

TEST(AtomicFileTests, ReplacesWholeAndLeavesNoTemporary) {
    const auto dir = freshFolder();
    const auto target = dir / "backup.json";
    veq::writeFileAtomically(target, "first");
    veq::writeFileAtomically(target, "second, longer");
    EXPECT_EQ(slurp(target), "second, longer");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
    fs::remove_all(dir);
}

TEST(AtomicFileTests, FailureThrowsFrenchErrorAndKeepsTheOldFile) {
    const auto dir = freshFolder();
    const auto target = dir / "missing-folder" / "x.json";
    try {
        veq::writeFileAtomically(target, "data");
        FAIL() << "expected an error";
    } catch (const veq::Error& e) {
        EXPECT_NE(std::string(e.what()).find("Écriture impossible"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(target));
    fs::remove_all(dir);
}
