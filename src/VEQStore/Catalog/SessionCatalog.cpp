#include "VEQStore/Catalog/SessionCatalog.hpp"

#include "VEQStore/Catalog/SQLite.hpp"
#include "VEQSupport/AtomicFile.hpp"
#include "VEQSupport/DataFolder.hpp"

#include <fmt/format.h>

#include <limits>
#include <system_error>

namespace veq {

namespace {

// The store's layout. PRAGMA user_version holds the schema version; a file of any other version
// is left alone. AUTOINCREMENT keeps a deleted record's identity from being given to a new one.
constexpr std::int64_t schemaVersion = 1;
constexpr const char* memoryStore = ":memory:";

constexpr std::string_view createTable = R"(CREATE TABLE IF NOT EXISTS SessionRecord (
  storeID INTEGER PRIMARY KEY AUTOINCREMENT,
  identifier TEXT NOT NULL,    -- UUID
  startDate INTEGER NOT NULL,  -- nanoseconds since 1970-01-01 UTC
  endDate INTEGER,             -- nanoseconds since 1970-01-01 UTC
  vin TEXT,
  profileID TEXT,
  profileName TEXT,
  fileName TEXT NOT NULL DEFAULT '',
  sampleCount INTEGER NOT NULL DEFAULT 0,
  channelCount INTEGER NOT NULL DEFAULT 0,
  distanceKm REAL DEFAULT 0,   -- REAL columns take no NOT NULL: SQLite stores NaN as NULL
  maxSpeedKmh REAL DEFAULT 0,
  fuelLiters REAL DEFAULT 0,
  dtcCount INTEGER NOT NULL DEFAULT 0,
  zeroToHundredSec REAL,
  note TEXT
))";

// Every column in the order of the record, as read back.
constexpr std::string_view selectColumns =
    "SELECT storeID, identifier, startDate, endDate, vin, profileID, profileName, fileName, sampleCount, "
    "channelCount, distanceKm, maxSpeedKmh, fuelLiters, dtcCount, zeroToHundredSec, note FROM SessionRecord";

constexpr std::string_view insertRecord =
    "INSERT INTO SessionRecord (identifier, startDate, endDate, vin, profileID, profileName, fileName, "
    "sampleCount, channelCount, distanceKm, maxSpeedKmh, fuelLiters, dtcCount, zeroToHundredSec, note) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

// The same fields in the same order, the row named by its storeID last.
constexpr std::string_view rewriteRecord =
    "UPDATE SessionRecord SET identifier = ?, startDate = ?, endDate = ?, vin = ?, profileID = ?, profileName = ?, "
    "fileName = ?, sampleCount = ?, channelCount = ?, distanceKm = ?, maxSpeedKmh = ?, fuelLiters = ?, dtcCount = ?, "
    "zeroToHundredSec = ?, note = ? WHERE storeID = ?";

using Date = SessionRecord::Date;

std::int64_t storedDate(Date date) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(date.time_since_epoch()).count();
}

Date dateFromStore(std::int64_t nanoseconds) {
    return Date(std::chrono::duration_cast<Date::duration>(std::chrono::nanoseconds(nanoseconds)));
}

std::optional<std::int64_t> storedDate(const std::optional<Date>& date) {
    if (!date) return std::nullopt;
    return storedDate(*date);
}

// Binds every field of `record` as parameters 1 to 15, in the order of insertRecord and rewriteRecord.
void bindFields(sqlite::Statement& statement, const SessionRecord& record) {
    statement.bind(1, record.identifier.uuidString());
    statement.bind(2, storedDate(record.startDate));
    statement.bind(3, storedDate(record.endDate));
    statement.bind(4, record.vin);
    statement.bind(5, record.profileID);
    statement.bind(6, record.profileName);
    statement.bind(7, record.fileName);
    statement.bind(8, record.sampleCount);
    statement.bind(9, record.channelCount);
    statement.bind(10, record.distanceKm);
    statement.bind(11, record.maxSpeedKmh);
    statement.bind(12, record.fuelLiters);
    statement.bind(13, record.dtcCount);
    statement.bind(14, record.zeroToHundredSec);
    statement.bind(15, record.note);
}

