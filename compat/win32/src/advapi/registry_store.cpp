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

#include "advapi/registry_store.h"

#include <sqlite3.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>
#include <thread>

#include "system/system_state.h"

namespace navo::win32::registry {

namespace {

// 1: keys and values. 2: the standard keys, stable, and the index of values in the order
// they were first set.
constexpr int kSchemaVersion = 2;
constexpr size_t kBatchRows = 256;          // the most rows of an enumeration read at once
constexpr size_t kBatchBytes = size_t(1) << 20;  // and their most bytes, beyond the first row
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

// What version 2 adds to a store of version 1.
const char kSchemaVersion2[] = "CREATE INDEX IF NOT EXISTS vals_order ON vals(key);";

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
    /* kSubKeysAt */
    "SELECT name, class, written, fold FROM keys WHERE parent = ?1 AND (boot IS NULL OR boot = ?2)"
    " ORDER BY fold LIMIT ?4 OFFSET ?3",
    /* kSubKeysAfter */
    "SELECT name, class, written, fold FROM keys WHERE parent = ?1 AND (boot IS NULL OR boot = ?2)"
    " AND fold > ?3 ORDER BY fold LIMIT ?4",
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
    /* kValuesAt */ "SELECT name, data, type, rowid FROM vals WHERE key = ?1 ORDER BY rowid LIMIT ?3 OFFSET ?2",
    /* kValuesAfter */
    "SELECT name, data, type, rowid FROM vals WHERE key = ?1 AND rowid > ?2 ORDER BY rowid LIMIT ?3",
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

// The process id, kept up to date across fork by an atfork handler: getpid is a system call,
// and every registry call asks whether its connection was inherited from a parent.
std::atomic<int> g_pid{0};

int ProcessId() {
    static const bool registered = [] {
        g_pid.store(int(getpid()));
        pthread_atfork(nullptr, nullptr, [] { g_pid.store(int(getpid())); });
        return true;
    }();
    (void)registered;
    return g_pid.load(std::memory_order_relaxed);
}

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
    kSubKeysAt,
    kSubKeysAfter,
    kSubKeyStats,
    kKeyClass,
    kValueStats,
    kGetValue,
    kSetValue,
    kDeleteValue,
    kValuesAt,
    kValuesAfter,
    kHasStale,
    kPurgeStale,
    kStatementCount
};

// The keys a real system always has, taken from what a new Wine prefix holds below these
// roots, in the platform's spelling. A key's parent comes before it. HKEY_CLASSES_ROOT is
// a tree of its own in this store (it does not merge the two Software\Classes keys), so
// it has none.
const Store::StandardKey Store::kStandardKeys[] = {
    {kCurrentUserId, "AppEvents"},
    {kCurrentUserId, "Console"},
    {kCurrentUserId, "Control Panel"},
    {kCurrentUserId, "Control Panel\\Desktop"},
    {kCurrentUserId, "Control Panel\\International"},
    {kCurrentUserId, "Control Panel\\Keyboard"},
    {kCurrentUserId, "Control Panel\\Mouse"},
    {kCurrentUserId, "Environment"},
    {kCurrentUserId, "Keyboard Layout"},
    {kCurrentUserId, "Software"},
    {kCurrentUserId, "Software\\Classes"},
    {kCurrentUserId, "Software\\Microsoft"},
    {kCurrentUserId, "Software\\Microsoft\\Windows"},
    {kCurrentUserId, "Software\\Microsoft\\Windows\\CurrentVersion"},
    {kCurrentUserId, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {kCurrentUserId, "Software\\Microsoft\\Windows NT"},
    {kCurrentUserId, "Software\\Microsoft\\Windows NT\\CurrentVersion"},
    {kLocalMachineId, "HARDWARE"},
    {kLocalMachineId, "HARDWARE\\DESCRIPTION"},
    {kLocalMachineId, "HARDWARE\\DESCRIPTION\\System"},
    {kLocalMachineId, "SOFTWARE"},
    {kLocalMachineId, "SOFTWARE\\Classes"},
    {kLocalMachineId, "SOFTWARE\\Clients"},
    {kLocalMachineId, "SOFTWARE\\Microsoft"},
    {kLocalMachineId, "SOFTWARE\\Microsoft\\Windows"},
    {kLocalMachineId, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion"},
    {kLocalMachineId, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {kLocalMachineId, "SOFTWARE\\Microsoft\\Windows NT"},
    {kLocalMachineId, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"},
    {kLocalMachineId, "SOFTWARE\\Policies"},
    {kLocalMachineId, "SYSTEM"},
    {kLocalMachineId, "SYSTEM\\CurrentControlSet"},
    {kLocalMachineId, "SYSTEM\\CurrentControlSet\\Control"},
    {kLocalMachineId, "SYSTEM\\CurrentControlSet\\Enum"},
    {kLocalMachineId, "SYSTEM\\CurrentControlSet\\Services"},
    {kUsersId, ".DEFAULT"},
    {kUsersId, ".DEFAULT\\Software"},
    {kCurrentConfigId, "Software"},
    {kCurrentConfigId, "System"},
};
const size_t Store::kStandardKeyCount = std::size(Store::kStandardKeys);

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
    if (pid_ != ProcessId()) return;
    for (sqlite3_stmt*& s : statements_) {
        if (s) sqlite3_finalize(s);
        s = nullptr;
    }
    if (db_) sqlite3_close_v2(db_);
    if (counter_) munmap(const_cast<uint64_t*>(counter_), sizeof(uint64_t));
}

LONG Store::OpenCounter() {
    // Next to the database file itself, so that every path to one database shares one
    // counter; never through a link, only a regular file of the user's own.
    std::string file = realPath_ + "-seq";
    int fd = writable_ ? OpenPrivateFile(file, O_RDWR | O_CREAT)
                       : open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // Without one a store that may only be read keeps no results (the caches check
        // the counter); a writer must have one, or other processes would keep stale ones.
        return writable_ ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    }
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok && st.st_size < off_t(sizeof(uint64_t))) ok = writable_ && ftruncate(fd, sizeof(uint64_t)) == 0;
    void* map = ok ? mmap(nullptr, sizeof(uint64_t), writable_ ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0)
                   : MAP_FAILED;
    close(fd);
    if (map != MAP_FAILED) counter_ = static_cast<volatile uint64_t*>(map);
    return counter_ || !writable_ ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
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

namespace {

// Where a file's directory is: "." for a bare name.
std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

LONG Store::PrepareFiles() {
    // The files beside the database are never links: one planted there would make every
    // write land in the file it names.
    for (const char* suffix : {"-wal", "-shm", "-seq", "-journal"}) {
        struct stat st;
        std::string file = realPath_ + suffix;
        if (lstat(file.c_str(), &st) != 0) continue;
        if (!S_ISREG(st.st_mode)) return ERROR_ACCESS_DENIED;
        // Made readable by others by an earlier version: private again.
        if ((st.st_mode & 077) && st.st_uid == geteuid()) {
            int fd = OpenPrivateFile(file, O_RDONLY);
            if (fd >= 0) close(fd);
        }
    }
    if (!writable_) return ERROR_SUCCESS;
    // Made here, private whatever the umask; SQLite gives its -wal and -shm the database's
    // mode.
    int fd = OpenPrivateFile(realPath_, O_RDWR | O_CREAT);
    if (fd < 0) return errno == ELOOP || errno == EINVAL || errno == EPERM ? ERROR_ACCESS_DENIED : ERROR_REGISTRY_IO_FAILED;
    close(fd);
    return ERROR_SUCCESS;
}

bool Store::SnapshotCurrent() const {
    struct stat st;
    if (stat((realPath_ + "-wal").c_str(), &st) == 0) return false;
    if (stat(realPath_.c_str(), &st) != 0) return false;
    return st.st_dev == stamp_.dev && st.st_ino == stamp_.ino && st.st_size == stamp_.size &&
           int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec == stamp_.modified;
}

LONG Store::Open(const std::string& path) {
    path_ = path;
    pid_ = ProcessId();
    struct stat st;
    bool exists = stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return ERROR_REGISTRY_IO_FAILED;
    // The database may be a symbolic link the user made (the state directory is private);
    // SQLite keeps its -wal and -shm next to the file it names, and so does this layer's
    // change counter, which thus belongs to the database whatever path reached it.
    realPath_ = path;
    if (exists) {
        if (char* real = realpath(path.c_str(), nullptr)) {
            realPath_ = real;
            free(real);
        }
    }
    // Writing needs the file and its directory, where SQLite makes its -wal and -shm: a
    // store in a directory the user may not write is read-only.
    writable_ = (!exists || access(path.c_str(), W_OK) == 0) && access(DirectoryOf(realPath_).c_str(), W_OK) == 0;
    if (!exists && !writable_) return ERROR_ACCESS_DENIED;
    if (LONG error = PrepareFiles()) return error;
    // Read-only access to a database in WAL mode needs its -wal and -shm files (this layer
    // keeps them, see below). Without a -wal file in a directory that cannot be written,
    // nothing can be written to the database without first making that file, so the
    // database alone is its whole content: it is read as an unchanging snapshot, which
    // CurrentStore drops as soon as a -wal file appears or the file changes.
    std::string uri = "file:";
    for (char c : realPath_) {
        if (c == '%' || c == '?' || c == '#') {
            char escaped[4];
            snprintf(escaped, sizeof escaped, "%%%02X", unsigned(static_cast<unsigned char>(c)));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    struct stat wal;
    if (!writable_ && stat((realPath_ + "-wal").c_str(), &wal) != 0 && errno == ENOENT) {
        struct stat db;
        if (stat(realPath_.c_str(), &db) == 0) {
            snapshot_ = true;
            stamp_ = {db.st_dev, db.st_ino, db.st_size, int64_t(db.st_mtim.tv_sec) * 1000000000 + db.st_mtim.tv_nsec};
            uri += "?immutable=1";
        }
    }
    int flags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI |
                (writable_ ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY);
    int rc = sqlite3_open_v2(uri.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        LONG error = StoreError(rc, db_ ? sqlite3_system_errno(db_) : 0);
        return error ? error : ERROR_REGISTRY_IO_FAILED;
    }
    if (sqlite3_db_readonly(db_, "main") == 1) writable_ = false;
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db_, 1);
    if (writable_) {
        // The -wal and -shm files stay when the last connection closes, so that a reader
        // without write access to the directory can still open the store (SQLite's
        // read-only WAL access needs both files to exist); the WAL is cut back to 4 MiB.
        int persist = 1;
        sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    }
    if (LONG error = OpenCounter()) return error;
    boot_ = CurrentBootId();
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
                if (LONG e = Exec("PRAGMA journal_mode = WAL; PRAGMA journal_size_limit = 4194304")) return e;
            return CreateSchema();
        }))
        return error;
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
    if ((current == 0 && tables != 0) || current > kSchemaVersion) return ERROR_REGISTRY_CORRUPT;
    // A store of version 1 that may not be written is read as it is.
    if (!writable_) return current == 1 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    if (LONG error = Begin(true)) return error;
    // Another process may have made or repaired it while this one waited for the lock.
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
        current = 1;
    }
    // Version 1 to 2, once: the index, and the standard keys, added where missing and made
    // stable where an earlier version created them volatile. Their values and sub-keys
    // stay as they are, volatile sub-keys included.
    if (!error && current == 1) {
        error = Exec(kSchemaVersion2);
        if (!error) error = EnsureStandardKeys();
        if (!error) error = Exec("PRAGMA user_version = 2");
    } else if (!error && current != kSchemaVersion) {
        error = ERROR_REGISTRY_CORRUPT;
    }
    if (error) {
        Rollback();
        return error;
    }
    return Commit();
}

LONG Store::EnsureStandardKeys() {
    // Volatile keys of an earlier system start are gone: purged first, so that none of
    // them is made stable again.
    {
        sqlite3_stmt* purge = Prepare(kPurgeStale);
        if (!purge) return StoreError(sqlite3_errcode(db_));
        Reset reset(purge);
        BindText(purge, 1, boot_);
        int rc = sqlite3_step(purge);
        if (rc != SQLITE_DONE) return StoreError(rc, sqlite3_system_errno(db_));
    }
    sqlite3_stmt* stable = nullptr;
    int rc = sqlite3_prepare_v2(db_, "UPDATE keys SET boot = NULL WHERE id = ?1", -1, &stable, nullptr);
    if (rc != SQLITE_OK) return StoreError(rc, sqlite3_system_errno(db_));
    LONG error = ERROR_SUCCESS;
    for (const StandardKey& key : kStandardKeys) {
        KeyRow row{key.root, false, false, 0};
        std::string_view path(key.path);
        while (!error && !path.empty()) {
            size_t slash = path.find('\\');
            std::string_view name = path.substr(0, slash);
            path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
            KeyRow child;
            error = LookupChild(row.id, name, child);
            if (error == ERROR_FILE_NOT_FOUND) {
                error = InsertChild(row, name, false, "", child);
            } else if (!error && child.isVolatile) {
                sqlite3_reset(stable);
                sqlite3_bind_int64(stable, 1, child.id);
                rc = sqlite3_step(stable);
                if (rc != SQLITE_DONE) error = StoreError(rc, sqlite3_system_errno(db_));
                child.isVolatile = false;
            }
            row = child;
        }
        if (error) break;
    }
    sqlite3_finalize(stable);
    return error;
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
    cursors_.clear();
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

LONG Store::ReadRows(bool values, KeyId id, DWORD index, const Row* after, size_t want, Cursor& batch) {
    sqlite3_stmt* s = Prepare(values ? (after ? kValuesAfter : kValuesAt) : (after ? kSubKeysAfter : kSubKeysAt));
    if (!s) return StoreError(sqlite3_errcode(db_));
    Reset reset(s);
    sqlite3_bind_int64(s, 1, id);
    if (values) {
        sqlite3_bind_int64(s, 2, after ? after->order : int64_t(index));
        sqlite3_bind_int64(s, 3, int64_t(want));
    } else {
        BindText(s, 2, boot_);
        if (after) BindText(s, 3, after->fold);
        else sqlite3_bind_int64(s, 3, int64_t(index));
        sqlite3_bind_int64(s, 4, int64_t(want));
    }
    batch.rows.clear();
    batch.end = false;
    size_t bytes = 0;
    for (;;) {
        int rc = sqlite3_step(s);
        if (rc == SQLITE_DONE) {
            batch.end = true;
            return ERROR_SUCCESS;
        }
        if (rc != SQLITE_ROW) return StoreError(rc, sqlite3_system_errno(db_));
        Row& row = batch.rows.emplace_back();
        row.name.assign(ColumnBytes(s, 0));
        row.extra.assign(ColumnBytes(s, 1));
        row.number = sqlite3_column_int64(s, 2);
        if (values) row.order = sqlite3_column_int64(s, 3);
        else row.fold.assign(ColumnBytes(s, 3));
        bytes += row.name.size() + row.extra.size() + row.fold.size();
        // Large values are not gathered by the megabyte: the batch ends early.
        if (batch.rows.size() == want || bytes > kBatchBytes) return ERROR_SUCCESS;
    }
}

bool Store::CursorHolds(KeyId id, DWORD index, bool values) {
    auto it = cursors_.find(uint64_t(id) * 2 + (values ? 1 : 0));
    if (it == cursors_.end()) return false;
    const Cursor& c = it->second;
    const uint64_t count = ChangeCount();
    if ((count & 1) || c.count != count || c.key != id || c.rows.empty() || index < c.first) return false;
    return index - c.first < c.rows.size() || (c.end && index - c.first >= c.rows.size());
}

LONG Store::RowAt(bool values, KeyId id, DWORD index, const Row*& row, Row& single) {
    const uint64_t count = ChangeCount();
    Cursor batch;
    if (count & 1) {
        // Nothing may be kept: the one row alone.
        if (LONG error = ReadRows(values, id, index, nullptr, 1, batch)) return error;
        if (batch.rows.empty()) return ERROR_NO_MORE_ITEMS;
        single = std::move(batch.rows.front());
        row = &single;
        return ERROR_SUCCESS;
    }
    const uint64_t token = uint64_t(id) * 2 + (values ? 1 : 0);
    if (cursors_.size() > 64 && !cursors_.count(token)) cursors_.clear();
    Cursor& c = cursors_[token];
    if (c.count != count || c.key != id) c = Cursor{count, id, 0, false, {}};
    if (!c.rows.empty() && index >= c.first) {
        if (index - c.first < c.rows.size()) {
            row = &c.rows[index - c.first];
            return ERROR_SUCCESS;
        }
        if (c.end) return ERROR_NO_MORE_ITEMS;
    }
    // The next batch after the last row read, twice as long as that one; or, for an index
    // out of order, that row alone.
    const bool follows = !c.rows.empty() && index == c.first + c.rows.size();
    const size_t want = follows ? std::min(c.rows.size() * 2, kBatchRows) : 1;
    if (LONG error = ReadRows(values, id, index, follows ? &c.rows.back() : nullptr, want, batch)) return error;
    c.first = index;
    c.rows = std::move(batch.rows);
    c.end = batch.end;
    // Written meanwhile: the rows answer this call and are not kept.
    if (ChangeCount() != count) c.count = 1;
    if (c.rows.empty()) return ERROR_NO_MORE_ITEMS;
    row = &c.rows.front();
    return ERROR_SUCCESS;
}

LONG Store::SubKeyAt(KeyId id, DWORD index, std::string& name, std::string& keyClass, int64_t& written) {
    const Row* row = nullptr;
    Row single;
    if (LONG error = RowAt(false, id, index, row, single)) return error;
    name = row->name;
    keyClass = row->extra;
    written = row->number;
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
    const Row* row = nullptr;
    Row single;
    if (LONG error = RowAt(true, id, index, row, single)) return error;
    name = row->name;
    data = row->extra;
    type = DWORD(row->number);
    return ERROR_SUCCESS;
}

Store* CurrentStore(LONG& error) {
    error = ERROR_SUCCESS;
    std::unique_ptr<Store>& store = t_store.store;
    if (store && store->pid_ != ProcessId()) {
        // Inherited through fork: the parent's connection is not this process's to use.
        (void)store.release();
    }
    std::string dir = StateDirectory();
    if (dir.empty()) {
        error = ERROR_REGISTRY_IO_FAILED;
        return nullptr;
    }
    std::string path = dir + "/registry.db";
    if (store && store->path_ == path && (!store->snapshot_ || store->SnapshotCurrent())) {
        if ((error = store->RefreshBoot()) != ERROR_SUCCESS) return nullptr;
        return store.get();
    }
    store.reset();
    // A state directory that is not the user's alone is refused, for reading too.
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
