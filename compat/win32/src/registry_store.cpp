// The registry's SQLite store: connections, schema, transactions and the row operations.
//
// Durability: the database runs in WAL mode with synchronous=NORMAL. A transaction is
// committed when its frames are written to the WAL file, before the call returns, so a
// write that succeeded survives the death of its process at any later moment (kill -9):
// the next connection replays the WAL. Only a crash of the whole machine may lose the
// last transactions, and never corrupts the store; synchronous=FULL would add an fsync
// to every write for that case.
//
// Sharing: each thread has its own connection. Writers take the write lock at the start
// of their transaction (BEGIN IMMEDIATE) and wait for one another through the busy
// timeout; readers in WAL mode never wait for writers. SQLITE_BUSY surfaces only after
// the timeout, as ERROR_TIMEOUT.

#include "registry_store.h"

#include <sqlite3.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <sys/mman.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <thread>
#include <iterator>

#include "system_state.h"

namespace navo::win32::registry {

namespace {

constexpr int kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 30000;

const char* const kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                  "HKEY_CURRENT_CONFIG"};

const char kSchema[] =
    "CREATE TABLE keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,"
    " name BLOB NOT NULL,"
    " fold BLOB NOT NULL,"
    " class BLOB NOT NULL DEFAULT x'',"
    " boot TEXT,"  // the boot id of a volatile key; NULL for a lasting one
    " readonly INTEGER NOT NULL DEFAULT 0,"
    " depth INTEGER NOT NULL,"
    " written INTEGER NOT NULL DEFAULT 0,"
    " UNIQUE(parent, fold));"
    "CREATE INDEX keys_volatile ON keys(boot) WHERE boot IS NOT NULL;"
    "CREATE TABLE vals("
    " key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,"
    " name BLOB NOT NULL,"
    " fold BLOB NOT NULL,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " UNIQUE(key, fold));";

// Statements by number, prepared once per connection.
const char* const kStatementText[] = {
    /* kBegin */ "BEGIN",
    /* kBeginImmediate */ "BEGIN IMMEDIATE",
    /* kCommit */ "COMMIT",
    /* kRollback */ "ROLLBACK",
    /* kLookupChild */ "SELECT id, boot, readonly, depth FROM keys WHERE parent = ?1 AND fold = ?2",
    /* kLoadKey */ "SELECT boot, readonly, depth FROM keys WHERE id = ?1",
    /* kDeleteKey */ "DELETE FROM keys WHERE id = ?1",
    /* kInsertKey */
    "INSERT INTO keys(parent, name, fold, class, boot, depth, written) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)",
    /* kTouch */ "UPDATE keys SET written = ?2 WHERE id = ?1",
    /* kSetReadOnly */ "UPDATE keys SET readonly = ?2 WHERE id = ?1",
    /* kTreeHasReadOnly */
    // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one statement on two lines
    "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id)"
    " SELECT EXISTS(SELECT 1 FROM keys WHERE readonly <> 0 AND id IN tree)",
    /* kSubKeyAt */
    "SELECT name, class, written FROM keys WHERE parent = ?1 AND (boot IS NULL OR boot = ?2)"
    " ORDER BY fold LIMIT 1 OFFSET ?3",
    /* kSubKeyStats */
    "SELECT count(*), ifnull(max(length(name)), 0), ifnull(max(length(class)), 0) FROM keys"
    " WHERE parent = ?1 AND (boot IS NULL OR boot = ?2)",
    /* kKeyClass */ "SELECT class, written FROM keys WHERE id = ?1",
    /* kValueStats */
    "SELECT count(*), ifnull(max(length(name)), 0), ifnull(max(length(data)), 0) FROM vals WHERE key = ?1",
    /* kGetValue */ "SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2",
    /* kSetValue */
    "INSERT INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
    " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data",
    /* kDeleteValue */ "DELETE FROM vals WHERE key = ?1 AND fold = ?2",
    /* kValueAt */ "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY rowid LIMIT 1 OFFSET ?2",
    /* kHasStale */ "SELECT EXISTS(SELECT 1 FROM keys WHERE boot IS NOT NULL AND boot <> ?1)",
    /* kPurgeStale */ "DELETE FROM keys WHERE boot IS NOT NULL AND boot <> ?1",
};

