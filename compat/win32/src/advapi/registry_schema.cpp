// The store's schema, its upgrades, the predefined roots and the standard keys every
// store holds.
#include <cstdio>
#include <iterator>

#include "advapi/registry_statements.h"
#include "advapi/registry_store.h"

namespace navo::win32::registry {

namespace {

// 1: keys and values. 2: the standard keys, stable, and the index of values in the order
// they were first set.
constexpr int kSchemaVersion = 2;

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

}  // namespace

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

LONG Store::CreateSchema() {
    auto version = [this](int& value, int& tables) -> LONG {
        Query q = Sql(Statement::kSchemaVersion);
        if (LONG error = q.Next(ERROR_REGISTRY_CORRUPT)) return error;
        value = q.Int(0);
        tables = q.Int(1);
        return ERROR_SUCCESS;
    };
    int current = 0, tables = 0;
    if (LONG error = version(current, tables)) return error;
    if (current == kSchemaVersion) return ERROR_SUCCESS;
    // Any other file that SQLite can read is not a store of this layer; it is left alone.
    if ((current == 0 && tables != 0) || current > kSchemaVersion) return ERROR_REGISTRY_CORRUPT;
    // A store of version 1 that may not be written is read as it is.
    if (!writable_) return current == 1 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    if (LONG error = Begin(Transaction::kWrite)) return error;
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
    if (LONG error = Sql(Statement::kPurgeStale).Bind(1, boot_).Run()) return error;
    for (const StandardKey& key : kStandardKeys) {
        KeyPath path;
        if (LONG error = path.Parse(key.path)) return error;
        KeyRow row{key.root, false, false, 0};
        for (size_t i = 0; i < path.Size(); ++i) {
            KeyRow child;
            LONG error = LookupChild(row.id, path[i].fold, child);
            if (error == ERROR_FILE_NOT_FOUND) {
                error = InsertChild(row, path[i], KeyLifetime::kStable, "", child);
            } else if (!error && child.isVolatile) {
                error = Sql(Statement::kMakeStable).Bind(1, child.id).Run();
                child.isVolatile = false;
            }
            if (error) return error;
            row = child;
        }
    }
    return ERROR_SUCCESS;
}

}  // namespace navo::win32::registry
