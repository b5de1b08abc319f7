// The registry's persistent store: one SQLite database in WAL mode, shared by every
// process and thread of the user, each thread with its own connection.
//
// A key is a row with its parent's id, its name as given and its folded name (the
// case-insensitive form, unique among siblings and the sort order of the sub-keys). A
// volatile key carries the boot id of the system start that made it; a key whose boot id
// is not the current one does not exist, and is purged at the first chance. A value is a
// row with its key's id, its name, folded name, type and data, kept as given.
//
// The functions below run inside a transaction that the caller has begun, and give Win32
// codes: ERROR_SUCCESS, the lookup's own outcome (ERROR_FILE_NOT_FOUND, ERROR_KEY_DELETED,
// ...) or the store's failure mapped by StoreError.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <sys/types.h>

#include "advapi/registry_names.h"

struct sqlite3;
struct sqlite3_stmt;

namespace navo::win32::registry {

using KeyId = int64_t;

// The rows of the predefined roots, made with the store.
constexpr KeyId kClassesRootId = 1;
constexpr KeyId kCurrentUserId = 2;
constexpr KeyId kLocalMachineId = 3;
constexpr KeyId kUsersId = 4;
constexpr KeyId kCurrentConfigId = 5;
constexpr KeyId kFirstRootId = kClassesRootId;
constexpr KeyId kLastRootId = kCurrentConfigId;

// The full name of a root row ("HKEY_CURRENT_USER"), or null.
const char* RootName(KeyId id);

struct KeyRow {
    KeyId id = 0;
    bool isVolatile = false;
    bool readOnly = false;
    int depth = 0;  // levels below its root; a root is 0
};

// Maps an SQLite result to a Win32 code: corruption to ERROR_REGISTRY_CORRUPT, a store
// that may not be written to ERROR_ACCESS_DENIED, I/O failures to ERROR_REGISTRY_IO_FAILED.
[[nodiscard]] LONG StoreError(int sqliteResult, int systemErrno = 0);

// How a transaction begins: deferred, for reads, or taking the write lock at once.
enum class Transaction { kRead, kWrite };

// Whether a key is made to last or to go with the system start that made it.
enum class KeyLifetime { kStable, kVolatile };

// Which list of a key an enumeration walks.
enum class Listing { kSubKeys, kValues };

// The statements of registry_statements.h, and the most a connection prepares.
enum class Statement : int;
class Query;
constexpr size_t kMaxStatements = 32;

class Store {
public:
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    const std::string& Path() const { return path_; }
    // False when the user may not write the store file: every write is refused.
    bool Writable() const { return writable_; }

    // BEGIN (deferred, for reads) or BEGIN IMMEDIATE (writes take the lock at once, so a
    // writer never fails on a snapshot that another writer made stale).
    [[nodiscard]] LONG Begin(Transaction mode);
    // Commits; a failed commit is rolled back.
    [[nodiscard]] LONG Commit();
    void Rollback();
    // Ends a read transaction. It changed nothing, so there is nothing to commit: it ends
    // by ROLLBACK, which releases its snapshot whatever happens and has no failure to give.
    void EndRead() { Rollback(); }
    bool InTransaction() const;

    // The child of a key by its folded name.
    [[nodiscard]] LONG LookupChild(KeyId parent, std::string_view fold, KeyRow& row);
    // The row of an existing key; ERROR_KEY_DELETED when it is gone.
    [[nodiscard]] LONG LoadKey(KeyId id, KeyRow& row);
    [[nodiscard]] LONG InsertChild(const KeyRow& parent, Name name, KeyLifetime lifetime, std::string_view keyClass,
                                   KeyRow& row);
    [[nodiscard]] LONG Touch(KeyId id);  // last write time; ERROR_KEY_DELETED when the key is gone
    [[nodiscard]] LONG SetReadOnly(KeyId id, bool readOnly);
    // Removes the key with everything below it; ERROR_ACCESS_DENIED, and nothing removed,
    // when a key of the tree is read-only.
    [[nodiscard]] LONG DeleteTree(KeyId id);

    // The sub-key at an index of the sorted list; ERROR_NO_MORE_ITEMS past the end.
    // Each key's enumeration has a cursor in the connection: rows are read in batches,
    // each after the last row of the one before, and kept while the change counter stands
    // still, so that walking the indexes in order costs O(1) a step (whether through one
    // handle or a new one for each index). While nothing may be kept (a write under way, a
    // store without a counter) the row is read on its own.
    [[nodiscard]] LONG SubKeyAt(KeyId id, DWORD index, std::string& name, std::string& keyClass, int64_t& written);
    struct KeyInfo {
        std::string keyClass;
        DWORD subKeys = 0, maxSubKeyLength = 0, maxClassLength = 0;
        DWORD values = 0, maxValueNameLength = 0, maxValueLength = 0;
        int64_t written = 0;
    };
    [[nodiscard]] LONG QueryKeyInfo(KeyId id, KeyInfo& info);