std::string ReadKernelBootId() {
    std::string id;
    if (FILE* f = fopen("/proc/sys/kernel/random/boot_id", "r")) {
        char buffer[64];
        size_t n = fread(buffer, 1, sizeof buffer, f);
        fclose(f);
        id.assign(buffer, n);
        while (!id.empty() && (id.back() == '\n' || id.back() == ' ')) id.pop_back();
    }
    // Without a boot id volatile keys last until the store is removed.
    if (id.empty()) id = "unknown";
    return id;
}

void BindText(sqlite3_stmt* s, int index, std::string_view text) {
    sqlite3_bind_blob(s, index, text.empty() ? "" : text.data(), int(text.size()), SQLITE_TRANSIENT);
}

std::string_view ColumnBytes(sqlite3_stmt* s, int column) {
    const void* p = sqlite3_column_blob(s, column);
    int n = sqlite3_column_bytes(s, column);
    return p ? std::string_view(static_cast<const char*>(p), size_t(n)) : std::string_view();
}

// Resets a statement when it goes out of scope, so that no read lock outlives a call.
class Reset {
public:
    explicit Reset(sqlite3_stmt* s) : s_(s) {}
    ~Reset() {
        if (s_) {
            sqlite3_reset(s_);
            sqlite3_clear_bindings(s_);
        }
    }
    Reset(const Reset&) = delete;
    Reset& operator=(const Reset&) = delete;

private:
    sqlite3_stmt* s_;
};

struct ThreadStore {
    std::unique_ptr<Store> store;
    ~ThreadStore() = default;
};
thread_local ThreadStore t_store;

}  // namespace

enum Store::Statement : int {
    kBegin,
    kBeginImmediate,
    kCommit,
    kRollback,
    kLookupChild,
    kLoadKey,
    kDeleteKey,
    kInsertKey,
    kTouch,
    kSetReadOnly,
    kTreeHasReadOnly,
    kSubKeyAt,
    kSubKeyStats,
    kKeyClass,
    kValueStats,
    kGetValue,
    kSetValue,
    kDeleteValue,
    kValueAt,
    kHasStale,
    kPurgeStale,
    kStatementCount
};

const char* RootName(KeyId id) {
    if (id < kFirstRootId || id > kLastRootId) return nullptr;
    return kRootNames[id - kFirstRootId];
}

void FoldName(std::string_view name, std::string& folded) {
    folded.clear();
    folded.reserve(name.size());
    const auto* s = reinterpret_cast<const uint8_t*>(name.data());
    const int32_t length = int32_t(name.size());
    int32_t i = 0;
    while (i < length) {
        uint8_t byte = s[i];
        if (byte < 0x80) {
            folded.push_back(byte >= 'a' && byte <= 'z' ? char(byte - 'a' + 'A') : char(byte));
            ++i;
            continue;
        }
        int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0) {
            folded.append(name.substr(size_t(start), size_t(i - start)));
            continue;
        }
        UChar32 upper = u_toupper(c);
        uint8_t out[4];
        int32_t n = 0;
        UBool error = false;
        U8_APPEND(out, n, 4, upper, error);
        if (error) folded.append(name.substr(size_t(start), size_t(i - start)));
        else folded.append(reinterpret_cast<const char*>(out), size_t(n));
    }
}

size_t NameCharacters(std::string_view name) {
    const auto* s = reinterpret_cast<const uint8_t*>(name.data());
    const int32_t length = int32_t(name.size());
    size_t count = 0;
    int32_t i = 0;
    while (i < length) {
        if (s[i] < 0x80) {
            ++count;
            ++i;
            continue;
        }
        int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0) count += size_t(i - start);
        else count += c >= 0x10000 ? 2 : 1;
    }
    return count;
}

