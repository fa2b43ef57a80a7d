#include "VEQStore/Catalog/SessionCatalog.hpp"

#include "VEQStore/StoreFixtures.hpp"
#include "TestSupport/EndedProcess.hpp"
#include "TestSupport/FileSizeLimit.hpp"

#include <algorithm>
#include <cmath>
#include <functional>

#include <sys/wait.h>
#include <unistd.h>

namespace veq {
namespace {

using namespace std::chrono;
namespace fs = std::filesystem;
using Date = SessionRecord::Date;

const Date day1 = sys_days{year{2024} / 6 / 1} + hours{8} + nanoseconds{123'456'789};

std::string sqlite3(const fs::path& store, const std::string& commands) {
    const auto result = testing::runTool("sqlite3 " + testing::shellQuoted(store.string()) + " " + testing::shellQuoted(commands) + " 2>&1");
    EXPECT_EQ(result.exitStatus, 0) << result.output;
    return result.output;
}

std::vector<std::string> names(const std::vector<SessionRecord>& records) {
    std::vector<std::string> out;
    for (const auto& r : records) out.push_back(r.fileName);
    return out;
}

// Every field of a record, the store's identity included, for one comparison.
auto fields(const SessionRecord& r) {
    return std::tuple(r.identifier.uuidString(), r.startDate, r.endDate, r.vin, r.profileID, r.profileName, r.fileName,
                      r.sampleCount, r.channelCount, r.distanceKm, r.maxSpeedKmh, r.fuelLiters, r.dtcCount,
                      r.zeroToHundredSec, r.note, r.storeID);
}

TEST(SessionCatalog, StoreFileShowsTheRecordFieldsAndKeepsThemFieldForField) {
    testing::TemporaryFolder folder;
    std::vector<SessionRecord> created;
    {
        SessionCatalog catalog(folder.path());
        EXPECT_TRUE(catalog.isPersistent());
        created.push_back(catalog.createSession("one.veqt", {}, {}, {}, day1));
        created.push_back(catalog.createSession("two.veqt", "VIN2", "p2", "G\u00E9n\u00E9rique", day1 + hours{1}));
        catalog.update(created[1], {.endDate = day1 + hours{2} + nanoseconds{1}, .sampleCount = 14'400, .channelCount = 70,
                                    .distanceKm = 81.25, .maxSpeedKmh = 131.5, .fuelLiters = 5.5, .dtcCount = 3,
                                    .zeroToHundredSec = 9.75});
    }
    const auto store = folder / "sessions.store";
    const std::string schema = sqlite3(store, ".schema");
    for (const char* field : {"identifier", "startDate", "endDate", "vin", "profileID", "profileName", "fileName", "sampleCount",
                              "channelCount", "distanceKm", "maxSpeedKmh", "fuelLiters", "dtcCount", "zeroToHundredSec", "note"}) {
        EXPECT_NE(schema.find(std::string(field) + " "), std::string::npos) << field << " missing from\n" << schema;
    }
    EXPECT_EQ(sqlite3(store, "PRAGMA user_version; PRAGMA journal_mode;"), "1\nwal\n");
    EXPECT_EQ(sqlite3(store, "SELECT profileName FROM SessionRecord WHERE vin = 'VIN2';"), "G\u00E9n\u00E9rique\n");

    const auto listed = SessionCatalog(folder.path()).allSessions();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(fields(listed[0]), fields(created[1]));
    EXPECT_EQ(fields(listed[1]), fields(created[0]));
}

TEST(SessionCatalog, ListsNewestFirstAndEqualStartsInCreationOrder) {
    testing::TemporaryFolder folder;
    const std::pair<const char*, Date> drives[] = {
        {"a", day1}, {"b", day1 + minutes{5}}, {"c", day1 + hours{1}}, {"d", day1 + minutes{5}}, {"e", day1 - hours{24}}};
    const std::vector<std::string> expected{"c", "b", "d", "a", "e"};
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
    EXPECT_GE(now.startDate, before);
    EXPECT_LE(now.startDate, system_clock::now());
    // A saved range is catalogued after its end: its own start keeps the end after the start.
    auto range = catalog.createSession("range.veqt", {}, {}, {}, day1);
    catalog.update(range, {.endDate = day1 + seconds{90}});
    EXPECT_DOUBLE_EQ(range.duration(), 90.0);
    EXPECT_EQ(catalog.allSessions().back().startDate, day1);
}

TEST(SessionCatalog, UpdateSetsOnlyThePresentFigures) {
    testing::TemporaryFolder folder;
    {
        SessionCatalog catalog(folder.path());
        auto record = catalog.createSession("d.veqt", "VIN", std::nullopt, std::nullopt, day1);
        catalog.update(record, {.sampleCount = 10, .zeroToHundredSec = 8.5});
        catalog.update(record, {.sampleCount = 20, .maxSpeedKmh = 90});
        // SQLite keeps a NaN as NULL; the other figures of the same update must still land.
        catalog.update(record, {.channelCount = 6, .fuelLiters = std::nan("")});
        EXPECT_EQ(record.channelCount, 6);
    }
    const auto stored = SessionCatalog(folder.path()).allSessions().at(0);
    EXPECT_EQ(std::tuple(stored.sampleCount, stored.channelCount, stored.maxSpeedKmh, stored.zeroToHundredSec, stored.vin),
              std::tuple(20, 6, 90.0, 8.5, std::string("VIN")));
    EXPECT_TRUE(std::isnan(stored.fuelLiters));
    EXPECT_FALSE(stored.endDate.has_value());
}

// A full disk: creation and updates say the store did not take the row, the records in memory
// hold their figures all the same, and a whole save once there is room stores them as they are.
TEST(SessionCatalog, ARowTheStoreDidNotTakeIsSavedWholeOnceThereIsRoom) {
    testing::TemporaryFolder folder;
    SessionCatalog catalog(folder.path());
    SessionRecord stored = catalog.createSession("stored.veqt", {}, {}, {}, day1);
    std::optional<testing::FileSizeLimit> full(std::in_place, 1);
    SessionRecord fresh = catalog.createSession("fresh.veqt", "VIN", {}, {}, day1 + hours{1});
    EXPECT_TRUE(full->active() && fresh.storeID == 0);
    EXPECT_FALSE(catalog.update(fresh, {.sampleCount = 5}) || catalog.update(stored, {.dtcCount = 2}));
    full.reset();
    EXPECT_EQ(catalog.allSessions().at(0).dtcCount, 0);
    EXPECT_TRUE(catalog.save(fresh) && catalog.save(stored) && catalog.update(fresh, {.endDate = day1 + hours{2}}));
    const auto listed = SessionCatalog(folder.path()).allSessions();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(fields(listed[0]), fields(fresh));
    EXPECT_EQ(fields(listed[1]), fields(stored));
}

// A stored name that is not one plain file name never reaches a file, neither outside the
// folder nor the folder itself nor a sub-folder; the record goes all the same.
TEST(SessionCatalog, DeleteAndContentsActOnlyOnAPlainFileInTheFolder) {
    testing::TemporaryFolder root;
    const auto sessions = root / "Sessions";
    const auto outside = root / "outside.veqt";
    TelemetryFile::Writer(outside, {{0x0C, "R\u00E9gime"}}, day1).append(0, testing::Values{800.0f});
    SessionCatalog catalog(sessions);
    fs::create_directories(sessions / "sub");
    testing::writeFile(sessions / "sub" / "inner.veqt", "x");
    const std::string unsafe[] = {"../outside.veqt", outside.string(), "", ".", "..", "sub/inner.veqt", "sub", std::string("d\0.veqt", 7)};
    for (const auto& name : unsafe) {
        const auto record = catalog.createSession(name, {}, {}, {}, day1);
        EXPECT_FALSE(catalog.contents(record).has_value()) << name;
        catalog.remove(record);
        EXPECT_TRUE(fs::exists(outside) && fs::exists(sessions / "sub" / "inner.veqt")) << name;
        EXPECT_TRUE(catalog.allSessions().empty()) << name;
    }
    testing::writeFile(sessions / "bad.veqt", "NOPE and more");
    EXPECT_FALSE(catalog.contents(catalog.createSession("bad.veqt", {}, {}, {})).has_value());
    EXPECT_FALSE(catalog.contents(catalog.createSession("missing.veqt", {}, {}, {})).has_value());
    fs::copy_file(outside, sessions / "inside.veqt");
    const auto inside = catalog.createSession("inside.veqt", {}, {}, {}, day1);
    EXPECT_EQ(catalog.contents(inside).value_or(TelemetryFile::Contents{}).records.size(), 1u);
    catalog.remove(inside);
    EXPECT_FALSE(fs::exists(sessions / "inside.veqt"));
}

// A store file we cannot use is left byte for byte as it was, one line on standard error says
// so, and the drives of this run are kept in memory.
TEST(SessionCatalog, UnusableStoreFallsBackToMemoryAndIsLeftAlone) {
    const std::pair<const char*, std::function<void(const fs::path&)>> cases[] = {
        {"text file", [](const fs::path& p) { testing::writeFile(p, "ceci n'est pas une base de donn\u00E9es\n"); }},
        {"newer schema version", [](const fs::path& p) { sqlite3(p, "CREATE TABLE SessionRecord (x); PRAGMA user_version = 2;"); }},
        {"our table without its columns", [](const fs::path& p) { sqlite3(p, "CREATE TABLE SessionRecord (x); PRAGMA user_version = 1;"); }},
        {"damaged pages", [](const fs::path& p) {
             {
                 SessionCatalog catalog(p.parent_path());
                 for (int i = 0; i < 400; ++i) catalog.createSession("drive" + std::to_string(i), std::string(200, 'V'), {}, {}, day1);
             }
             std::string bytes = testing::readFile(p);
             ASSERT_GT(bytes.size(), 3 * 4096u);
             std::fill(bytes.begin() + 2 * 4096, bytes.begin() + 3 * 4096, char(0xA5));
             testing::writeFile(p, bytes);
         }},
    };
    for (const auto& [what, make] : cases) {
        SCOPED_TRACE(what);
        testing::TemporaryFolder folder;
        const auto store = folder / "sessions.store";
        make(store);
        const std::string before = testing::readFile(store);
        ::testing::internal::CaptureStderr();
        {
            SessionCatalog catalog(folder.path());
            EXPECT_FALSE(catalog.isPersistent());
            auto record = catalog.createSession("today.veqt", "VIN", {}, {}, day1);
            catalog.update(record, {.sampleCount = 5});
            catalog.createSession("later.veqt", {}, {}, {}, day1 + hours{1});
            catalog.remove(catalog.allSessions().at(0));
            EXPECT_EQ(names(catalog.allSessions()), std::vector<std::string>{"today.veqt"});
            EXPECT_EQ(catalog.allSessions().at(0).sampleCount, 5);
        }
        const std::string warning = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(warning.begin(), warning.end(), '\n'), 1) << warning;
        EXPECT_NE(warning.find(store.string()), std::string::npos) << warning;
        EXPECT_EQ(testing::readFile(store), before);
        EXPECT_FALSE(fs::exists(folder / "sessions.store-wal"));
    }

