// The append-only audit file, its lines, and the in-memory list of entries.
#include "VEQEngine/AuditLog.hpp"

#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>
#include <sstream>
#include <thread>

using namespace veq;
using namespace std::chrono;
using namespace std::string_literals;
using veq::testing::readFile;
using veq::testing::TemporaryFolder;
using veq::testing::writeFile;
using Kind = AuditEntry::Kind;

namespace {

system_clock::time_point utc(int y, unsigned mo, unsigned d, int h, int mi, int s, int ms = 0) {
    return system_clock::time_point{sys_days{year{y} / mo / d} + hours{h} + minutes{mi} + seconds{s} +
                                    milliseconds{ms}};
}

AuditEntry entry(Kind kind, std::optional<std::string> ecu = std::nullopt, std::string result = "r",
                 std::optional<std::string> recipe = std::nullopt) {
    return {UUID::random(), utc(2025, 3, 1, 14, 5, 9), kind, std::move(ecu), std::nullopt, std::nullopt,
            std::nullopt, std::move(recipe), std::move(result)};
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

} // namespace

TEST(AuditLogTests, FreshFileMatchesTheGoldenFile) {
    TemporaryFolder folder;
    // The folder of the file does not exist yet: the log creates it with its parents.
    const auto file = folder / "OskavelCar" / "nested" / "audit.log";
    AuditLog log(file);
    EXPECT_EQ(log.logFileURL(), file);
    EXPECT_EQ(readFile(file), AuditLog::header());
    EXPECT_EQ(AuditLog::header().size(), 103u);

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
    // The header was staged under another name: nothing of it is left beside the log.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1);
}

TEST(AuditLogTests, ExistingFileKeepsItsBytesAndGetsNoHeader) {
    const std::string before[] = {""s, "previous line\n"s, "a last line without its end"s, "not an audit file\0\xff"s};
    for (const auto& original : before) {
        TemporaryFolder folder;
        const auto file = folder / "audit.log";
        writeFile(file, original);
        AuditLog log(file);
        EXPECT_EQ(readFile(file), original);
        const auto e = entry(Kind::writeAttempted, "7E0", "Tentative d'exécution demandée", "id-1");
        log.record(e);
        EXPECT_EQ(readFile(file), original + e.logLine() + "\n") << original;
    }
}

TEST(AuditLogTests, RecordNeverCreatesTheFile) {
    TemporaryFolder folder;
    const auto file = folder / "audit.log";
    AuditLog log(file);
    log.record(entry(Kind::expertAccepted));
    std::filesystem::remove(file);
    log.record(entry(Kind::backupCreated, "7E0"));
    EXPECT_FALSE(std::filesystem::exists(file));
    ASSERT_EQ(log.recent().size(), 2u);
    EXPECT_EQ(log.recent().front().kind, Kind::backupCreated);

    // The next log made there starts a fresh file with its header.
    AuditLog next(file);
    EXPECT_EQ(readFile(file), AuditLog::header());
    EXPECT_TRUE(next.recent().empty());
}

TEST(AuditLogTests, FailuresStaySilent) {
    TemporaryFolder folder;
    // A folder cannot be created under a regular file: no header, no crash, entries in memory.
    writeFile(folder / "blocker", "x");
    AuditLog log(folder / "blocker" / "audit.log");
    log.record(entry(Kind::expertAccepted));
    EXPECT_EQ(log.recent().size(), 1u);
    EXPECT_EQ(readFile(folder / "blocker"), "x");

    // A folder where the file should be: opening for writing fails, nothing is thrown.
    std::filesystem::create_directory(folder / "dir.log");
    AuditLog onFolder(folder / "dir.log");
    onFolder.record(entry(Kind::expertAccepted));
    EXPECT_EQ(onFolder.recent().size(), 1u);
}

TEST(AuditLogTests, TextThatIsNotUTF8StaysInMemoryOnly) {
    TemporaryFolder folder;
    AuditLog log(folder / "audit.log");
    log.record(entry(Kind::writeFailed, "7E0", "r\xC3"));
    log.record(entry(Kind::writeFailed, "7E0", "ok"));
    EXPECT_EQ(log.recent().size(), 2u);
    const auto lines = splitLines(readFile(folder / "audit.log"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(splitFields(lines[2]).back(), "ok");
}

TEST(AuditLogTests, RecentIsNewestFirstAndStartsEmpty) {
    TemporaryFolder folder;
    const auto file = folder / "audit.log";
    {
        AuditLog earlier(file);
        earlier.record(entry(Kind::expertAccepted));
    }
    AuditLog log(file);
    EXPECT_TRUE(log.recent().empty());
    std::vector<AuditEntry> recorded;
    for (Kind k : {Kind::writeAttempted, Kind::writeRefused, Kind::restoreAttempted}) {
        recorded.push_back(entry(k));
        log.record(recorded.back());
    }
    EXPECT_EQ(log.recent(), std::vector<AuditEntry>(recorded.rbegin(), recorded.rend()));
    EXPECT_EQ(splitLines(readFile(file)).size(), 2u + 1u + 3u);
}

TEST(AuditLogTests, LineFields) {
    struct Case {
        const char* name;
        AuditEntry entry;
        std::vector<std::string> fields;
    };
    const auto t = utc(2024, 2, 29, 23, 59, 59, 999);
    const Case cases[] = {
        {"every optional absent", {UUID{}, t, Kind::writeAttempted, {}, {}, {}, {}, {}, "x"},
         {"2024-02-29T23:59:59Z", "writeAttempted", "-", "-", "-", "-", "-", "x"}},
        {"empty texts are empty fields", {UUID{}, t, Kind::writeSucceeded, "", "", "", "", "", ""},
         {"2024-02-29T23:59:59Z", "writeSucceeded", "", "", "", "", "", ""}},
        {"a dash is written as is", {UUID{}, t, Kind::backupCreated, "-", {}, {}, {}, {}, "-"},
         {"2024-02-29T23:59:59Z", "backupCreated", "-", "-", "-", "-", "-", "-"}},
        {"TAB, CR and LF in every field become blanks",
         {UUID{}, t, Kind::writeFailed, "7\tE0", "F1\nA0", "0A\r\nFF", "\t", "re\tcipe", "a\tb\nc\rd"},
         {"2024-02-29T23:59:59Z", "writeFailed", "7 E0", "F1 A0", "0A  FF", " ", "re cipe", "a b c d"}},
        {"other characters pass unchanged", {UUID{}, t, Kind::expertAccepted, "é\u2014\x01", {}, {}, {}, {}, "\"«»\""},
         {"2024-02-29T23:59:59Z", "expertAccepted", "é\u2014\x01", "-", "-", "-", "-", "\"«»\""}},
    };
    for (const auto& c : cases) {
        const auto line = c.entry.logLine();
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << c.name;
        EXPECT_EQ(splitFields(line), c.fields) << c.name;
    }
}

TEST(AuditLogTests, KindFromTextIsExact) {
    for (Kind k : allCases<Kind>()) EXPECT_EQ(fromRaw<Kind>(rawValue(k)), k);
    EXPECT_EQ(allCases<Kind>().size(), 8u);
    EXPECT_EQ(fromRaw<Kind>("writeSucceeded"), Kind::writeSucceeded);
    for (const char* text : {"WriteSucceeded", "writesucceeded", " writeSucceeded", "", "restoreFailed"})
        EXPECT_EQ(fromRaw<Kind>(text), std::nullopt) << text;
}

TEST(AuditLogTests, EntryCodingUsesTheFieldNames) {
    const AuditEntry full{UUID::random(), utc(2025, 3, 1, 14, 5, 9, 250), Kind::writeSucceeded, "7E0", "F1A0",
                          "00", "01", "id", "Écriture confirmée par relecture"};
    const nlohmann::json j = full;
    std::set<std::string> keys;
    for (const auto& item : j.items()) keys.insert(item.key());
    EXPECT_EQ(keys, (std::set<std::string>{"id", "timestamp", "kind", "ecu", "did", "valueBefore", "valueAfter",
                                           "recipe", "result"}));
    EXPECT_EQ(j.at("kind"), "writeSucceeded");
    EXPECT_EQ(j.get<AuditEntry>(), full);

    const AuditEntry sparse{UUID::random(), utc(2025, 3, 1, 14, 5, 9), Kind::expertAccepted, {}, {}, {}, {}, {}, ""};
    const nlohmann::json s = sparse;
    EXPECT_EQ(s.size(), 4u); // absent texts are left out
    EXPECT_EQ(s.get<AuditEntry>(), sparse);

    auto badKind = s;
    badKind["kind"] = "ExpertAccepted";
    EXPECT_THROW(badKind.get<AuditEntry>(), nlohmann::json::exception);
}

// Two logs on one file stand for two running processes: with appends placed by the kernel no
// record overwrites another, and every record stays one whole line.
TEST(AuditLogTests, ConcurrentWritersNeverOverwriteEachOther) {
    TemporaryFolder folder;
    const auto file = folder / "audit.log";
    AuditLog first(file);
    AuditLog second(file);
    constexpr int kThreads = 4;
    constexpr int kRecords = 100;
    {
        std::vector<std::jthread> writers;
        for (int t = 0; t < kThreads; ++t) {
            writers.emplace_back([&, t] {
                AuditLog& log = t % 2 == 0 ? first : second;
                for (int i = 0; i < kRecords; ++i)
                    log.record(entry(Kind::writeSucceeded, "7E0", std::string(200, 'a' + t), std::to_string(t * 1000 + i)));
            });
        }
    }
    const auto lines = splitLines(readFile(file));
    ASSERT_EQ(lines.size(), 2u + kThreads * kRecords);
    std::set<std::string> recipes;
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const auto fields = splitFields(lines[i]);
        ASSERT_EQ(fields.size(), 8u) << lines[i];
        const int writer = std::stoi(fields[6]) / 1000;
        EXPECT_EQ(fields[7], std::string(200, 'a' + writer));
        recipes.insert(fields[6]);
    }
    EXPECT_EQ(recipes.size(), static_cast<std::size_t>(kThreads * kRecords));
    EXPECT_EQ(first.recent().size() + second.recent().size(), static_cast<std::size_t>(kThreads * kRecords));
}