LONG StoreError(int result, int systemErrno) {
    switch (result & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return ERROR_SUCCESS;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
    case SQLITE_SCHEMA:
    case SQLITE_MISMATCH:
        return ERROR_REGISTRY_CORRUPT;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return ERROR_ACCESS_DENIED;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ERROR_TIMEOUT;
    case SQLITE_NOMEM:
    case SQLITE_TOOBIG:
        return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_FULL:
        return ERROR_DISK_FULL;
    case SQLITE_CANTOPEN:
        return systemErrno == EACCES || systemErrno == EPERM ? ERROR_ACCESS_DENIED : ERROR_REGISTRY_IO_FAILED;
    case SQLITE_CONSTRAINT:
        // The schema's constraints hold for every row the layer writes; a violation means
        // the rows are not what this layer made.
        return ERROR_REGISTRY_CORRUPT;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

std::string CurrentBootId() {
    const char* forced = getenv("NAVOTOOLS_BOOT_ID");
    if (forced && *forced) return forced;
    static const std::string kernel = ReadKernelBootId();
    return kernel;
}

int64_t FileTimeNow() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    // 1601-01-01 to 1970-01-01 is 11644473600 seconds.
    return (int64_t(tv.tv_sec) + 11644473600LL) * 10000000LL + int64_t(tv.tv_usec) * 10;
}

Store::~Store() {
    // A child process of a fork must not close its parent's connection: closing would
    // checkpoint and could remove the WAL under the parent's feet. It leaves it alone.
    if (pid_ != int(getpid())) return;
    for (sqlite3_stmt*& s : statements_) {
        if (s) sqlite3_finalize(s);
        s = nullptr;
    }
    if (db_) sqlite3_close_v2(db_);
    if (counter_) munmap(const_cast<uint64_t*>(counter_), sizeof(uint64_t));
}

void Store::OpenCounter() {
    std::string file = path_ + "-seq";
    int fd = open(file.c_str(), (writable_ ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC, 0600);
    if (fd < 0) return;
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    if (ok && st.st_size < off_t(sizeof(uint64_t))) ok = writable_ && ftruncate(fd, sizeof(uint64_t)) == 0;
    void* map = ok ? mmap(nullptr, sizeof(uint64_t), writable_ ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0)
                   : MAP_FAILED;
    close(fd);
    if (map != MAP_FAILED) counter_ = static_cast<volatile uint64_t*>(map);
}

void Store::MoveCounter(bool starting) {
    if (!counter_ || !writable_) return;
    uint64_t* word = const_cast<uint64_t*>(counter_);
    if (starting) {
        // Odd: a write is under way. An odd counter already is a writer that died; it is
        // moved on all the same, so that no result cached under it survives.
        uint64_t now = __atomic_load_n(word, __ATOMIC_SEQ_CST);
        __atomic_fetch_add(word, (now & 1) ? 2 : 1, __ATOMIC_SEQ_CST);
    } else {
        __atomic_fetch_add(word, 1, __ATOMIC_SEQ_CST);
    }
}

uint64_t Store::ChangeCount() const {
    if (!counter_ || writing_) return 1;
    return __atomic_load_n(const_cast<const uint64_t*>(counter_), __ATOMIC_SEQ_CST);
}

bool Store::PrepareCache(uint64_t count) {
    if (count & 1) return false;
    if (count != cachedAt_ || keyCache_.size() + valueCache_.size() > 4096) {
        keyCache_.clear();
        valueCache_.clear();
        cachedAt_ = count;
    }
    return true;
}

std::unordered_map<std::string, KeyRow>* Store::KeyCache(uint64_t count) {
    return PrepareCache(count) ? &keyCache_ : nullptr;
}

std::unordered_map<std::string, Store::CachedValue>* Store::ValueCache(uint64_t count) {
    return PrepareCache(count) ? &valueCache_ : nullptr;
}

sqlite3_stmt* Store::Prepare(Statement which) {
    static_assert(std::size(kStatementText) == size_t(kStatementCount), "one text per statement");
    static_assert(sizeof statements_ / sizeof statements_[0] >= size_t(kStatementCount), "room for every statement");
    sqlite3_stmt*& s = statements_[which];
    if (!s) sqlite3_prepare_v3(db_, kStatementText[which], -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
    return s;
}

LONG Store::Exec(const char* sql) {
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    return StoreError(rc, sqlite3_system_errno(db_));
}

LONG Store::Open(const std::string& path) {
    path_ = path;
    pid_ = int(getpid());
    struct stat st;
    bool exists = stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return ERROR_REGISTRY_IO_FAILED;
    writable_ = !exists || access(path.c_str(), W_OK) == 0;
    int flags = SQLITE_OPEN_NOMUTEX | (writable_ ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY);
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        LONG error = StoreError(rc, db_ ? sqlite3_system_errno(db_) : 0);
        return error ? error : ERROR_REGISTRY_IO_FAILED;
    }
    if (sqlite3_db_readonly(db_, "main") == 1) writable_ = false;
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db_, 1);
    // While several connections meet a new file at once, switching it to WAL and reading
    // its schema can answer SQLITE_BUSY at once, without the busy handler (SQLite does not
    // wait where waiting could deadlock). Those first steps are retried until the busy
    // timeout has passed.
    auto retrying = [](auto step) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
        for (unsigned attempt = 0;; ++attempt) {
            LONG error = step();
            if (error != ERROR_TIMEOUT || std::chrono::steady_clock::now() >= deadline) return error;
            std::this_thread::sleep_for(std::chrono::microseconds(500 + 250 * (attempt % 8)));
        }
    };
    if (LONG error = retrying([this] {
            if (LONG e = Exec("PRAGMA foreign_keys = ON; PRAGMA synchronous = NORMAL")) return e;
            // Persistent in the file once set; reading it back also proves the file is a database.
            if (writable_)
                if (LONG e = Exec("PRAGMA journal_mode = WAL")) return e;
            return CreateSchema();
        }))
        return error;
    OpenCounter();
    boot_ = CurrentBootId();
    return retrying([this] { return PurgeStaleVolatileKeys(); });
}