    // A value's type and, when data is not null, its bytes, by its folded name.
    // ERROR_FILE_NOT_FOUND when absent.
    [[nodiscard]] LONG GetValue(KeyId id, std::string_view fold, DWORD& type, std::string* data);
    [[nodiscard]] LONG SetValue(KeyId id, Name name, DWORD type, const void* data, size_t size);
    [[nodiscard]] LONG DeleteValue(KeyId id, std::string_view fold);
    // The value at an index in the order values were first set; ERROR_NO_MORE_ITEMS past the
    // end. Through the key's cursor, as SubKeyAt.
    [[nodiscard]] LONG ValueAt(KeyId id, DWORD index, std::string& name, DWORD& type, std::string& data);
    // Whether SubKeyAt or ValueAt can answer from the key's cursor without reading the
    // store: the counter has not moved since the batch was read, in a transaction that
    // found the key.
    bool CursorHolds(KeyId id, DWORD index, Listing listing);

    // The standard keys every store holds, stable: each as its root's row and its path.
    struct StandardKey {
        KeyId root;
        const char* path;
    };
    static const StandardKey kStandardKeys[];
    static const size_t kStandardKeyCount;

    // Results of reads, kept while no process has written the store since. Every write
    // transaction of this layer moves the store's change counter (a word in the shared
    // file "registry.db-seq") to an odd number before it changes anything and to the next
    // even number when it has committed or rolled back, seqlock-fashion. A result read
    // while the counter stood still at an even number stays valid while it stays there.
    // A writer that dies between the two steps leaves the counter odd, which only turns
    // the caches off until the next writer moves it on.
    struct CachedValue {
        LONG result;
        DWORD type;
        std::string data;
    };
    // The counter now, or an odd number when there is none or a write is under way.
    uint64_t ChangeCount() const;
    // The cache for counter value `count`, emptied when the counter has moved; null when
    // results read at `count` may not be kept.
    std::unordered_map<std::string, KeyRow>* KeyCache(uint64_t count);
    std::unordered_map<std::string, CachedValue>* ValueCache(uint64_t count);

private:
    friend Store* CurrentStore(LONG& error);
    Store() = default;
    [[nodiscard]] LONG Open(const std::string& path);
    [[nodiscard]] LONG PrepareFiles();
    [[nodiscard]] LONG CreateSchema();
    [[nodiscard]] LONG EnsureStandardKeys();
    // For a store opened as an unchanging snapshot (see Open): whether the files still are
    // as they were, so that the snapshot is current.
    bool SnapshotCurrent() const;
    [[nodiscard]] LONG PurgeStaleVolatileKeys();
    [[nodiscard]] LONG RefreshBoot();
    // A run of one of the connection's statements, prepared on first use.
    Query Sql(Statement which);
    [[nodiscard]] LONG Exec(const char* sql);

    sqlite3* db_ = nullptr;
    std::string path_;
    std::string realPath_;  // the database file itself, symbolic links resolved
    std::string boot_;
    bool snapshot_ = false;
    struct FileStamp {
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        int64_t modified = 0;
    } stamp_;
    bool writable_ = false;
    int pid_ = 0;
    sqlite3_stmt* statements_[kMaxStatements] = {};
    bool writing_ = false;
    volatile uint64_t* counter_ = nullptr;  // in shared memory; null without the file
    uint64_t cachedAt_ = 1;
    std::unordered_map<std::string, KeyRow> keyCache_;
    std::unordered_map<std::string, CachedValue> valueCache_;
    // A batch of rows of one enumeration: rows first .. first + rows.size() - 1 of the
    // key's list, read while the counter stood at `count`.
    struct Row {
        std::string name, extra;  // the value's data, or the sub-key's class
        int64_t number = 0;       // the value's type, or the sub-key's last write time
        int64_t order = 0;        // the value's rowid
        std::string fold;         // the sub-key's folded name
    };
    struct Cursor {
        uint64_t count = 1;
        KeyId key = 0;
        DWORD first = 0;
        bool end = false;  // the batch reaches the end of the list
        std::vector<Row> rows;
    };
    std::unordered_map<uint64_t, Cursor> cursors_;
    [[nodiscard]] LONG ReadRows(Listing listing, KeyId id, DWORD index, const Row* after, size_t want, Cursor& batch);
    [[nodiscard]] LONG RowAt(Listing listing, KeyId id, DWORD index, const Row*& row, Row& single);
    [[nodiscard]] LONG OpenCounter();
    void MoveCounter(bool starting);
    bool PrepareCache(uint64_t count);
};

// The calling thread's connection to the store of the current state directory, opened
// (and the store made) on first use; null, with error set, when it cannot be opened.
Store* CurrentStore(LONG& error);

// The boot id that volatile keys are tied to: the variable NAVOTOOLS_BOOT_ID when set (so
// tests can simulate a system start), else the kernel's /proc/sys/kernel/random/boot_id.
std::string CurrentBootId();

// The current time as a FILETIME count (100 ns units since 1601).
int64_t FileTimeNow();

}  // namespace navo::win32::registry
