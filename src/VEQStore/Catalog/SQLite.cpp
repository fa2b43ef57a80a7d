#include "VEQStore/Catalog/SQLite.hpp"

namespace veq::sqlite {

namespace {

// A store locked by another process of the application gets this long before a call gives up.
constexpr int busyTimeoutMs = 2000;

} // namespace

Statement::Statement(sqlite3* db, std::string_view sql) {
    sqlite3_stmt* statement = nullptr;
    if (db != nullptr &&
        sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &statement, nullptr) == SQLITE_OK) {
        statement_.reset(statement);
    } else {
        sqlite3_finalize(statement);
        lastResult_ = SQLITE_ERROR;
    }
}

void Statement::bind(int index, std::int64_t value) {
    if (statement_) sqlite3_bind_int64(statement_.get(), index, value);
}

void Statement::bind(int index, double value) {
    if (statement_) sqlite3_bind_double(statement_.get(), index, value);
}

void Statement::bind(int index, std::string_view value) {
    if (statement_) {
        sqlite3_bind_text64(statement_.get(), index, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
}

void Statement::bindNull(int index) {
    if (statement_) sqlite3_bind_null(statement_.get(), index);
}

bool Statement::step() {
    if (!statement_) return false;
    lastResult_ = sqlite3_step(statement_.get());
    return lastResult_ == SQLITE_ROW;
}

bool Statement::isNull(int column) const { return sqlite3_column_type(statement_.get(), column) == SQLITE_NULL; }

std::int64_t Statement::integer(int column) const { return sqlite3_column_int64(statement_.get(), column); }

double Statement::real(int column) const { return sqlite3_column_double(statement_.get(), column); }

std::string Statement::text(int column) const {
    const auto* bytes = sqlite3_column_text(statement_.get(), column);
    const int size = sqlite3_column_bytes(statement_.get(), column);
    return bytes == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
}

Connection Connection::open(const std::string& path) {
    Connection connection;
    sqlite3* db = nullptr;
    const int result = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (result != SQLITE_OK) {
        connection.openError_ = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(result);
        sqlite3_close_v2(db);
        return connection;
    }
    connection.db_.reset(db);
    sqlite3_busy_timeout(db, busyTimeoutMs);
    return connection;
}

bool Connection::execute(std::string_view sql) {
    Statement statement(db_.get(), sql);
    while (statement.step()) {
    }
    return statement.done();
}

void Connection::setCheckpointOnClose(bool enabled) {
    if (db_) sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, enabled ? 0 : 1, nullptr);
}

std::string Connection::lastError() const { return db_ ? sqlite3_errmsg(db_.get()) : openError_; }

} // namespace veq::sqlite