LONG Store::CreateSchema() {
    auto version = [this](int& value, int& tables) -> LONG {
        sqlite3_stmt* s = nullptr;
        int rc = sqlite3_prepare_v2(db_, "SELECT (SELECT user_version FROM pragma_user_version),"
                                    " (SELECT count(*) FROM sqlite_master)", -1, &s, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_step(s);
        if (rc == SQLITE_ROW) {
            value = sqlite3_column_int(s, 0);
            tables = sqlite3_column_int(s, 1);
        }
        sqlite3_finalize(s);
        return rc == SQLITE_ROW ? ERROR_SUCCESS : StoreError(rc, sqlite3_system_errno(db_));
    };
    int current = 0, tables = 0;
    if (LONG error = version(current, tables)) return error;
    if (current == kSchemaVersion) return ERROR_SUCCESS;
    // Any other file that SQLite can read is not a store of this layer; it is left alone.
    if (current != 0 || tables != 0) return ERROR_REGISTRY_CORRUPT;
    if (!writable_) return ERROR_ACCESS_DENIED;
    if (LONG error = Exec("BEGIN IMMEDIATE")) return error;
    // Another process may have made it while this one waited for the lock.
    LONG error = version(current, tables);
    if (!error && current == 0 && tables == 0) {
        error = Exec(kSchema);
        for (KeyId id = kFirstRootId; !error && id <= kLastRootId; ++id) {
            char sql[200];
            std::string fold;
            FoldName(RootName(id), fold);
            snprintf(sql, sizeof sql, "INSERT INTO keys(id, parent, name, fold, depth) VALUES(%lld, NULL, '%s', '%s', 0)",
                     static_cast<long long>(id), RootName(id), fold.c_str());
            error = Exec(sql);
        }
        if (!error) error = Exec("PRAGMA user_version = 1");
    } else if (!error && current != kSchemaVersion) {
        error = ERROR_REGISTRY_CORRUPT;
    }
    if (error) {
        Exec("ROLLBACK");
        return error;
    }
    return Exec("COMMIT");
}

LONG Store::PurgeStaleVolatileKeys() {
    sqlite3_stmt* s = Prepare(kHasStale);
    if (!s) return StoreError(sqlite3_errcode(db_));
    bool stale = false;
    {
        Reset reset(s);
        BindText(s, 1, boot_);
        int rc = sqlite3_step(s);
        if (rc != SQLITE_ROW) return StoreError(rc, sqlite3_system_errno(db_));
        stale = sqlite3_column_int(s, 0) != 0;
    }
    // A store that may not be written keeps them; lookups skip them all the same.
    if (!stale || !writable_) return ERROR_SUCCESS;
    if (LONG error = Begin(true)) return error;
    sqlite3_stmt* purge = Prepare(kPurgeStale);
    int rc = SQLITE_ERROR;
    if (purge) {
        Reset reset(purge);
        BindText(purge, 1, boot_);
        rc = sqlite3_step(purge);
    }
    if (rc != SQLITE_DONE) {
        LONG error = StoreError(rc, sqlite3_system_errno(db_));
        Rollback();
        return error;
    }
    return Commit();
}

LONG Store::RefreshBoot() {
    std::string boot = CurrentBootId();
    if (boot == boot_) return ERROR_SUCCESS;
    boot_ = std::move(boot);
    // Which volatile keys exist has changed without a write.
    keyCache_.clear();
    valueCache_.clear();
    return PurgeStaleVolatileKeys();
}

bool Store::InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

LONG Store::Begin(bool write) {
    sqlite3_stmt* s = Prepare(write ? kBeginImmediate : kBegin);
    if (!s) return StoreError(sqlite3_errcode(db_));
    Reset reset(s);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) return StoreError(rc, sqlite3_system_errno(db_));
    if (write) {
        writing_ = true;
        MoveCounter(true);
    }
    return ERROR_SUCCESS;
}

