#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// A thin owner of one SQLite connection and its statements, for the session catalogue's store.
// Nothing here throws: every call reports success, and the caller decides what a failure means.
namespace veq::sqlite {

struct ConnectionCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);

    bool valid() const { return statement_ != nullptr; }

    // Parameters are numbered from 1.
    void bind(int index, std::int64_t value);
    void bind(int index, double value);
    void bind(int index, std::string_view value);
    void bindNull(int index);
    template <typename T>
    void bind(int index, const std::optional<T>& value) {
        if (value) bind(index, *value);
        else bindNull(index);
    }

    // True while a row is ready; false at the end or on failure (see done()).
    bool step();
    // True when the last step() ran the statement to its end without error.
    bool done() const { return lastResult_ == SQLITE_DONE; }

    // Columns are numbered from 0.
    bool isNull(int column) const;
    std::int64_t integer(int column) const;
    double real(int column) const;
    std::string text(int column) const;

private:
    std::unique_ptr<sqlite3_stmt, StatementFinalizer> statement_;
    int lastResult_ = SQLITE_OK;
};

class Connection {
public:
    // Opens (creating when missing) a database file, or a private in-memory one for ":memory:".
    // Check valid(): SQLite reports a file that is not a database only at its first statement.
    static Connection open(const std::string& path);

    bool valid() const { return db_ != nullptr; }
    sqlite3* handle() const { return db_.get(); }
    // Runs statements that return no rows.
    bool execute(std::string_view sql);
    Statement prepare(std::string_view sql) { return Statement(db_.get(), sql); }
    std::string lastError() const;
    // Whether closing folds the write-ahead log back into the database file.
    void setCheckpointOnClose(bool enabled);

private:
    std::unique_ptr<sqlite3, ConnectionCloser> db_;
    std::string openError_;
};

} // namespace veq::sqlite
