// The append-only audit file, its lines, and the in-memory list of entries.
#include "VEQEngine/Coding/AuditLog.hpp"

#include "TestSupport/EndedProcess.hpp"
#include "TestSupport/FileSizeLimit.hpp"
#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <thread>

using namespace veq;
using namespace std::chrono;
using veq::testing::readFile;
using veq::testing::TemporaryFolder;
using veq::testing::writeFile;
using Kind = AuditEntry::Kind;
using Lines = std::vector<std::string>;

namespace {

system_clock::time_point utc(int y, unsigned mo, unsigned d, int h, int mi, int s, int ms = 0) {
    return system_clock::time_point{sys_days{year{y} / mo / d} + hours{h} + minutes{mi} + seconds{s} + milliseconds{ms}};
}

AuditEntry entry(Kind kind, std::string result = "r", std::optional<std::string> recipe = std::nullopt) {
    return {UUID::random(), utc(2025, 3, 1, 14, 5, 9), kind, "7E0", {}, {}, {}, std::move(recipe), std::move(result)};
}

Lines split(const std::string& text, char separator) {
    Lines parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

} // namespace

TEST(AuditLogTests, FreshFileMatchesTheGoldenFile) {
    TemporaryFolder folder;
    const auto file = folder / "OskavelCar" / "nested" / "audit.log"; // the folders are created
    AuditLog log(file);
    EXPECT_EQ(readFile(file), AuditLog::header());
    const auto at = [](int h, int mi, int s) { return utc(2025, 3, 1, h, mi, s); };
    const AuditEntry entries[] = {
        {UUID::random(), utc(2025, 3, 1, 14, 5, 9, 750), Kind::expertAccepted, {}, {}, {}, {}, {},
         "Avertissement du mode Expert lu et accepté par l'utilisateur"},
        {UUID::random(), at(14, 6, 0), Kind::backupCreated, "7E0", {}, {}, {}, {}, "Sauvegarde vérifiée \u2014 8 DID"},
        {UUID::random(), at(14, 7, 30), Kind::writeAttempted, "7E4", {}, {}, {}, "sam-f-coming-home",
         "Tentative d'exécution demandée"},
        {UUID::random(), at(14, 7, 30), Kind::writeRefused, "7E4", {}, {}, {}, "sam-f-coming-home",
         "Refusée par le WriteGuard :\tMode Expert accepté \u2014 Vous devez lire et accepter l'avertissement du mode "
         "Expert."},
        {UUID::random(), at(14, 8, 0), Kind::writeSucceeded, "", "F1A0", "00", "01", "a\tb",
         "Écriture confirmée par relecture"},
        {UUID::random(), at(14, 8, 1), Kind::writeFailed, "7E1", {}, {}, {}, "vgs-adaptation-reset",
         "Réponse négative du calculateur :\nligne 2\r\nfin"},
        {UUID::random(), utc(1969, 12, 31, 23, 59, 59, 500), Kind::restoreAttempted, "7E0", {}, {}, {}, {},
         "Restauration demandée (sauvegarde du 2025-03-01 14:05:09 +0000)"},
        {UUID::random(), utc(2025, 3, 2, 0, 0, 0), Kind::restoreSucceeded, "7E\r0", "", {}, {}, {}, ""},
    };
    for (const auto& e : entries) log.record(e);
    EXPECT_EQ(readFile(file), readFile(std::filesystem::path(VEQ_TEST_DATA_DIR) / "audit-golden.log"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1); // no staging file left
}

TEST(AuditLogTests, LineFieldsNeverBreakTheLine) {
    const auto t = utc(2024, 2, 29, 23, 59, 59, 999);
    const std::pair<AuditEntry, Lines> cases[] = {
        {{UUID{}, t, Kind::writeAttempted, {}, {}, {}, {}, {}, "x"},
         {"2024-02-29T23:59:59Z", "writeAttempted", "-", "-", "-", "-", "-", "x"}},
        {{UUID{}, t, Kind::writeFailed, "7\tE0", "F1\nA0", "0A\r\nFF", "", "re\tcipe", "a\tb\nc\rd"},
         {"2024-02-29T23:59:59Z", "writeFailed", "7 E0", "F1 A0", "0A  FF", "", "re cipe", "a b c d"}},
    };
    for (const auto& [e, fields] : cases) {
        const std::string line = e.logLine();
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
        EXPECT_EQ(split(line, '\t'), fields);
    }
}

TEST(AuditLogTests, ExistingFileKeepsItsBytesAndAMissingOneIsNeverCreatedByAnAppend) {
    for (const std::string original : {"", "a last line without its end"}) {
        TemporaryFolder folder;
        writeFile(folder / "audit.log", original);
        AuditLog log(folder / "audit.log");
        const auto e = entry(Kind::writeAttempted, "Tentative d'exécution demandée", "id-1");
        log.record(e);
        EXPECT_EQ(readFile(folder / "audit.log"), original + e.logLine() + "\n");
    }
    TemporaryFolder folder;
    const auto file = folder / "audit.log";
    AuditLog log(file);
    std::filesystem::remove(file);
    log.record(entry(Kind::expertAccepted));
    log.record(entry(Kind::backupCreated));
    EXPECT_FALSE(std::filesystem::exists(file));
    ASSERT_EQ(log.recent().size(), 2u); // newest first, kept in memory
    EXPECT_EQ(log.recent().front().kind, Kind::backupCreated);
    AuditLog next(file); // the next log made there starts a fresh file
    EXPECT_EQ(readFile(file), AuditLog::header());
    EXPECT_TRUE(next.recent().empty());

    // A folder where the file should be: nothing thrown, the entry kept in memory.
    std::filesystem::create_directory(folder / "dir.log");
    AuditLog onFolder(folder / "dir.log");
    onFolder.record(entry(Kind::expertAccepted));
    EXPECT_EQ(onFolder.recent().size(), 1u);
}

// Two logs on one file stand for two processes: no record overwrites another or is split.
TEST(AuditLogTests, ConcurrentWritersNeverOverwriteEachOther) {
    TemporaryFolder folder;
    AuditLog first(folder / "audit.log");
    AuditLog second(folder / "audit.log");
    constexpr int threads = 4, records = 100;
    {
        std::vector<std::jthread> writers;
        for (int t = 0; t < threads; ++t) {
            writers.emplace_back([&, t] {
                for (int i = 0; i < records; ++i)
                    (t % 2 ? second : first).record(entry(Kind::writeSucceeded, std::string(200, 'a' + t), std::to_string(t * 1000 + i)));
            });
        }
    }
    const Lines lines = split(readFile(folder / "audit.log"), '\n');
    ASSERT_EQ(lines.size(), 2u + threads * records);
    std::set<std::string> recipes;
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const Lines fields = split(lines[i], '\t');
        ASSERT_EQ(fields.size(), 8u) << lines[i];
        EXPECT_EQ(fields[7], std::string(200, 'a' + std::stoi(fields[6]) / 1000));
        recipes.insert(fields[6]);
    }
    EXPECT_EQ(recipes.size(), static_cast<std::size_t>(threads * records));
}

// A disk that fills up in the middle of a line: the file is never cut back, the fragment stays,
// and the next record starts a line of its own.
TEST(AuditLogTests, AShortWriteLosesOnlyItsFragment) {
    TemporaryFolder folder;
    const auto file = folder / "audit.log";
    AuditLog log(file);
    const AuditEntry first = entry(Kind::writeAttempted, "a"), cut = entry(Kind::writeRefused, std::string(300, 'b')),
                     lost = entry(Kind::writeFailed, "c"), next = entry(Kind::writeSucceeded, "d"),
                     last = entry(Kind::restoreAttempted, "e");
    log.record(first);
    const std::string before = readFile(file);
    {
        veq::testing::FileSizeLimit full(before.size() + 40);
        ASSERT_TRUE(full.active());
        log.record(cut);
        log.record(lost); // nothing more fits
    }
    log.record(next);
    log.record(last);
    EXPECT_EQ(readFile(file), before + cut.logLine().substr(0, 40) + "\n" + next.logLine() + "\n" + last.logLine() + "\n");
    EXPECT_EQ(log.recent().size(), 5u);
}

TEST(AuditLogTests, OpeningRemovesOnlyTheHeadersThatCrashedWritersLeft) {
    TemporaryFolder folder;
    const std::string dead = std::to_string(veq::testing::endedProcessID());
    const std::string alive = std::to_string(::getpid());
    const std::pair<std::string, bool> files[] = {
        {".audit.log.tmp-" + dead + "-0", false},
        {"..audit.log.tmp-" + dead + "-1.tmp-" + dead + "-2", false},
        {".audit.log.tmp-" + alive + "-3", true},
        {".other.log.tmp-" + dead + "-4", true}, // another file's
    };
    for (const auto& [name, kept] : files) writeFile(folder / name, "# Journal");
    AuditLog log(folder / "audit.log");
    for (const auto& [name, kept] : files) EXPECT_EQ(std::filesystem::exists(folder / name), kept) << name;
    EXPECT_EQ(readFile(folder / "audit.log"), AuditLog::header());
}