LONG Store::Commit() {
    sqlite3_stmt* s = Prepare(kCommit);
    if (!s) return StoreError(sqlite3_errcode(db_));
    int rc;
    {
        Reset reset(s);
        rc = sqlite3_step(s);
    }
    if (rc == SQLITE_DONE) {
        if (writing_) {
            writing_ = false;
            MoveCounter(false);
        }
        return ERROR_SUCCESS;
    }
    LONG error = StoreError(rc, sqlite3_system_errno(db_));
    Rollback();
    return error;
}

void Store::Rollback() {
    if (InTransaction()) {
        if (sqlite3_stmt* s = Prepare(kRollback)) {
            Reset reset(s);
            sqlite3_step(s);
        }
    }
    if (writing_) {
        writing_ = false;
        MoveCounter(false);
    }
}

LONG Store::LookupChild(KeyId parent, std::string_view name, KeyRow& row) {
    sqlite3_stmt* s = Prepare(kLookupChild);
    if (!s) return StoreError(sqlite3_errcode(db_));
    Reset reset(s);
    FoldName(name, fold_);
    sqlite3_bind_int64(s, 1, parent);
    BindText(s, 2, fold_);
    int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
    if (rc != SQLITE_ROW) return StoreError(rc, sqlite3_system_errno(db_));
    if (sqlite3_column_type(s, 1) != SQLITE_NULL && ColumnBytes(s, 1) != boot_) return ERROR_FILE_NOT_FOUND;
    row.id = sqlite3_column_int64(s, 0);
    row.isVolatile = sqlite3_column_type(s, 1) != SQLITE_NULL;
    row.readOnly = sqlite3_column_int(s, 2) != 0;
    row.depth = sqlite3_column_int(s, 3);
    return ERROR_SUCCESS;
}

LONG Store::LoadKey(KeyId id, KeyRow& row) {
    sqlite3_stmt* s = Prepare(kLoadKey);
    if (!s) return StoreError(sqlite3_errcode(db_));
    Reset reset(s);
    sqlite3_bind_int64(s, 1, id);
    int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) return ERROR_KEY_DELETED;
    if (rc != SQLITE_ROW) return StoreError(rc, sqlite3_system_errno(db_));
    if (sqlite3_column_type(s, 0) != SQLITE_NULL && ColumnBytes(s, 0) != boot_) return ERROR_KEY_DELETED;
    row.id = id;
    row.isVolatile = sqlite3_column_type(s, 0) != SQLITE_NULL;
    row.readOnly = sqlite3_column_int(s, 1) != 0;
    row.depth = sqlite3_column_int(s, 2);
    return ERROR_SUCCESS;
}

LONG Store::InsertChild(const KeyRow& parent, std::string_view name, bool isVolatile, std::string_view keyClass,
                        KeyRow& row) {
    // A row of the same name may remain from an earlier system start, when the store could
    // not be written at the time; it is gone and makes way.
    {
        sqlite3_stmt* s = Prepare(kLookupChild);
        if (!s) return StoreError(sqlite3_errcode(db_));
        Reset reset(s);
        FoldName(name, fold_);
        sqlite3_bind_int64(s, 1, parent.id);
        BindText(s, 2, fold_);
        int rc = sqlite3_step(s);
        if (rc == SQLITE_ROW) {
            KeyId stale = sqlite3_column_int64(s, 0);
            sqlite3_reset(s);
            if (LONG error = DeleteTree(stale)) return error;
        } else if (rc != SQLITE_DONE) {
            return StoreError(rc, sqlite3_system_errno(db_));
        }
    }
    sqlite3_stmt* s = Prepare(kInsertKey);
    if (!s) return StoreError(sqlite3_errcode(db_));
    Reset reset(s);
    FoldName(name, fold_);
    sqlite3_bind_int64(s, 1, parent.id);
    BindText(s, 2, name);
    BindText(s, 3, fold_);
    BindText(s, 4, keyClass);
    if (isVolatile) BindText(s, 5, boot_);
    else sqlite3_bind_null(s, 5);
    sqlite3_bind_int(s, 6, parent.depth + 1);
    sqlite3_bind_int64(s, 7, FileTimeNow());
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) return StoreError(rc, sqlite3_system_errno(db_));
    row.id = sqlite3_last_insert_rowid(db_);
    row.isVolatile = isVolatile;
    row.readOnly = false;
    row.depth = parent.depth + 1;
    return ERROR_SUCCESS;
}

