// SQLite (the registry's store), loaded when the first key is opened (late_library.h).
// Without it, sqlite3_open_v2 answers SQLITE_CANTOPEN and sets the diagnosis; the
// registry call fails with ERROR_REGISTRY_IO_FAILED.
#include <sqlite3.h>

#include "system/late_forward.h"

// clang-format off
#define NAVO_SQLITE_FUNCTIONS(X) \
    X(int, sqlite3_bind_blob, (sqlite3_stmt* s, int i, const void* v, int n, void (*d)(void*)), (s, i, v, n, d), SQLITE_MISUSE) \
    X(int, sqlite3_bind_blob64, (sqlite3_stmt* s, int i, const void* v, sqlite3_uint64 n, void (*d)(void*)), (s, i, v, n, d), SQLITE_MISUSE) \
    X(int, sqlite3_bind_int, (sqlite3_stmt* s, int i, int v), (s, i, v), SQLITE_MISUSE) \
    X(int, sqlite3_bind_int64, (sqlite3_stmt* s, int i, sqlite3_int64 v), (s, i, v), SQLITE_MISUSE) \
    X(int, sqlite3_bind_null, (sqlite3_stmt* s, int i), (s, i), SQLITE_MISUSE) \
    X(int, sqlite3_busy_timeout, (sqlite3* db, int ms), (db, ms), SQLITE_MISUSE) \
    X(int, sqlite3_changes, (sqlite3* db), (db), 0) \
    X(int, sqlite3_clear_bindings, (sqlite3_stmt* s), (s), SQLITE_MISUSE) \
    X(int, sqlite3_close_v2, (sqlite3* db), (db), SQLITE_OK) \
    X(const void*, sqlite3_column_blob, (sqlite3_stmt* s, int c), (s, c), nullptr) \
    X(int, sqlite3_column_bytes, (sqlite3_stmt* s, int c), (s, c), 0) \
    X(int, sqlite3_column_int, (sqlite3_stmt* s, int c), (s, c), 0) \
    X(sqlite3_int64, sqlite3_column_int64, (sqlite3_stmt* s, int c), (s, c), 0) \
    X(int, sqlite3_column_type, (sqlite3_stmt* s, int c), (s, c), SQLITE_NULL) \
    X(int, sqlite3_db_readonly, (sqlite3* db, const char* name), (db, name), -1) \
    X(int, sqlite3_errcode, (sqlite3* db), (db), SQLITE_CANTOPEN) \
    X(int, sqlite3_exec, (sqlite3* db, const char* sql, int (*f)(void*, int, char**, char**), void* a, char** e), (db, sql, f, a, e), SQLITE_MISUSE) \
    X(int, sqlite3_extended_result_codes, (sqlite3* db, int on), (db, on), SQLITE_MISUSE) \
    X(int, sqlite3_file_control, (sqlite3* db, const char* name, int op, void* arg), (db, name, op, arg), SQLITE_MISUSE) \
    X(int, sqlite3_finalize, (sqlite3_stmt* s), (s), SQLITE_OK) \
    X(int, sqlite3_get_autocommit, (sqlite3* db), (db), 1) \
    X(sqlite3_int64, sqlite3_last_insert_rowid, (sqlite3* db), (db), 0) \
    X(int, sqlite3_open_v2, (const char* file, sqlite3** db, int flags, const char* vfs), (file, db, flags, vfs), MissingOpen(db)) \
    X(int, sqlite3_prepare_v2, (sqlite3* db, const char* sql, int n, sqlite3_stmt** s, const char** tail), (db, sql, n, s, tail), SQLITE_MISUSE) \
    X(int, sqlite3_prepare_v3, (sqlite3* db, const char* sql, int n, unsigned flags, sqlite3_stmt** s, const char** tail), (db, sql, n, flags, s, tail), SQLITE_MISUSE) \
    X(int, sqlite3_reset, (sqlite3_stmt* s), (s), SQLITE_MISUSE) \
    X(int, sqlite3_step, (sqlite3_stmt* s), (s), SQLITE_MISUSE) \
    X(int, sqlite3_system_errno, (sqlite3* db), (db), 0)
// clang-format on

namespace {

enum : size_t { NAVO_SQLITE_FUNCTIONS(NAVO_LATE_INDEX) kLateCount };
constexpr const char* kNames[] = {NAVO_SQLITE_FUNCTIONS(NAVO_LATE_NAME)};
void* g_slots[kLateCount];
constinit navo::win32::LateLibrary g_sqlite("SQLite", "libsqlite3.so.0", kNames, g_slots, kLateCount);

int MissingOpen(sqlite3** db) {
    if (db) *db = nullptr;
    g_sqlite.Diagnose();
    return SQLITE_CANTOPEN;
}

}  // namespace

extern "C" {
#define NAVO_SQLITE_FORWARD(...) NAVO_LATE_FORWARD(g_sqlite, __VA_ARGS__)
NAVO_SQLITE_FUNCTIONS(NAVO_SQLITE_FORWARD)
}
