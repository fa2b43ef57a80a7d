// The start ends the drives a crash left open, from their own files, and nothing else does.
#include "OskavelCarApp/Startup.hpp"

#include "VEQUI/Model/AppModel.hpp"

#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace veq::testing {
namespace {

namespace fs = std::filesystem;
namespace tf = TelemetryFile;
using namespace std::chrono_literals;
using Date = SessionRecord::Date;
using Values = std::vector<std::optional<float>>;

const Date kFileStart = Date(std::chrono::seconds(1'772'355'600));
const Date kRecordStart = kFileStart + 30ms; // made just after its file, as at connection

// A drive of speed, air flow and fuel rate, one record every 250 ms up to `lastMs`, all holding
// `values`; returned open, with a clock that never flushes by age.
std::shared_ptr<tf::Writer> drive(const fs::path& file, std::uint32_t lastMs, const Values& values) {
    const std::vector<tf::Channel> channels{{0x0D, "V"}, {0x10, "Air"}, {0x5E, "L/h"}};
    auto writer = std::make_shared<tf::Writer>(file, channels, kFileStart, [] { return tf::Writer::Clock::time_point{}; });
    for (std::uint32_t ms = 0; ms <= lastMs; ms += 250) writer->append(ms, values);
    return writer;
}

// The one record of the catalogue in `sessions`, made without an end for "drive.veqt" when `create`.
SessionRecord theRecord(const fs::path& sessions, bool create = false) {
    SessionCatalog catalog(sessions);
    if (create) {
        SessionRecord made = catalog.createSession("drive.veqt", {}, {}, {}, kRecordStart);
        catalog.update(made, {.dtcCount = 2});
    }
    const auto records = catalog.allSessions();
    return records.size() == 1 ? records.front() : SessionRecord{};
}

TEST(InterruptedDrives, TheStartEndsEachOpenDriveFromWhatItsFileHolds) {
    const struct {
        const char* name;
        std::function<std::shared_ptr<void>(const fs::path&)> file; // what it returns stays open meanwhile
        Date end;
        std::int64_t samples;
        double km, maxKmh, liters;
    } cases[] = {
        // 36 km/h and 3.6 L/h over 1.75 s: 17.5 m and 1.75 ml; the air flow counts only without a fuel rate.
        {"a writer never closed counts what it flushed", [](const fs::path& f) {
             auto writer = drive(f, 1750, {36.0f, 14.7f, 3.6f});
             writer->flush();
             writer->append(2000, Values{200.0f, 90.0f, 40.0f});
             return std::shared_ptr<void>(writer);
         }, kFileStart + 1750ms, 8, 0.0175, 36, 0.00175},
        {"air flow alone: 14.7 g/s for 1 s burns 1/745 l",
         [](const fs::path& f) { drive(f, 1000, {0.0f, 14.7f, {}}); return nullptr; }, kFileStart + 1000ms, 5, 0, 0, 1.0 / 745},
        {"a record cut short is left out", [](const fs::path& f) {
             drive(f, 500, {72.0f, {}, {}});
             std::ofstream(f, std::ios::binary | std::ios::app).write("\xEE\x02\x00\x00\x00", 5);
             return nullptr;
         }, kFileStart + 500ms, 3, 0.01, 72, 0},
        {"never before the record's start", [](const fs::path& f) { drive(f, 0, {72.0f, {}, {}}); return nullptr; },
         kRecordStart, 1, 0, 72, 0},
        {"a missing file", [](const fs::path&) { return nullptr; }, kRecordStart, 0, 0, 0, 0},
        {"a file that is not a drive", [](const fs::path& f) { writeFile(f, "pas un trajet"); return nullptr; },
         kRecordStart, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder data;
        theRecord(data / "Sessions", true);
        const auto open = c.file(data / "Sessions" / "drive.veqt");
        Startup::completeInterruptedDrives(*Startup::claimDataFolder(data.path()), data / "Sessions");
        const SessionRecord record = theRecord(data / "Sessions");
        EXPECT_EQ(record.endDate, c.end);
        EXPECT_EQ(record.sampleCount, c.samples);
        EXPECT_NEAR(record.distanceKm, c.km, 1e-9);
        EXPECT_EQ(record.maxSpeedKmh, c.maxKmh);
        EXPECT_NEAR(record.fuelLiters, c.liters, 1e-9);
        EXPECT_EQ(record.dtcCount, 2);
    }
}

auto figures(const SessionRecord& r) {
    return std::tuple(r.endDate, r.sampleCount, r.distanceKm, r.maxSpeedKmh, r.fuelLiters, r.dtcCount,
                      r.zeroToHundredSec);
}

TEST(InterruptedDrives, OnlyTheStartEndsADriveAndOnlyOnce) {
    TemporaryFolder data;
    const fs::path sessions = data / "Sessions";
    const auto notLocked = DataFolderLock::take(data / "absent" / "lock"); // a file it cannot open
    const std::vector<std::pair<const char*, std::function<void()>>> others{
        {"a catalogue", [&] { SessionCatalog catalog(sessions); }},
        {"a model", [&] { AppModel model({data.path(), [] { return nullptr; }, {}, {}, {}}); }},
        {"a start whose lock holds nothing", [&] { Startup::completeInterruptedDrives(*notLocked, sessions); }},
    };
    theRecord(sessions, true);
    drive(sessions / "drive.veqt", 1000, {50.0f, {}, {}});
    for (const auto& [name, open] : others) {
        open();
        EXPECT_EQ(theRecord(sessions).endDate, std::nullopt) << name;
    }

    const auto lock = Startup::claimDataFolder(data.path());
    Startup::completeInterruptedDrives(*lock, sessions);
    const SessionRecord once = theRecord(sessions);
    EXPECT_EQ(once.sampleCount, 5);
    // The file changes: a drive with an end, from a disconnection or an earlier start, stays as it is.
    drive(sessions / "drive.veqt", 9000, {120.0f, {}, {}});
    Startup::completeInterruptedDrives(*lock, sessions);
    EXPECT_EQ(figures(theRecord(sessions)), figures(once));
}

} // namespace
} // namespace veq::testing
