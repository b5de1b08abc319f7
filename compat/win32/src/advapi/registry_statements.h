// The store's SQL: one table of every statement, name and text together, prepared once
// per connection; and Query, which runs one of them and answers in Win32 codes.
#pragma once

#include <windows.h>

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "advapi/registry_store.h"

namespace navo::win32::registry {

// X(name, text): each statement once.
#define NAVO_REGISTRY_STATEMENTS(X)                                                                                  \
    X(Begin, "BEGIN")                                                                                                \
    X(BeginImmediate, "BEGIN IMMEDIATE")                                                                             \
    X(Commit, "COMMIT")                                                                                              \
    X(Rollback, "ROLLBACK")                                                                                          \
    X(SchemaVersion,                                                                                                 \
      "SELECT (SELECT user_version FROM pragma_user_version), (SELECT count(*) FROM sqlite_master)")                 \
    X(LookupChild, "SELECT id, boot, readonly, depth FROM keys WHERE parent = ?1 AND fold = ?2")                     \
    X(LoadKey, "SELECT boot, readonly, depth FROM keys WHERE id = ?1")                                               \
    X(DeleteKey, "DELETE FROM keys WHERE id = ?1")                                                                   \
    X(InsertKey,                                                                                                     \
      "INSERT INTO keys(parent, name, fold, class, boot, depth, written) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)")       \
    X(MakeStable, "UPDATE keys SET boot = NULL WHERE id = ?1")                                                       \
    X(Touch, "UPDATE keys SET written = ?2 WHERE id = ?1")                                                           \
    X(SetReadOnly, "UPDATE keys SET readonly = ?2 WHERE id = ?1")                                                    \
    X(TreeHasReadOnly,                                                                                               \
      "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id)" \
      " SELECT EXISTS(SELECT 1 FROM keys WHERE readonly <> 0 AND id IN tree)")                                       \
    X(SubKeysAt,                                                                                                     \
      "SELECT name, class, written, fold FROM keys WHERE parent = ?1 AND (boot IS NULL OR boot = ?2)"                \
      " ORDER BY fold LIMIT ?4 OFFSET ?3")                                                                           \
    X(SubKeysAfter,                                                                                                  \
      "SELECT name, class, written, fold FROM keys WHERE parent = ?1 AND (boot IS NULL OR boot = ?2)"                \
      " AND fold > ?3 ORDER BY fold LIMIT ?4")                                                                       \
    X(SubKeyStats,                                                                                                   \
      "SELECT count(*), ifnull(max(length(name)), 0), ifnull(max(length(class)), 0) FROM keys"                      \
      " WHERE parent = ?1 AND (boot IS NULL OR boot = ?2)")                                                          \
    X(KeyClass, "SELECT class, written FROM keys WHERE id = ?1")                                                     \
    X(ValueStats,                                                                                                    \
      "SELECT count(*), ifnull(max(length(name)), 0), ifnull(max(length(data)), 0) FROM vals WHERE key = ?1")       \
    X(GetValue, "SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2")                                          \
    X(SetValue,                                                                                                      \
      "INSERT INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"                                     \
      " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data")                            \
    X(DeleteValue, "DELETE FROM vals WHERE key = ?1 AND fold = ?2")                                                  \
    X(ValuesAt, "SELECT name, data, type, rowid FROM vals WHERE key = ?1 ORDER BY rowid LIMIT ?3 OFFSET ?2")         \
    X(ValuesAfter, "SELECT name, data, type, rowid FROM vals WHERE key = ?1 AND rowid > ?2 ORDER BY rowid LIMIT ?3") \
    X(HasStale, "SELECT EXISTS(SELECT 1 FROM keys WHERE boot IS NOT NULL AND boot <> ?1)")                           \
    X(PurgeStale, "DELETE FROM keys WHERE boot IS NOT NULL AND boot <> ?1")

enum class Statement : int {
#define NAVO_STATEMENT_NAME(name, text) k##name,
    NAVO_REGISTRY_STATEMENTS(NAVO_STATEMENT_NAME)
#undef NAVO_STATEMENT_NAME
        kCount
};

inline constexpr const char* kStatementText[] = {
#define NAVO_STATEMENT_TEXT(name, text) text,
    // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): statements written on two lines
    NAVO_REGISTRY_STATEMENTS(NAVO_STATEMENT_TEXT)
#undef NAVO_STATEMENT_TEXT
};

static_assert(std::size(kStatementText) == size_t(Statement::kCount), "one text per statement");
static_assert(size_t(Statement::kCount) <= kMaxStatements, "room for every statement in a connection");

// One run of a prepared statement: bind, step, read columns; reset (and its bindings
// cleared) when the Query goes out of scope, so that no read lock outlives a call.
class Query {
public:
    Query(sqlite3* db, sqlite3_stmt*& slot, Statement which) : db_(db) {
        if (!slot) sqlite3_prepare_v3(db, kStatementText[size_t(which)], -1, SQLITE_PREPARE_PERSISTENT, &slot, nullptr);
        s_ = slot;
    }
    ~Query() {
        if (s_) {
            sqlite3_reset(s_);
            sqlite3_clear_bindings(s_);
        }
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& Bind(int index, int64_t value) {
        if (s_) sqlite3_bind_int64(s_, index, value);
        return *this;
    }
    // Text and bytes as a blob, copied: names are compared byte for byte.
    Query& Bind(int index, std::string_view text) {
        if (s_) sqlite3_bind_blob(s_, index, text.empty() ? "" : text.data(), int(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // Bytes that stay valid until the step.
    Query& BindBytes(int index, const void* data, size_t size) {
        if (s_) sqlite3_bind_blob64(s_, index, size ? data : "", sqlite3_uint64(size), SQLITE_STATIC);
        return *this;
    }
    Query& BindNull(int index) {
        if (s_) sqlite3_bind_null(s_, index);
        return *this;
    }

    // The next row: ERROR_SUCCESS with a row to read, `done` past the last one, or the
    // store's failure.
    [[nodiscard]] LONG Next(LONG done) {
        if (!Step()) return Failure();
        return code_ == SQLITE_ROW ? ERROR_SUCCESS : code_ == SQLITE_DONE ? done : Failure();
    }
    // Runs a statement that gives no rows: ERROR_SUCCESS, or the store's failure.
    [[nodiscard]] LONG Run() {
        if (!Step()) return Failure();
        return code_ == SQLITE_DONE ? ERROR_SUCCESS : Failure();
    }
    // The SQLite result of the last step (extended codes).
    int Code() const { return code_; }
    // The rows the last step changed.
    int Changes() const { return sqlite3_changes(db_); }

    int64_t Int64(int column) const { return sqlite3_column_int64(s_, column); }
    int Int(int column) const { return sqlite3_column_int(s_, column); }
    bool IsNull(int column) const { return sqlite3_column_type(s_, column) == SQLITE_NULL; }
    std::string_view Bytes(int column) const {
        const void* p = sqlite3_column_blob(s_, column);
        int n = sqlite3_column_bytes(s_, column);
        return p ? std::string_view(static_cast<const char*>(p), size_t(n)) : std::string_view();
    }

private:
    bool Step() {
        if (!s_) {
            code_ = sqlite3_errcode(db_);
            return false;
        }
        code_ = sqlite3_step(s_);
        return true;
    }
    LONG Failure() const { return s_ ? StoreError(code_, sqlite3_system_errno(db_)) : StoreError(code_); }

    sqlite3* db_;
    sqlite3_stmt* s_ = nullptr;
    int code_ = SQLITE_OK;
};

}  // namespace navo::win32::registry
