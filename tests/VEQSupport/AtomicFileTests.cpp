#include "VEQSupport/AtomicFile.hpp"
#include "VEQSupport/Error.hpp"

#include "TestSupport/EndedProcess.hpp"
#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

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

TEST(AtomicFileTests, OnlyTemporariesOfEndedProcessesForOwnedFilesAreRemoved) {
    const TemporaryFolder dir;
    const std::string dead = std::to_string(veq::testing::endedProcessID());
    const std::string alive = std::to_string(::getpid());
    ASSERT_NE(dead, "-1");
    const struct {
        std::string name;
        bool removed;
    } cases[] = {
        {".drive.veqt.tmp-" + dead + "-0", true},
        {"..range.veqt.tmp-" + dead + "-3.tmp-" + dead + "-4", true}, // a temporary's own temporary
        {".drive.veqt.tmp-" + alive + "-1", false},                    // still being written
        {".7E0-1700000000.json.tmp-" + dead + "-2", false},            // a file this folder does not own
        {"drive.veqt.tmp-" + dead + "-5", false},                      // not a name of ours: no leading dot
        {".drive.veqt.tmp-" + dead, false},
        {".drive.veqt.tmp-x" + dead + "-6", false},
        {".drive.veqt.tmp-0-7", false}, // no process has id 0
        {"drive.veqt", false},
    };
    for (const auto& c : cases) veq::testing::writeFile(dir / c.name, "x");
    fs::create_directory(dir / (".folder.veqt.tmp-" + dead + "-8")); // only files are removed
    veq::removeStaleTemporaryFiles(dir.path(), [](std::string_view target) { return target.ends_with(".veqt"); });
    for (const auto& c : cases) EXPECT_EQ(fs::exists(dir / c.name), !c.removed) << c.name;
    EXPECT_TRUE(fs::exists(dir / (".folder.veqt.tmp-" + dead + "-8")));
    veq::removeStaleTemporaryFiles(dir / "missing", [](std::string_view) { return true; }); // nothing thrown
}