LONG Store::Touch(KeyId id) {
    sqlite3_stmt* s = Prepare(kTouch);
    if (!s) return StoreError(sqlite3_errcode(db_));
    Reset reset(s);
    sqlite3_bind_int64(s, 1, id);
    sqlite3_bind_int64(s, 2, FileTimeNow());
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) return StoreError(rc, sqlite3_system_errno(db_));
    return sqlite3_changes(db_) == 0 ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

LONG Store::SetReadOnly(KeyId id, bool readOnly) {
    sqlite3_stmt* s = Prepare(kSetReadOnly);
    if (!s) return StoreError(sqlite3_errcode(db_));
    Reset reset(s);
    sqlite3_bind_int64(s, 1, id);
    sqlite3_bind_int(s, 2, readOnly ? 1 : 0);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) return StoreError(rc, sqlite3_system_errno(db_));
    return sqlite3_changes(db_) == 0 ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

LONG Store::DeleteTree(KeyId id) {
    {
        sqlite3_stmt* s = Prepare(kTreeHasReadOnly);
        if (!s) return StoreError(sqlite3_errcode(db_));
        Reset reset(s);
        sqlite3_bind_int64(s, 1, id);
        int rc = sqlite3_step(s);
        if (rc != SQLITE_ROW) return StoreError(rc, sqlite3_system_errno(db_));
        if (sqlite3_column_int(s, 0) != 0) return ERROR_ACCESS_DENIED;
    }
    sqlite3_stmt* s = Prepare(kDeleteKey);
    if (!s) return StoreError(sqlite3_errcode(db_));
    Reset reset(s);
    sqlite3_bind_int64(s, 1, id);
    int rc = sqlite3_step(s);
    return rc == SQLITE_DONE ? ERROR_SUCCESS : StoreError(rc, sqlite3_system_errno(db_));
}

LONG Store::SubKeyAt(KeyId id, DWORD index, std::string& name, std::string& keyClass, int64_t& written) {
    sqlite3_stmt* s = Prepare(kSubKeyAt);
    if (!s) return StoreError(sqlite3_errcode(db_));
    Reset reset(s);
    sqlite3_bind_int64(s, 1, id);
    BindText(s, 2, boot_);
    sqlite3_bind_int64(s, 3, int64_t(index));
    int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
    if (rc != SQLITE_ROW) return StoreError(rc, sqlite3_system_errno(db_));
    name.assign(ColumnBytes(s, 0));
    keyClass.assign(ColumnBytes(s, 1));
    written = sqlite3_column_int64(s, 2);
    return ERROR_SUCCESS;
}

LONG Store::QueryKeyInfo(KeyId id, KeyInfo& info) {
    sqlite3_stmt* s = Prepare(kKeyClass);
    if (!s) return StoreError(sqlite3_errcode(db_));
    {
        Reset reset(s);
        sqlite3_bind_int64(s, 1, id);
        int rc = sqlite3_step(s);
        if (rc == SQLITE_DONE) return ERROR_KEY_DELETED;
        if (rc != SQLITE_ROW) return StoreError(rc, sqlite3_system_errno(db_));
        info.keyClass.assign(ColumnBytes(s, 0));
        info.written = sqlite3_column_int64(s, 1);
    }
    s = Prepare(kSubKeyStats);
    if (!s) return StoreError(sqlite3_errcode(db_));
    {
        Reset reset(s);
        sqlite3_bind_int64(s, 1, id);
        BindText(s, 2, boot_);
        int rc = sqlite3_step(s);
        if (rc != SQLITE_ROW) return StoreError(rc, sqlite3_system_errno(db_));
        info.subKeys = DWORD(sqlite3_column_int64(s, 0));
        info.maxSubKeyLength = DWORD(sqlite3_column_int64(s, 1));
        info.maxClassLength = DWORD(sqlite3_column_int64(s, 2));
    }
    s = Prepare(kValueStats);
    if (!s) return StoreError(sqlite3_errcode(db_));
    Reset reset(s);
    sqlite3_bind_int64(s, 1, id);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) return StoreError(rc, sqlite3_system_errno(db_));
    info.values = DWORD(sqlite3_column_int64(s, 0));
    info.maxValueNameLength = DWORD(sqlite3_column_int64(s, 1));
    info.maxValueLength = DWORD(sqlite3_column_int64(s, 2));
    return ERROR_SUCCESS;
}