SessionRecord recordFromRow(const sqlite::Statement& row) {
    const auto optionalText = [&](int column) -> std::optional<std::string> {
        if (row.isNull(column)) return std::nullopt;
        return row.text(column);
    };
    const auto realOrNaN = [&](int column) {
        return row.isNull(column) ? std::numeric_limits<double>::quiet_NaN() : row.real(column);
    };
    SessionRecord record;
    record.storeID = row.integer(0);
    if (const auto identifier = UUID::parse(row.text(1))) record.identifier = *identifier;
    record.startDate = dateFromStore(row.integer(2));
    if (!row.isNull(3)) record.endDate = dateFromStore(row.integer(3));
    record.vin = optionalText(4);
    record.profileID = optionalText(5);
    record.profileName = optionalText(6);
    record.fileName = row.text(7);
    record.sampleCount = row.integer(8);
    record.channelCount = row.integer(9);
    record.distanceKm = realOrNaN(10);
    record.maxSpeedKmh = realOrNaN(11);
    record.fuelLiters = realOrNaN(12);
    record.dtcCount = row.integer(13);
    if (!row.isNull(14)) record.zeroToHundredSec = row.real(14);
    record.note = optionalText(15);
    return record;
}

bool isPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

std::optional<std::int64_t> singleInteger(sqlite::Connection& db, std::string_view sql) {
    auto statement = db.prepare(sql);
    if (!statement.step()) return std::nullopt;
    return statement.integer(0);
}

// Another process may create the schema between our look at an empty file and our write lock:
// under the lock the file is looked at again, and only a file still empty gets the schema.
bool createSchema(sqlite::Connection& db) {
    if (!db.execute("BEGIN IMMEDIATE")) return false;
    const auto version = singleInteger(db, "PRAGMA user_version");
    const auto objects = singleInteger(db, "SELECT count(*) FROM sqlite_master");
    if (!version || !objects) return false;
    if (*version == 0 && *objects == 0) {
        if (!db.execute(createTable) || !db.execute(fmt::format("PRAGMA user_version = {}", schemaVersion))) return false;
    }
    return db.execute("COMMIT");
}

// The file holds our schema, whole; or why it cannot be used.
std::optional<std::string> checkSchema(sqlite::Connection& db) {
    const auto version = singleInteger(db, "PRAGMA user_version");
    if (!version) return db.lastError();
    if (*version == schemaVersion) {
        auto check = db.prepare("PRAGMA quick_check");
        if (!check.step()) return db.lastError();
        if (const std::string verdict = check.text(0); verdict != "ok") return verdict;
        if (!db.prepare(selectColumns).valid()) return db.lastError();
    } else {
        return fmt::format("version de catalogue inconnue ({})", *version);
    }
    db.setCheckpointOnClose(true);
    // Readers then never block the writer, and a crash mid-write leaves the last commit whole.
    db.execute("PRAGMA journal_mode = WAL");
    db.execute("PRAGMA synchronous = FULL");
    return std::nullopt;
}

// Why the store file cannot be used, or nothing when it is ready. Until the file is known to be
// an empty database or our own, nothing is written to it.
std::optional<std::string> prepareFileStore(sqlite::Connection& db) {
    if (!db.valid()) return db.lastError();
    // SQLite quietly opens a file it cannot write read-only; every later change would then fail.
    if (sqlite3_db_readonly(db.handle(), "main") == 1) return std::string("fichier en lecture seule");
    // Closing a write-ahead-logged database folds its log into the file; a file we turn down
    // must keep its bytes, so that waits until the file is known to be ours.
    db.setCheckpointOnClose(false);
    const auto version = singleInteger(db, "PRAGMA user_version");
    if (!version) return db.lastError(); // "file is not a database" shows here, not at opening
    const auto objects = singleInteger(db, "SELECT count(*) FROM sqlite_master");
    if (!objects) return db.lastError();
    if (*version == 0 && *objects == 0) {
        if (!createSchema(db)) {
            const std::string error = db.lastError();
            db.execute("ROLLBACK");
            return error;
        }
    }
    return checkSchema(db);
}