    testing::TemporaryFolder root;
    testing::writeFile(root / "blocker", "a file where the folder should be");
    ::testing::internal::CaptureStderr();
    SessionCatalog blocked(root / "blocker" / "Sessions");
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("sessions.store"), std::string::npos);
    blocked.createSession("x.veqt", {}, {}, {});
    EXPECT_EQ(blocked.allSessions().size(), 1u);
    SessionCatalog inMemory(root / "OskavelCar" / "Sessions", true);
    EXPECT_TRUE(fs::is_directory(root / "OskavelCar" / "Sessions")) << "the folder is made all the same";
    EXPECT_FALSE(inMemory.isPersistent());
}

TEST(SessionCatalog, StoreThatCannotBeWrittenFallsBackToMemory) {
    testing::TemporaryFolder folder;
    const auto store = folder / "sessions.store";
    SessionCatalog(folder.path()).createSession("old.veqt", {}, {}, {}, day1);
    const std::string before = testing::readFile(store);
    using fs::perms;
    fs::permissions(folder.path(), perms::owner_all | perms::group_read | perms::group_exec | perms::others_read | perms::others_exec);
    fs::permissions(store, perms::owner_read | perms::group_read | perms::others_read);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Root may write any file: an ordinary user makes the store really read-only.
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        ::_exit(SessionCatalog(folder.path()).isPersistent() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a store opened read-only must not count as persistent";
    fs::permissions(store, perms::owner_read | perms::owner_write);
    EXPECT_EQ(testing::readFile(store), before);
}

// Two processes start on a fresh catalogue at the same moment: both must keep their drives in
// the one store file, neither may fall back to memory.
TEST(SessionCatalog, TwoProcessesOpeningAFreshCatalogueAtOnceBothKeepTheirDrives) {
    constexpr int runs = 20;
    for (int run = 0; run < runs; ++run) {
        testing::TemporaryFolder folder;
        int gate[2];
        ASSERT_EQ(::pipe(gate), 0);
        pid_t children[2];
        for (int i = 0; i < 2; ++i) {
            children[i] = ::fork();
            ASSERT_GE(children[i], 0);
            if (children[i] == 0) {
                ::close(gate[1]);
                char go = 0;
                if (::read(gate[0], &go, 1) != 0) ::_exit(4); // both start when the gate closes
                bool persistent = false;
                {
                    SessionCatalog catalog(folder.path());
                    persistent = catalog.isPersistent();
                    catalog.createSession("child" + std::to_string(i) + ".veqt", {}, {}, {});
                }
                ::_exit(persistent ? 0 : 1);
            }
        }
        ::close(gate[0]);
        ::close(gate[1]); // opens the gate for both at once
        for (const pid_t child : children) {
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "run " << run << ": a catalogue fell back to memory";
        }
        auto listed = names(SessionCatalog(folder.path()).allSessions());
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(listed, (std::vector<std::string>{"child0.veqt", "child1.veqt"})) << "run " << run;
    }
}

TEST(SessionCatalog, OpeningTheFolderRemovesWhatCrashedWritersLeft) {
    testing::TemporaryFolder folder;
    const std::string dead = std::to_string(testing::endedProcessID());
    const std::string alive = std::to_string(::getpid());
    const std::pair<std::string, bool> files[] = {
        {".saved.veqt.tmp-" + dead + "-0", false},
        {"..range.veqt.tmp-" + dead + "-1.tmp-" + dead + "-2", false},
        {".drive.veqt.tmp-" + alive + "-3", true}, // a write going on in this process
        {"drive.veqt", true},
    };
    for (const auto& [name, kept] : files) testing::writeFile(folder / name, "x");
    SessionCatalog catalog(folder.path());
    for (const auto& [name, kept] : files) EXPECT_EQ(fs::exists(folder / name), kept) << name;
}

TEST(SessionRecord, DerivedFiguresAndIdentity) {
    const std::tuple<double, double, double> consumption[] = {{0.1, 0.05, 0}, {0.2, 0.05, 25}, {100, 6.5, 6.5}, {-5, 1, 0}};
    for (const auto& [km, litres, per100] : consumption) {
        SessionRecord record;
        record.distanceKm = km;
        record.fuelLiters = litres;
        EXPECT_DOUBLE_EQ(record.consumptionL100(), per100) << km << " km";
    }
    SessionRecord open(system_clock::now() - seconds{10}, {}, {}, {}, "f.veqt");
    EXPECT_GE(open.duration(), 10.0) << "no end yet: measured against the clock";
    EXPECT_EQ(open.fileURL("/data/Sessions"), fs::path("/data/Sessions/f.veqt"));

    // Identity is the stored row; a row number is never given again.
    testing::TemporaryFolder folder;
    SessionCatalog catalog(folder.path());
    const auto a = catalog.createSession("a.veqt", {}, {}, {}, day1);
    auto stale = catalog.createSession("b.veqt", {}, {}, {}, day1);
    EXPECT_EQ(catalog.allSessions().at(0), a);
    EXPECT_NE(a, stale);
    catalog.remove(stale);
    EXPECT_NE(catalog.createSession("c.veqt", {}, {}, {}, day1), stale);
    catalog.update(stale, {.sampleCount = 99}); // a copy kept after deletion touches nothing
    for (const auto& record : catalog.allSessions()) EXPECT_EQ(record.sampleCount, 0) << record.fileName;
    EXPECT_NE(SessionRecord(day1, {}, {}, {}, "x"), SessionRecord(day1, {}, {}, {}, "x")) << "two unstored records";
}

} // namespace
} // namespace veq