LONG Store::GetValue(KeyId id, std::string_view name, DWORD& type, std::string* data) {
    sqlite3_stmt* s = Prepare(kGetValue);
    if (!s) return StoreError(sqlite3_errcode(db_));
    Reset reset(s);
    FoldName(name, fold_);
    sqlite3_bind_int64(s, 1, id);
    BindText(s, 2, fold_);
    int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
    if (rc != SQLITE_ROW) return StoreError(rc, sqlite3_system_errno(db_));
    type = DWORD(sqlite3_column_int64(s, 0));
    if (data) data->assign(ColumnBytes(s, 1));
    return ERROR_SUCCESS;
}

LONG Store::SetValue(KeyId id, std::string_view name, DWORD type, const void* data, size_t size) {
    sqlite3_stmt* s = Prepare(kSetValue);
    if (!s) return StoreError(sqlite3_errcode(db_));
    Reset reset(s);
    FoldName(name, fold_);
    sqlite3_bind_int64(s, 1, id);
    BindText(s, 2, name);
    BindText(s, 3, fold_);
    sqlite3_bind_int64(s, 4, int64_t(type));
    sqlite3_bind_blob64(s, 5, size ? data : "", sqlite3_uint64(size), SQLITE_STATIC);
    int rc = sqlite3_step(s);
    if (rc == SQLITE_CONSTRAINT_FOREIGNKEY) return ERROR_KEY_DELETED;
    return rc == SQLITE_DONE ? ERROR_SUCCESS : StoreError(rc, sqlite3_system_errno(db_));
}

LONG Store::DeleteValue(KeyId id, std::string_view name) {
    sqlite3_stmt* s = Prepare(kDeleteValue);
    if (!s) return StoreError(sqlite3_errcode(db_));
    Reset reset(s);
    FoldName(name, fold_);
    sqlite3_bind_int64(s, 1, id);
    BindText(s, 2, fold_);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) return StoreError(rc, sqlite3_system_errno(db_));
    return sqlite3_changes(db_) == 0 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

LONG Store::ValueAt(KeyId id, DWORD index, std::string& name, DWORD& type, std::string& data) {
    sqlite3_stmt* s = Prepare(kValueAt);
    if (!s) return StoreError(sqlite3_errcode(db_));
    Reset reset(s);
    sqlite3_bind_int64(s, 1, id);
    sqlite3_bind_int64(s, 2, int64_t(index));
    int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
    if (rc != SQLITE_ROW) return StoreError(rc, sqlite3_system_errno(db_));
    name.assign(ColumnBytes(s, 0));
    type = DWORD(sqlite3_column_int64(s, 1));
    data.assign(ColumnBytes(s, 2));
    return ERROR_SUCCESS;
}

Store* CurrentStore(LONG& error) {
    error = ERROR_SUCCESS;
    std::unique_ptr<Store>& store = t_store.store;
    if (store && store->pid_ != int(getpid())) {
        // Inherited through fork: the parent's connection is not this process's to use.
        (void)store.release();
    }
    std::string dir = StateDirectory();
    if (dir.empty()) {
        error = ERROR_REGISTRY_IO_FAILED;
        return nullptr;
    }
    std::string path = dir + "/registry.db";
    if (store && store->path_ == path) {
        if ((error = store->RefreshBoot()) != ERROR_SUCCESS) return nullptr;
        return store.get();
    }
    store.reset();
    if (EnsureStateDirectory().empty()) {
        error = errno == EACCES || errno == EPERM ? ERROR_ACCESS_DENIED : ERROR_REGISTRY_IO_FAILED;
        return nullptr;
    }
    std::unique_ptr<Store> fresh(new Store);
    if ((error = fresh->Open(path)) != ERROR_SUCCESS) return nullptr;  // tried again at the next call
    store = std::move(fresh);
    return store.get();
}

}  // namespace navo::win32::registry