// Opens the store file into `store`, or says why it cannot be used. A file turned down keeps its
// bytes, and the side files SQLite made beside it for this attempt are taken away again.
std::optional<std::string> openFileStore(const std::filesystem::path& path, sqlite::Connection& store) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path wal = path.string() + "-wal";
    const fs::path shm = path.string() + "-shm";
    const bool hadWal = fs::exists(wal, ec);
    const bool hadShm = fs::exists(shm, ec);
    std::optional<std::string> problem;
    {
        auto db = sqlite::Connection::open(path.string());
        problem = prepareFileStore(db);
        if (!problem) {
            store = std::move(db);
            return std::nullopt;
        }
    }
    if (!hadWal && fs::file_size(wal, ec) == 0 && !ec) fs::remove(wal, ec);
    if (!hadShm) fs::remove(shm, ec);
    return problem;
}

// SQLite's reports may run over several lines; the warning is one.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    }
    return text;
}

sqlite::Connection openMemoryStore() {
    auto db = sqlite::Connection::open(memoryStore);
    if (db.valid() && createSchema(db)) return db;
    return {};
}

} // namespace

struct SessionCatalog::Store {
    sqlite::Connection db;
    bool persistent = false;
};

SessionCatalog::SessionCatalog(std::optional<std::filesystem::path> directory, bool inMemory)
    : sessionsDirectory_(directory ? std::move(*directory) : defaultDirectory()), store_(std::make_unique<Store>()) {
    std::error_code ignored;
    std::filesystem::create_directories(sessionsDirectory_, ignored);
    // Drives and saved ranges that a crash left half-written, by processes that are gone.
    removeStaleTemporaryFiles(sessionsDirectory_, [](std::string_view) { return true; });

    if (!inMemory) {
        const auto path = sessionsDirectory_ / storeFileName;
        if (auto problem = openFileStore(path, store_->db)) {
            fmt::print(stderr,
                       "Catalogue des trajets : « {} » est inutilisable ({}) ; le fichier est laissé tel quel et "
                       "les trajets de cette session ne seront gardés qu'en mémoire.\n",
                       path.string(), oneLine(*problem));
        } else {
            store_->persistent = true;
            return;
        }
    }
    // When even this fails every operation still answers, as for an empty catalogue.
    store_->db = openMemoryStore();
}

SessionCatalog::~SessionCatalog() = default;

std::filesystem::path SessionCatalog::defaultDirectory() { return applicationDataFolder() / "Sessions"; }

bool SessionCatalog::isPersistent() const { return store_->persistent; }

std::vector<SessionRecord> SessionCatalog::allSessions() const {
    std::vector<SessionRecord> records;
    auto statement = store_->db.prepare(fmt::format("{} ORDER BY startDate DESC, storeID ASC", selectColumns));
    while (statement.step()) records.push_back(recordFromRow(statement));
    if (!statement.done()) return {};
    return records;
}

SessionRecord SessionCatalog::createSession(std::string fileName, std::optional<std::string> vin,
                                            std::optional<std::string> profileID,
                                            std::optional<std::string> profileName, std::optional<Date> startDate) {
    SessionRecord record(startDate.value_or(std::chrono::system_clock::now()), std::move(vin), std::move(profileID),
                         std::move(profileName), std::move(fileName));
    save(record);
    return record;
}

