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

#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "advapi/registry_statements.h"
#include "system/system_state.h"

namespace navo::win32::registry {

namespace {

constexpr size_t kBatchBytes = size_t(1) << 20;  // the most bytes of an enumeration's batch, beyond the first row
constexpr int kBusyTimeoutMs = 30000;

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

// Where a file's directory is: "." for a bare name.
std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

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

Query Store::Sql(Statement which) { return Query(db_, statements_[size_t(which)], which); }

LONG Store::Exec(const char* sql) {
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    return StoreError(rc, sqlite3_system_errno(db_));
}

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

LONG Store::PurgeStaleVolatileKeys() {
    bool stale = false;
    {
        Query q = Sql(Statement::kHasStale);
        if (LONG error = q.Bind(1, boot_).Next(ERROR_REGISTRY_CORRUPT)) return error;
        stale = q.Int(0) != 0;
    }
    // A store that may not be written keeps them; lookups skip them all the same.
    if (!stale || !writable_) return ERROR_SUCCESS;
    if (LONG error = Begin(Transaction::kWrite)) return error;
    if (LONG error = Sql(Statement::kPurgeStale).Bind(1, boot_).Run()) {
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

LONG Store::Begin(Transaction mode) {
    const bool write = mode == Transaction::kWrite;
    if (LONG error = Sql(write ? Statement::kBeginImmediate : Statement::kBegin).Run()) return error;
    if (write) {
        writing_ = true;
        MoveCounter(true);
    }
    return ERROR_SUCCESS;
}

LONG Store::Commit() {
    if (LONG error = Sql(Statement::kCommit).Run()) {
        Rollback();
        return error;
    }
    if (writing_) {
        writing_ = false;
        MoveCounter(false);
    }
    return ERROR_SUCCESS;
}

void Store::Rollback() {
    // Whatever becomes of the ROLLBACK, the transaction is over for this layer: SQLite
    // rolls back a transaction whose ROLLBACK failed when the connection next steps.
    if (InTransaction()) (void)Sql(Statement::kRollback).Run();
    if (writing_) {
        writing_ = false;
        MoveCounter(false);
    }
}

namespace {

// A key row's volatility and marks from columns boot, readonly and depth, starting at
// `first`; false when the key is volatile from another system start, so is gone.
bool ReadKeyRow(const Query& q, int first, const std::string& boot, KeyRow& row) {
    if (!q.IsNull(first) && q.Bytes(first) != boot) return false;
    row.isVolatile = !q.IsNull(first);
    row.readOnly = q.Int(first + 1) != 0;
    row.depth = q.Int(first + 2);
    return true;
}

}  // namespace

LONG Store::LookupChild(KeyId parent, std::string_view fold, KeyRow& row) {
    Query q = Sql(Statement::kLookupChild);
    if (LONG error = q.Bind(1, parent).Bind(2, fold).Next(ERROR_FILE_NOT_FOUND)) return error;
    KeyRow found;
    found.id = q.Int64(0);
    if (!ReadKeyRow(q, 1, boot_, found)) return ERROR_FILE_NOT_FOUND;
    row = found;
    return ERROR_SUCCESS;
}

LONG Store::LoadKey(KeyId id, KeyRow& row) {
    Query q = Sql(Statement::kLoadKey);
    if (LONG error = q.Bind(1, id).Next(ERROR_KEY_DELETED)) return error;
    KeyRow found;
    found.id = id;
    if (!ReadKeyRow(q, 0, boot_, found)) return ERROR_KEY_DELETED;
    row = found;
    return ERROR_SUCCESS;
}

LONG Store::InsertChild(const KeyRow& parent, Name name, KeyLifetime lifetime, std::string_view keyClass,
                        KeyRow& row) {
    // A row of the same name may remain from an earlier system start, when the store could
    // not be written at the time; it is gone and makes way.
    KeyId stale = 0;
    {
        Query q = Sql(Statement::kLookupChild);
        LONG error = q.Bind(1, parent.id).Bind(2, name.fold).Next(ERROR_FILE_NOT_FOUND);
        if (error == ERROR_SUCCESS) stale = q.Int64(0);
        else if (error != ERROR_FILE_NOT_FOUND) return error;
    }
    if (stale)
        if (LONG error = DeleteTree(stale)) return error;
    const bool isVolatile = lifetime == KeyLifetime::kVolatile;
    Query q = Sql(Statement::kInsertKey);
    q.Bind(1, parent.id).Bind(2, name.text).Bind(3, name.fold).Bind(4, keyClass);
    if (isVolatile) q.Bind(5, boot_);
    else q.BindNull(5);
    if (LONG error = q.Bind(6, int64_t(parent.depth) + 1).Bind(7, FileTimeNow()).Run()) return error;
    row.id = sqlite3_last_insert_rowid(db_);
    row.isVolatile = isVolatile;
    row.readOnly = false;
    row.depth = parent.depth + 1;
    return ERROR_SUCCESS;
}

LONG Store::Touch(KeyId id) {
    Query q = Sql(Statement::kTouch);
    if (LONG error = q.Bind(1, id).Bind(2, FileTimeNow()).Run()) return error;
    return q.Changes() == 0 ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

LONG Store::SetReadOnly(KeyId id, bool readOnly) {
    Query q = Sql(Statement::kSetReadOnly);
    if (LONG error = q.Bind(1, id).Bind(2, int64_t(readOnly ? 1 : 0)).Run()) return error;
    return q.Changes() == 0 ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

LONG Store::DeleteTree(KeyId id) {
    {
        Query q = Sql(Statement::kTreeHasReadOnly);
        if (LONG error = q.Bind(1, id).Next(ERROR_REGISTRY_CORRUPT)) return error;
        if (q.Int(0) != 0) return ERROR_ACCESS_DENIED;
    }
    return Sql(Statement::kDeleteKey).Bind(1, id).Run();
}

LONG Store::ReadRows(Listing listing, KeyId id, DWORD index, const Row* after, size_t want, Cursor& batch) {
    const bool values = listing == Listing::kValues;
    Query q = Sql(values ? (after ? Statement::kValuesAfter : Statement::kValuesAt)
                         : (after ? Statement::kSubKeysAfter : Statement::kSubKeysAt));
    q.Bind(1, id);
    if (values) {
        q.Bind(2, after ? after->order : int64_t(index)).Bind(3, int64_t(want));
    } else {
        q.Bind(2, boot_);
        if (after) q.Bind(3, after->fold);
        else q.Bind(3, int64_t(index));
        q.Bind(4, int64_t(want));
    }
    batch.rows.clear();
    batch.end = false;
    size_t bytes = 0;
    constexpr LONG kEnd = ERROR_NO_MORE_ITEMS;
    for (;;) {
        if (LONG error = q.Next(kEnd)) {
            if (error != kEnd) return error;
            batch.end = true;
            return ERROR_SUCCESS;
        }
        Row& row = batch.rows.emplace_back();
        row.name.assign(q.Bytes(0));
        row.extra.assign(q.Bytes(1));
        row.number = q.Int64(2);
        if (values) row.order = q.Int64(3);
        else row.fold.assign(q.Bytes(3));
        bytes += row.name.size() + row.extra.size() + row.fold.size();
        // Large values are not gathered by the megabyte: the batch ends early.
        if (batch.rows.size() == want || bytes > kBatchBytes) return ERROR_SUCCESS;
    }
}

LONG Store::QueryKeyInfo(KeyId id, KeyInfo& info) {
    {
        Query q = Sql(Statement::kKeyClass);
        if (LONG error = q.Bind(1, id).Next(ERROR_KEY_DELETED)) return error;
        info.keyClass.assign(q.Bytes(0));
        info.written = q.Int64(1);
    }
    {
        Query q = Sql(Statement::kSubKeyStats);
        if (LONG error = q.Bind(1, id).Bind(2, boot_).Next(ERROR_REGISTRY_CORRUPT)) return error;
        info.subKeys = DWORD(q.Int64(0));
        info.maxSubKeyLength = DWORD(q.Int64(1));
        info.maxClassLength = DWORD(q.Int64(2));
    }
    Query q = Sql(Statement::kValueStats);
    if (LONG error = q.Bind(1, id).Next(ERROR_REGISTRY_CORRUPT)) return error;
    info.values = DWORD(q.Int64(0));
    info.maxValueNameLength = DWORD(q.Int64(1));
    info.maxValueLength = DWORD(q.Int64(2));
    return ERROR_SUCCESS;
}

LONG Store::GetValue(KeyId id, std::string_view fold, DWORD& type, std::string* data) {
    Query q = Sql(Statement::kGetValue);
    if (LONG error = q.Bind(1, id).Bind(2, fold).Next(ERROR_FILE_NOT_FOUND)) return error;
    type = DWORD(q.Int64(0));
    if (data) data->assign(q.Bytes(1));
    return ERROR_SUCCESS;
}

LONG Store::SetValue(KeyId id, Name name, DWORD type, const void* data, size_t size) {
    Query q = Sql(Statement::kSetValue);
    q.Bind(1, id).Bind(2, name.text).Bind(3, name.fold).Bind(4, int64_t(type)).BindBytes(5, data, size);
    LONG error = q.Run();
    return q.Code() == SQLITE_CONSTRAINT_FOREIGNKEY ? LONG(ERROR_KEY_DELETED) : error;
}

LONG Store::DeleteValue(KeyId id, std::string_view fold) {
    Query q = Sql(Statement::kDeleteValue);
    if (LONG error = q.Bind(1, id).Bind(2, fold).Run()) return error;
    return q.Changes() == 0 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
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
