#include "VEQStore/SessionCatalog.hpp"

#include "TestSupport/ExternalTool.hpp"
#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <filesystem>
#include <random>
#include <tuple>

#include <sys/wait.h>
#include <unistd.h>

namespace veq {
namespace {

using namespace std::chrono;
namespace fs = std::filesystem;
using Date = SessionRecord::Date;

const Date day1 = sys_days{year{2024} / 6 / 1} + hours{8} + nanoseconds{123'456'789};

std::string sqlite3(const fs::path& store, const std::string& commands) {
    const auto result = testing::runTool("sqlite3 " + testing::shellQuoted(store.string()) + " " +
                                         testing::shellQuoted(commands) + " 2>&1");
    EXPECT_EQ(result.exitStatus, 0) << result.output;
    return result.output;
}

// Every field of a record, the store's identity included, for one comparison.
auto fields(const SessionRecord& r) {
    return std::tuple(r.identifier.uuidString(), r.startDate.time_since_epoch().count(),
                      r.endDate ? r.endDate->time_since_epoch().count() : -1, r.vin, r.profileID, r.profileName,
                      r.fileName, r.sampleCount, r.channelCount, r.distanceKm, r.maxSpeedKmh, r.fuelLiters, r.dtcCount,
                      r.zeroToHundredSec, r.note, r.storeID);
}

TEST(SessionCatalog, StoreFileShowsTheRecordFields) {
    testing::TemporaryFolder folder;
    {
        SessionCatalog catalog(folder.path());
        EXPECT_TRUE(catalog.isPersistent());
        catalog.createSession("a.veqt", "VF1AAAAAA00000001", "generic", "G\u00E9n\u00E9rique");
    }
    const auto store = folder / "sessions.store";
    const std::string schema = sqlite3(store, ".schema");
    for (const char* field : {"identifier", "startDate", "endDate", "vin", "profileID", "profileName", "fileName",
                              "sampleCount", "channelCount", "distanceKm", "maxSpeedKmh", "fuelLiters", "dtcCount",
                              "zeroToHundredSec", "note"}) {
        EXPECT_NE(schema.find(std::string(field) + " "), std::string::npos) << field << " missing from\n" << schema;
    }
    EXPECT_EQ(sqlite3(store, "PRAGMA user_version; PRAGMA journal_mode;"), "1\nwal\n");
    EXPECT_EQ(sqlite3(store, "SELECT fileName, vin, profileName FROM SessionRecord;"),
              "a.veqt|VF1AAAAAA00000001|G\u00E9n\u00E9rique\n");
}

TEST(SessionCatalog, RecordsSurviveReopeningFieldForField) {
    testing::TemporaryFolder folder;
    std::vector<SessionRecord> created;
    {
        SessionCatalog catalog(folder.path());
        created.push_back(catalog.createSession("one.veqt", {}, {}, {}, day1));
        created.push_back(catalog.createSession("two.veqt", "VIN2", "p2", "Profil 2", day1 + hours{1}));
        catalog.update(created[1], {.endDate = day1 + hours{2} + nanoseconds{1},
                                    .sampleCount = 14'400,
                                    .channelCount = 70,
                                    .distanceKm = 81.25,
                                    .maxSpeedKmh = 131.5,
                                    .fuelLiters = 5.5,
                                    .dtcCount = 3,
                                    .zeroToHundredSec = 9.75});
    }
    SessionCatalog reopened(folder.path());
    const auto listed = reopened.allSessions();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(fields(listed[0]), fields(created[1]));
    EXPECT_EQ(fields(listed[1]), fields(created[0]));
    EXPECT_NE(created[0].storeID, 0);
}

TEST(SessionCatalog, ListsNewestFirstAndEqualStartsInCreationOrder) {
    testing::TemporaryFolder folder;
    const std::pair<const char*, Date> drives[] = {
        {"a", day1}, {"b", day1 + minutes{5}}, {"c", day1 + hours{1}}, {"d", day1 + minutes{5}}, {"e", day1 + minutes{5}},
        {"f", day1 - hours{24}},
    };
    const std::vector<std::string> expected{"c", "b", "d", "e", "a", "f"};
    const auto names = [](const std::vector<SessionRecord>& records) {
        std::vector<std::string> out;
        for (const auto& r : records) out.push_back(r.fileName);
        return out;
    };
    {
        SessionCatalog catalog(folder.path());
        for (const auto& [name, start] : drives) catalog.createSession(name, {}, {}, {}, start);
        EXPECT_EQ(names(catalog.allSessions()), expected);
    }
    EXPECT_EQ(names(SessionCatalog(folder.path()).allSessions()), expected);
}

TEST(SessionCatalog, CreatedDriveStartsNowUnlessGivenItsStart) {
    testing::TemporaryFolder folder;
    SessionCatalog catalog(folder.path());
    const Date before = system_clock::now();
    const auto now = catalog.createSession("now.veqt", {}, {}, {});
    const Date after = system_clock::now();
    EXPECT_GE(now.startDate, before);
    EXPECT_LE(now.startDate, after);
    EXPECT_FALSE(now.endDate.has_value());

    // A saved range is catalogued after its end: its own start keeps the end after the start.
    auto range = catalog.createSession("range.veqt", {}, {}, {}, day1);
    catalog.update(range, {.endDate = day1 + seconds{90}, .sampleCount = 1800, .channelCount = 4});
    EXPECT_EQ(range.startDate, day1);
    EXPECT_DOUBLE_EQ(range.duration(), 90.0);
    EXPECT_EQ(catalog.allSessions().back().startDate, day1);
}

TEST(SessionCatalog, UpdateSetsOnlyThePresentFigures) {
    testing::TemporaryFolder folder;
    SessionRecord record;
    {
        SessionCatalog catalog(folder.path());
        record = catalog.createSession("d.veqt", "VIN", std::nullopt, std::nullopt, day1);
        catalog.update(record, {.sampleCount = 10, .distanceKm = 1.5, .zeroToHundredSec = 8.5});
        catalog.update(record, {.sampleCount = 20, .maxSpeedKmh = 90});
        catalog.update(record, {});
        // SQLite keeps a NaN as NULL; the other figures of the same update must still land.
        catalog.update(record, {.channelCount = 6, .fuelLiters = std::nan("")});
    }
    const auto stored = SessionCatalog(folder.path()).allSessions().at(0);
    EXPECT_EQ(stored.sampleCount, 20);
    EXPECT_EQ(stored.channelCount, 6);
    EXPECT_EQ(stored.distanceKm, 1.5);
    EXPECT_EQ(stored.maxSpeedKmh, 90);
    EXPECT_TRUE(std::isnan(stored.fuelLiters));
    EXPECT_EQ(stored.zeroToHundredSec, 8.5); // absent later, never cleared
    EXPECT_FALSE(stored.endDate.has_value());
    EXPECT_EQ(stored.vin, "VIN");
    EXPECT_EQ(record.sampleCount, 20);
    EXPECT_EQ(record.channelCount, 6);
}

TEST(SessionCatalog, DeleteRemovesTheDriveFileAndTheRecord) {
    testing::TemporaryFolder folder;
    SessionCatalog catalog(folder.path());
    testing::writeFile(folder / "drive.veqt", "VEQT");
    const auto present = catalog.createSession("drive.veqt", {}, {}, {}, day1);
    const auto gone = catalog.createSession("gone.veqt", {}, {}, {}, day1);
    catalog.remove(present);
    catalog.remove(gone);
    EXPECT_FALSE(fs::exists(folder / "drive.veqt"));
    EXPECT_TRUE(catalog.allSessions().empty());
}

// A stored name that is not one plain file name never reaches a file: not outside the folder,
// not the folder itself, not a sub-folder. The record goes all the same.
TEST(SessionCatalog, StoredNamesNeverReachOutsideTheFolder) {
    testing::TemporaryFolder root;
    const auto sessions = root / "Sessions";
    const auto outside = root / "outside.veqt";
    {
        TelemetryFile::Writer writer(outside, {{0x0C, "R\u00E9gime"}}, day1);
        const std::optional<float> value = 800.0f;
        writer.append(0, std::span(&value, 1));
    }
    SessionCatalog catalog(sessions);
    fs::create_directories(sessions / "sub");
    testing::writeFile(sessions / "sub" / "inner.veqt", "x");

    const std::string names[] = {"../outside.veqt", outside.string(), "", ".", "..", "sub/inner.veqt", "sub",
                                 std::string("drive\0.veqt", 11)};
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        const auto record = catalog.createSession(name, {}, {}, {}, day1);
        EXPECT_FALSE(catalog.contents(record).has_value());
        catalog.remove(record);
        EXPECT_TRUE(fs::exists(outside));
        EXPECT_TRUE(fs::is_directory(sessions));
        EXPECT_TRUE(fs::exists(sessions / "sub" / "inner.veqt"));
        EXPECT_TRUE(catalog.allSessions().empty());
    }
    ASSERT_TRUE(fs::exists(outside));
    fs::copy_file(outside, sessions / "inside.veqt");
    const auto inside = catalog.createSession("inside.veqt", {}, {}, {}, day1);
    const auto contents = catalog.contents(inside);
    ASSERT_TRUE(contents.has_value());
    EXPECT_EQ(contents->channels.at(0).name, "R\u00E9gime");
    EXPECT_EQ(contents->records.size(), 1u);
}

TEST(SessionCatalog, ContentsOfAMissingOrInvalidFileIsNothing) {
    testing::TemporaryFolder folder;
    SessionCatalog catalog(folder.path());
    testing::writeFile(folder / "bad.veqt", "NOPE and more");
    EXPECT_FALSE(catalog.contents(catalog.createSession("missing.veqt", {}, {}, {})).has_value());
    EXPECT_FALSE(catalog.contents(catalog.createSession("bad.veqt", {}, {}, {})).has_value());
}

struct DamagedStore {
    const char* what;
    std::function<void(const fs::path&)> make;
};

// A store file we cannot use is left byte for byte as it was, one line on standard error says
// so, and the drives of this run are kept in memory.
TEST(SessionCatalog, UnusableStoreFallsBackToMemoryAndIsLeftAlone) {
    const DamagedStore cases[] = {
        {"text file", [](const fs::path& p) { testing::writeFile(p, "ceci n'est pas une base de donn\u00E9es\n"); }},
        {"random bytes",
         [](const fs::path& p) {
             std::mt19937 random(7);
             std::string bytes(8192, '\0');
             for (auto& b : bytes) b = static_cast<char>(random());
             testing::writeFile(p, bytes);
         }},
        {"newer schema version", [](const fs::path& p) { sqlite3(p, "CREATE TABLE SessionRecord (x); PRAGMA user_version = 2;"); }},
        {"another program's database", [](const fs::path& p) { sqlite3(p, "CREATE TABLE songs (title TEXT);"); }},
        {"our table without its columns", [](const fs::path& p) { sqlite3(p, "CREATE TABLE SessionRecord (x); PRAGMA user_version = 1;"); }},
        {"damaged pages",
         [](const fs::path& p) {
             {
                 SessionCatalog catalog(p.parent_path());
                 for (int i = 0; i < 400; ++i) {
                     catalog.createSession("drive" + std::to_string(i) + ".veqt", std::string(200, 'V'), {}, {}, day1);
                 }
             }
             std::string bytes = testing::readFile(p);
             ASSERT_GT(bytes.size(), 3 * 4096u);
             for (std::size_t i = 2 * 4096; i < 3 * 4096; ++i) bytes[i] = static_cast<char>(0xA5);
             testing::writeFile(p, bytes);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::TemporaryFolder folder;
        const auto store = folder / "sessions.store";
        c.make(store);
        const std::string before = testing::readFile(store);
        ASSERT_FALSE(before.empty());

        ::testing::internal::CaptureStderr();
        {
            SessionCatalog catalog(folder.path());
            EXPECT_FALSE(catalog.isPersistent());
            auto record = catalog.createSession("today.veqt", "VIN", {}, {}, day1);
            catalog.update(record, {.sampleCount = 5});
            catalog.createSession("later.veqt", {}, {}, {}, day1 + hours{1});
            const auto listed = catalog.allSessions();
            ASSERT_EQ(listed.size(), 2u);
            EXPECT_EQ(listed[0].fileName, "later.veqt");
            EXPECT_EQ(listed[1].sampleCount, 5);
            catalog.remove(listed[0]);
            EXPECT_EQ(catalog.allSessions().size(), 1u);
        }
        const std::string warning = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(warning.begin(), warning.end(), '\n'), 1) << warning;
        EXPECT_NE(warning.find(store.string()), std::string::npos) << warning;
        EXPECT_EQ(testing::readFile(store), before);
        EXPECT_FALSE(fs::exists(folder / "sessions.store-wal"));
    }
}

TEST(SessionCatalog, StoreThatCannotBeWrittenFallsBackToMemory) {
    testing::TemporaryFolder folder;
    const auto store = folder / "sessions.store";
    {
        SessionCatalog catalog(folder.path());
        catalog.createSession("old.veqt", {}, {}, {}, day1);
    }
    const std::string before = testing::readFile(store);
    using fs::perms;
    fs::permissions(folder.path(), perms::owner_all | perms::group_read | perms::group_exec | perms::others_read |
                                       perms::others_exec);
    fs::permissions(store, perms::owner_read | perms::group_read | perms::others_read);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Root may write any file: an ordinary user makes the store really read-only.
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        SessionCatalog catalog(folder.path());
        ::_exit(catalog.isPersistent() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a store opened read-only must not count as persistent";
    fs::permissions(store, perms::owner_read | perms::owner_write);
    EXPECT_EQ(testing::readFile(store), before);
}

TEST(SessionCatalog, FolderThatCannotBeCreatedFallsBackToMemory) {
    testing::TemporaryFolder root;
    testing::writeFile(root / "blocker", "a file where the folder should be");
    ::testing::internal::CaptureStderr();
    SessionCatalog catalog(root / "blocker" / "Sessions");
    const std::string warning = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(warning.find("sessions.store"), std::string::npos);
    EXPECT_FALSE(catalog.isPersistent());
    catalog.createSession("x.veqt", {}, {}, {});
    EXPECT_EQ(catalog.allSessions().size(), 1u);
}

TEST(SessionCatalog, InMemoryCatalogueStillCreatesItsFolder) {
    testing::TemporaryFolder root;
    const auto sessions = root / "OskavelCar" / "Sessions";
    SessionCatalog catalog(sessions, true);
    EXPECT_TRUE(fs::is_directory(sessions));
    EXPECT_FALSE(catalog.isPersistent());
    catalog.createSession("x.veqt", {}, {}, {});
    EXPECT_EQ(catalog.allSessions().size(), 1u);
    EXPECT_FALSE(fs::exists(sessions / "sessions.store"));
}

struct ConsumptionCase {
    double distanceKm;
    double fuelLiters;
    double consumption;
};

TEST(SessionRecord, DerivedFigures) {
    const ConsumptionCase cases[] = {{0, 1, 0}, {0.1, 0.05, 0}, {0.2, 0.05, 25}, {100, 6.5, 6.5}, {-5, 1, 0}};
    for (const auto& c : cases) {
        SessionRecord record;
        record.distanceKm = c.distanceKm;
        record.fuelLiters = c.fuelLiters;
        EXPECT_DOUBLE_EQ(record.consumptionL100(), c.consumption) << c.distanceKm << " km";
    }

    SessionRecord open(system_clock::now() - seconds{10}, {}, {}, {}, "f.veqt");
    EXPECT_GE(open.duration(), 10.0); // no end yet: measured against the clock
    open.endDate = open.startDate + milliseconds{1500};
    EXPECT_DOUBLE_EQ(open.duration(), 1.5);
    EXPECT_EQ(open.fileURL("/data/Sessions"), fs::path("/data/Sessions/f.veqt"));
}

TEST(SessionRecord, IdentityIsTheStoredRowAndIsNeverGivenAgain) {
    testing::TemporaryFolder folder;
    SessionCatalog catalog(folder.path());
    const auto a = catalog.createSession("a.veqt", {}, {}, {}, day1);
    auto stale = catalog.createSession("b.veqt", {}, {}, {}, day1);
    EXPECT_EQ(catalog.allSessions().at(0), a);
    EXPECT_EQ(std::hash<SessionRecord>{}(catalog.allSessions().at(1)), std::hash<SessionRecord>{}(stale));
    EXPECT_NE(a, stale);

    catalog.remove(stale);
    const auto fresh = catalog.createSession("c.veqt", {}, {}, {}, day1);
    EXPECT_NE(fresh, stale);
    catalog.update(stale, {.sampleCount = 99}); // a copy kept after deletion touches nothing
    for (const auto& record : catalog.allSessions()) EXPECT_EQ(record.sampleCount, 0) << record.fileName;

    const SessionRecord loose(day1, {}, {}, {}, "x");
    EXPECT_NE(loose, SessionRecord(day1, {}, {}, {}, "x"));
    EXPECT_EQ(loose, SessionRecord(loose));
}

} // namespace
} // namespace veq