bool SessionCatalog::save(SessionRecord& record) {
    if (record.storeID == 0) {
        auto insert = store_->db.prepare(insertRecord);
        bindFields(insert, record);
        insert.step();
        if (!insert.done()) return false;
        record.storeID = sqlite3_last_insert_rowid(store_->db.handle());
        return true;
    }
    auto rewrite = store_->db.prepare(rewriteRecord);
    bindFields(rewrite, record);
    rewrite.bind(16, record.storeID);
    rewrite.step();
    return rewrite.done();
}

void SessionCatalog::Update::applyTo(SessionRecord& record) const {
    if (endDate) record.endDate = endDate;
    if (sampleCount) record.sampleCount = *sampleCount;
    if (channelCount) record.channelCount = *channelCount;
    if (distanceKm) record.distanceKm = *distanceKm;
    if (maxSpeedKmh) record.maxSpeedKmh = *maxSpeedKmh;
    if (fuelLiters) record.fuelLiters = *fuelLiters;
    if (dtcCount) record.dtcCount = *dtcCount;
    if (zeroToHundredSec) record.zeroToHundredSec = zeroToHundredSec;
}

bool SessionCatalog::update(SessionRecord& record, const Update& changes) {
    std::string assignments;
    const auto assign = [&](bool present, std::string_view column) {
        if (!present) return;
        if (!assignments.empty()) assignments += ", ";
        assignments += fmt::format("{} = ?", column);
    };
    assign(changes.endDate.has_value(), "endDate");
    assign(changes.sampleCount.has_value(), "sampleCount");
    assign(changes.channelCount.has_value(), "channelCount");
    assign(changes.distanceKm.has_value(), "distanceKm");
    assign(changes.maxSpeedKmh.has_value(), "maxSpeedKmh");
    assign(changes.fuelLiters.has_value(), "fuelLiters");
    assign(changes.dtcCount.has_value(), "dtcCount");
    assign(changes.zeroToHundredSec.has_value(), "zeroToHundredSec");

    changes.applyTo(record);
    if (record.storeID == 0) return false;
    if (assignments.empty()) return true;
    auto statement = store_->db.prepare(fmt::format("UPDATE SessionRecord SET {} WHERE storeID = ?", assignments));
    int index = 1;
    if (changes.endDate) statement.bind(index++, storedDate(*changes.endDate));
    if (changes.sampleCount) statement.bind(index++, *changes.sampleCount);
    if (changes.channelCount) statement.bind(index++, *changes.channelCount);
    if (changes.distanceKm) statement.bind(index++, *changes.distanceKm);
    if (changes.maxSpeedKmh) statement.bind(index++, *changes.maxSpeedKmh);
    if (changes.fuelLiters) statement.bind(index++, *changes.fuelLiters);
    if (changes.dtcCount) statement.bind(index++, *changes.dtcCount);
    if (changes.zeroToHundredSec) statement.bind(index++, *changes.zeroToHundredSec);
    statement.bind(index, record.storeID);
    statement.step();
    return statement.done();
}

void SessionCatalog::remove(const SessionRecord& record) {
    if (const auto file = driveFile(record)) {
        std::error_code ignored;
        // Only a file: a sub-folder that happens to bear the name is not the drive.
        if (!std::filesystem::is_directory(std::filesystem::symlink_status(*file, ignored))) {
            std::filesystem::remove(*file, ignored);
        }
    }
    if (record.storeID == 0) return;
    auto statement = store_->db.prepare("DELETE FROM SessionRecord WHERE storeID = ?");
    statement.bind(1, record.storeID);
    statement.step();
}

std::optional<TelemetryFile::Contents> SessionCatalog::contents(const SessionRecord& record) const {
    const auto file = driveFile(record);
    if (!file) return std::nullopt;
    try {
        return TelemetryFile::read(*file);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::filesystem::path> SessionCatalog::driveFile(const SessionRecord& record) const {
    if (!isPlainFileName(record.fileName)) return std::nullopt;
    return sessionsDirectory_ / record.fileName;
}

} // namespace veq
