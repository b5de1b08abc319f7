// The registry functions: handles, paths, access rights, and the calls into the store.
//
// A handle names a key row of one store with the rights granted at its opening. Handle
// values are never reused, so a closed handle stays invalid (ERROR_INVALID_HANDLE) for
// the life of the process. A handle whose key was deleted gives ERROR_KEY_DELETED.

#include <shlwapi.h>
#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "advapi/registry_handles.h"
#include "advapi/registry_store.h"

namespace navo::win32::registry {

namespace {

// The rights that change a key or its values.
constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;
constexpr REGSAM kReadRights = KEY_READ;

struct OpenKey {
    KeyId id;
    REGSAM granted;
    std::string store;
};

std::mutex g_mutex;
std::unordered_map<uintptr_t, OpenKey> g_handles;
uintptr_t g_nextHandle = 0x1000;

// The generic rights in terms of the key's own.
REGSAM MapGeneric(REGSAM sam) {
    REGSAM mapped = sam & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
    if (sam & GENERIC_READ) mapped |= KEY_READ;
    if (sam & GENERIC_WRITE) mapped |= KEY_WRITE;
    if (sam & GENERIC_EXECUTE) mapped |= KEY_EXECUTE;
    if (sam & GENERIC_ALL) mapped |= KEY_ALL_ACCESS;
    return mapped & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
}

// The rights an open grants: what was asked, or, for MAXIMUM_ALLOWED, all the key allows.
// False when a write right is asked of a key or store that refuses writes.
bool Grant(REGSAM sam, bool writable, REGSAM& granted) {
    REGSAM mapped = MapGeneric(sam);
    if (mapped & MAXIMUM_ALLOWED) {
        granted = (mapped & ~MAXIMUM_ALLOWED) | (writable ? REGSAM(KEY_ALL_ACCESS) : kReadRights);
        if (!writable) granted &= ~kWriteRights;
        return writable || !(sam & ~MAXIMUM_ALLOWED & kWriteRights);
    }
    granted = mapped;
    return writable || !(mapped & kWriteRights);
}

HKEY NewHandle(KeyId id, REGSAM granted, const std::string& store) {
    std::lock_guard<std::mutex> lock(g_mutex);
    uintptr_t value = g_nextHandle;
    g_nextHandle += 4;
    g_handles.emplace(value, OpenKey{id, granted, store});
    return reinterpret_cast<HKEY>(value);
}

std::string_view Text(LPCSTR text) { return text ? std::string_view(text) : std::string_view(); }

std::string_view ValueName(LPCSTR name) { return name ? std::string_view(name) : std::string_view(); }

bool ValueNameTooLong(std::string_view name) {
    return name.size() > NAVO_REG_MAX_VALUE_NAME && NameCharacters(name) > NAVO_REG_MAX_VALUE_NAME;
}

// A read transaction for calls that make more than one lookup, so they see one state.
// It writes nothing, so it ends without a commit (Store::EndRead).
class ReadScope {
public:
    ReadScope(Store& store, bool needed) : store_(store) {
        if (needed && !store.InTransaction()) {
            error_ = store.Begin(Transaction::kRead);
            active_ = error_ == ERROR_SUCCESS;
        }
    }
    ~ReadScope() {
        if (active_) store_.EndRead();
    }
    [[nodiscard]] LONG Error() const { return error_; }
    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;

private:
    Store& store_;
    LONG error_ = ERROR_SUCCESS;
    bool active_ = false;
};

// A write transaction: rolled back unless committed.
class WriteScope {
public:
    explicit WriteScope(Store& store) : store_(store) { error_ = store.Begin(Transaction::kWrite); }
    ~WriteScope() {
        if (error_ == ERROR_SUCCESS && !done_) store_.Rollback();
    }
    [[nodiscard]] LONG Error() const { return error_; }
    [[nodiscard]] LONG Commit() {
        done_ = true;
        return store_.Commit();
    }
    WriteScope(const WriteScope&) = delete;
    WriteScope& operator=(const WriteScope&) = delete;

private:
    Store& store_;
    LONG error_;
    bool done_ = false;
};

}  // namespace

bool IsPredefinedRoot(HKEY hKey) {
    return hKey == HKEY_CLASSES_ROOT || hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_USERS ||
           hKey == HKEY_CURRENT_CONFIG;
}

KeyId RootKeyId(HKEY hKey) {
    if (hKey == HKEY_CURRENT_CONFIG) return kCurrentConfigId;
    return KeyId(reinterpret_cast<uintptr_t>(hKey) - reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT)) + kFirstRootId;
}

LONG ResolveHandle(HKEY hKey, Store*& store, BaseKey& base) {
    LONG error;
    uintptr_t value = reinterpret_cast<uintptr_t>(hKey);
    if (IsPredefinedRoot(hKey)) {
        base.id = RootKeyId(hKey);
        base.granted = KEY_ALL_ACCESS;
        base.predefined = true;
        store = CurrentStore(error);
        return error;
    }
    std::string owner;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = g_handles.find(value);
        if (it == g_handles.end()) return ERROR_INVALID_HANDLE;
        base.id = it->second.id;
        base.granted = it->second.granted;
        owner = it->second.store;
    }
    base.predefined = false;
    store = CurrentStore(error);
    if (!store) return error;
    // A handle opened in another state directory names a row of another store.
    if (store->Path() != owner) return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

LONG WalkPath(Store& store, const BaseKey& base, const KeyPath& path, KeyRow& row) {
    // A predefined root always exists; its row is read only when the root itself is meant,
    // for its read-only mark.
    if (!base.predefined || path.Empty()) {
        if (LONG error = store.LoadKey(base.id, row)) return error;
    } else {
        row = KeyRow{base.id, false, false, 0};
    }
    for (size_t i = 0; i < path.Size(); ++i) {
        KeyRow child;
        if (LONG error = store.LookupChild(row.id, path[i].fold, child)) return error;
        row = child;
    }
    return ERROR_SUCCESS;
}

LONG CreatePath(Store& store, KeyRow start, const KeyPath& path, KeyLifetime lifetime, std::string_view keyClass,
                KeyRow& row, bool& created) {
    const bool makeVolatile = lifetime == KeyLifetime::kVolatile;
    row = start;
    for (size_t i = 0; i < path.Size(); ++i) {
        KeyRow child;
        LONG e = store.LookupChild(row.id, path[i].fold, child);
        if (e == ERROR_FILE_NOT_FOUND) {
            if (row.readOnly) return ERROR_ACCESS_DENIED;
            if (row.depth + 1 > NAVO_REG_MAX_DEPTH) return ERROR_INVALID_PARAMETER;
            if (row.isVolatile && !makeVolatile) return ERROR_CHILD_MUST_BE_VOLATILE;
            e = store.InsertChild(row, path[i], lifetime, keyClass, child);
            created = true;
        }
        if (e) return e;
        row = child;
    }
    return ERROR_SUCCESS;
}

bool ValueNameFits(std::string_view name) { return !ValueNameTooLong(name); }

namespace {

// WalkPath through the thread's cache of resolved paths: the key of a path below a base,
// or that it does not exist, as the store was when the change counter last moved.
LONG CachedWalk(Store& store, const BaseKey& base, const KeyPath& path, KeyRow& row) {
    const uint64_t count = store.ChangeCount();
    auto* cache = store.KeyCache(count);
    std::string key;
    if (cache) {
        key.assign(reinterpret_cast<const char*>(&base.id), sizeof base.id);
        key += path.Fold();
        auto it = cache->find(key);
        if (it != cache->end()) {
            row = it->second;
            return row.id ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        }
    }
    LONG error;
    {
        ReadScope scope(store, path.Size() > 1 || !base.predefined);
        if ((error = scope.Error()) != ERROR_SUCCESS) return error;
        error = WalkPath(store, base, path, row);
    }
    if (cache && (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) && store.ChangeCount() == count)
        (*cache)[key] = error == ERROR_SUCCESS ? row : KeyRow{};
    return error;
}

// The entry at an index of a key's sub-keys or values, read by `read` (Store::SubKeyAt or
// ValueAt) after the handle and its right to enumerate are checked.
template <typename Read>
LONG ReadListed(HKEY hKey, Listing listing, DWORD index, Read&& read) {
    Store* store = nullptr;
    BaseKey base;
    if (LONG error = ResolveHandle(hKey, store, base)) return error;
    const REGSAM right = listing == Listing::kSubKeys ? KEY_ENUMERATE_SUB_KEYS : KEY_QUERY_VALUE;
    if (!(base.granted & right)) return ERROR_ACCESS_DENIED;
    // The next entry of an enumeration under way, read with the key when nothing changed.
    if (store->CursorHolds(base.id, index, listing)) return read(*store, base.id);
    ReadScope scope(*store, !base.predefined);
    if (LONG error = scope.Error()) return error;
    KeyRow row;
    if (!base.predefined)
        if (LONG error = store->LoadKey(base.id, row)) return error;
    return read(*store, base.id);
}

// A change of one value of a handle's key, made by `change` (Store::SetValue or
// DeleteValue) in a write transaction, after the handle, its right and the name are
// checked (a name over the limit gives `tooLong`) and the key's last write time is set.
template <typename Change>
LONG ChangeValue(HKEY hKey, LPCSTR valueName, LONG tooLong, Change&& change) {
    Store* store = nullptr;
    BaseKey base;
    if (LONG error = ResolveHandle(hKey, store, base)) return error;
    if (!(base.granted & KEY_SET_VALUE) || !store->Writable()) return ERROR_ACCESS_DENIED;
    std::string_view name = ValueName(valueName);
    if (ValueNameTooLong(name)) return tooLong;
    WriteScope scope(*store);
    if (LONG error = scope.Error()) return error;
    if (base.predefined) {
        KeyRow row;
        if (LONG error = store->LoadKey(base.id, row)) return error;
        if (row.readOnly) return ERROR_ACCESS_DENIED;
    }
    // The key's last write time, and proof that it still exists.
    if (LONG error = store->Touch(base.id)) return error;
    if (LONG error = change(*store, base.id, FoldedName(name))) return error;
    return scope.Commit();
}

}  // namespace

LONG OpenKeyHandle(HKEY hKey, LPCSTR subKey, REGSAM sam, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Store* store = nullptr;
    BaseKey base;
    if (LONG error = ResolveHandle(hKey, store, base)) return error;
    KeyPath path;
    if (LONG error = path.Parse(Text(subKey))) return error;
    KeyRow row;
    if (LONG error = CachedWalk(*store, base, path, row)) return error;
    REGSAM granted;
    if (!Grant(sam, store->Writable() && !row.readOnly, granted)) return ERROR_ACCESS_DENIED;
    *result = NewHandle(row.id, granted, store->Path());
    return ERROR_SUCCESS;
}

}  // namespace navo::win32::registry

using namespace navo::win32::registry;

extern "C" {

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR subKey, DWORD options, REGSAM samDesired, PHKEY result) {
    (void)options;  // REG_OPTION_OPEN_LINK: there are no links to open
    return OpenKeyHandle(hKey, subKey, samDesired, result);
}

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                               REGSAM samDesired, LPSECURITY_ATTRIBUTES securityAttributes, PHKEY result,
                               LPDWORD disposition) {
    (void)reserved;
    (void)securityAttributes;
    if (!result || !subKey) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (options & ~DWORD(REG_OPTION_VOLATILE | REG_OPTION_BACKUP_RESTORE | REG_OPTION_OPEN_LINK))
        return ERROR_INVALID_PARAMETER;
    const KeyLifetime lifetime = (options & REG_OPTION_VOLATILE) ? KeyLifetime::kVolatile : KeyLifetime::kStable;
    Store* store = nullptr;
    BaseKey base;
    if (LONG error = ResolveHandle(hKey, store, base)) return error;
    KeyPath path;
    if (LONG error = path.Parse(subKey)) return error;

    // Most calls find the key there already: a read, and no write lock.
    KeyRow row;
    LONG found = CachedWalk(*store, base, path, row);
    if (found != ERROR_SUCCESS && found != ERROR_FILE_NOT_FOUND) return found;
    DWORD outcome = REG_OPENED_EXISTING_KEY;
    if (found == ERROR_FILE_NOT_FOUND) {
        if (!store->Writable()) return ERROR_ACCESS_DENIED;
        WriteScope scope(*store);
        if (LONG error = scope.Error()) return error;
        // Walk again under the lock: another writer may have made part of the path.
        if (LONG error = store->LoadKey(base.id, row)) return error;
        bool created = false;
        LONG error = CreatePath(*store, row, path, lifetime, Text(keyClass), row, created);
        if (error) return error;
        if (created) {
            if (LONG e = scope.Commit()) return e;
            outcome = REG_CREATED_NEW_KEY;
        }
    }
    REGSAM granted;
    if (!Grant(samDesired, store->Writable() && !row.readOnly, granted)) return ERROR_ACCESS_DENIED;
    *result = NewHandle(row.id, granted, store->Path());
    if (disposition) *disposition = outcome;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    // HKEY_PERFORMANCE_DATA has no keys here, but a caller of performance data closes it
    // when done, which succeeds on the platform.
    if (IsPredefinedRoot(hKey) || hKey == HKEY_PERFORMANCE_DATA) return ERROR_SUCCESS;
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_handles.erase(reinterpret_cast<uintptr_t>(hKey)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR keyClass, LPDWORD classLength, LPDWORD reserved, LPDWORD subKeys,
                                LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values,
                                LPDWORD maxValueNameLength, LPDWORD maxValueLength, LPDWORD securityDescriptorBytes,
                                PFILETIME lastWriteTime) {
    if (reserved || (keyClass && !classLength)) return ERROR_INVALID_PARAMETER;
    Store* store = nullptr;
    BaseKey base;
    if (LONG error = ResolveHandle(hKey, store, base)) return error;
    if (!(base.granted & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    Store::KeyInfo info;
    {
        ReadScope scope(*store, true);
        if (LONG error = scope.Error()) return error;
        KeyRow row;
        if (LONG error = store->LoadKey(base.id, row)) return error;
        if (LONG error = store->QueryKeyInfo(base.id, info)) return error;
    }
    LONG result = ERROR_SUCCESS;
    if (classLength) {
        if (keyClass) {
            if (*classLength <= info.keyClass.size()) {
                result = ERROR_MORE_DATA;
            } else {
                memcpy(keyClass, info.keyClass.data(), info.keyClass.size());
                keyClass[info.keyClass.size()] = '\0';
            }
        }
        *classLength = DWORD(info.keyClass.size());
    }
    if (subKeys) *subKeys = info.subKeys;
    if (maxSubKeyLength) *maxSubKeyLength = info.maxSubKeyLength;
    if (maxClassLength) *maxClassLength = info.maxClassLength;
    if (values) *values = info.values;
    if (maxValueNameLength) *maxValueNameLength = info.maxValueNameLength;
    if (maxValueLength) *maxValueLength = info.maxValueLength;
    if (securityDescriptorBytes) *securityDescriptorBytes = 0;
    if (lastWriteTime) {
        lastWriteTime->dwLowDateTime = DWORD(uint64_t(info.written));
        lastWriteTime->dwHighDateTime = DWORD(uint64_t(info.written) >> 32);
    }
    return result;
}

LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved, LPSTR keyClass,
                             LPDWORD classLength, PFILETIME lastWriteTime) {
    if (!name || !nameLength || reserved || (keyClass && !classLength)) return ERROR_INVALID_PARAMETER;
    std::string found, foundClass;
    int64_t written = 0;
    if (LONG error = ReadListed(hKey, Listing::kSubKeys, index, [&](Store& store, KeyId id) {
            return store.SubKeyAt(id, index, found, foundClass, written);
        }))
        return error;
    if (*nameLength <= found.size()) return ERROR_MORE_DATA;
    if (keyClass && *classLength <= foundClass.size()) return ERROR_MORE_DATA;
    memcpy(name, found.data(), found.size());
    name[found.size()] = '\0';
    *nameLength = DWORD(found.size());
    if (keyClass) {
        memcpy(keyClass, foundClass.data(), foundClass.size());
        keyClass[foundClass.size()] = '\0';
        *classLength = DWORD(foundClass.size());
    }
    if (lastWriteTime) {
        lastWriteTime->dwLowDateTime = DWORD(uint64_t(written));
        lastWriteTime->dwHighDateTime = DWORD(uint64_t(written) >> 32);
    }
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD index, LPSTR valueName, LPDWORD valueNameLength, LPDWORD reserved,
                             LPDWORD type, LPBYTE data, LPDWORD dataLength) {
    if (!valueName || !valueNameLength || reserved || (data && !dataLength)) return ERROR_INVALID_PARAMETER;
    std::string name, bytes;
    DWORD valueType = 0;
    if (LONG error = ReadListed(hKey, Listing::kValues, index, [&](Store& store, KeyId id) {
            return store.ValueAt(id, index, name, valueType, bytes);
        }))
        return error;
    if (*valueNameLength <= name.size()) return ERROR_MORE_DATA;
    LONG result = ERROR_SUCCESS;
    if (data) {
        if (*dataLength < bytes.size()) result = ERROR_MORE_DATA;
        else memcpy(data, bytes.data(), bytes.size());
    }
    memcpy(valueName, name.data(), name.size());
    valueName[name.size()] = '\0';
    *valueNameLength = DWORD(name.size());
    if (type) *type = valueType;
    if (dataLength) *dataLength = DWORD(bytes.size());
    return result;
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD dataLength) {
    if (reserved || (data && !dataLength)) return ERROR_INVALID_PARAMETER;
    Store* store = nullptr;
    BaseKey base;
    if (LONG error = ResolveHandle(hKey, store, base)) return error;
    if (!(base.granted & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    std::string_view name = ValueName(valueName);
    if (ValueNameTooLong(name)) return ERROR_FILE_NOT_FOUND;
    const FoldedName folded(name);
    // The value through the thread's cache, as the store was when the counter last moved.
    const uint64_t count = store->ChangeCount();
    auto* cache = store->ValueCache(count);
    std::string key;
    const Store::CachedValue* value = nullptr;
    thread_local Store::CachedValue fetched;
    if (cache) {
        key.assign(reinterpret_cast<const char*>(&base.id), sizeof base.id);
        key += folded.Fold();
        auto it = cache->find(key);
        if (it != cache->end()) value = &it->second;
    }
    if (!value) {
        fetched.type = 0;
        fetched.result = store->GetValue(base.id, folded.Fold(), fetched.type, &fetched.data);
        if (fetched.result == ERROR_FILE_NOT_FOUND && !base.predefined) {
            // Absent value, or a key deleted since the handle was opened.
            KeyRow row;
            if (LONG gone = store->LoadKey(base.id, row)) fetched.result = gone;
        }
        value = &fetched;
        if (cache && store->ChangeCount() == count &&
            (fetched.result == ERROR_SUCCESS || fetched.result == ERROR_FILE_NOT_FOUND ||
             fetched.result == ERROR_KEY_DELETED) &&
            fetched.data.size() <= 4096)
            value = &((*cache)[key] = fetched);
    }
    if (value->result) return value->result;
    if (type) *type = value->type;
    if (!dataLength) return ERROR_SUCCESS;
    const std::string& bytes = value->data;
    const DWORD valueType = value->type;
    const DWORD size = DWORD(bytes.size());
    if (data) {
        if (*dataLength < size) {
            *dataLength = size;
            return ERROR_MORE_DATA;
        }
        memcpy(data, bytes.data(), size);
        // A string stored without its terminator gets one where the buffer has room.
        const bool isString = valueType == REG_SZ || valueType == REG_EXPAND_SZ || valueType == REG_MULTI_SZ;
        if (isString && *dataLength > size && (size == 0 || bytes[size - 1] != '\0')) data[size] = 0;
    }
    *dataLength = size;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD dataLength) {
    (void)reserved;
    if (!data && dataLength) return ERROR_NOACCESS;
    // Exactly the bytes and size given, whatever the type: nothing past the caller's data
    // is read. (Windows NT's ANSI function counts a terminator that follows a string's
    // data; this layer does not, so that a string stored without one reads back whole.)
    return ChangeValue(hKey, valueName, ERROR_INVALID_PARAMETER, [&](Store& store, KeyId id, const FoldedName& name) {
        return store.SetValue(id, name.Get(), type, data, dataLength);
    });
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR valueName) {
    return ChangeValue(hKey, valueName, ERROR_FILE_NOT_FOUND, [](Store& store, KeyId id, const FoldedName& name) {
        return store.DeleteValue(id, name.Fold());
    });
}

LSTATUS WINAPI SHDeleteKeyA(HKEY hKey, LPCSTR subKey) {
    Store* store = nullptr;
    BaseKey base;
    if (LONG error = ResolveHandle(hKey, store, base)) return error;
    KeyPath path;
    if (LONG error = path.Parse(Text(subKey))) return error;
    if (base.predefined && path.Empty()) return ERROR_ACCESS_DENIED;
    if (!store->Writable()) return ERROR_ACCESS_DENIED;
    WriteScope scope(*store);
    if (LONG error = scope.Error()) return error;
    KeyRow row;
    if (LONG error = WalkPath(*store, base, path, row)) return error;
    if (LONG error = store->DeleteTree(row.id)) return error;
    return scope.Commit();
}

LSTATUS WINAPI NavoRegSetKeyReadOnlyA(HKEY hKey, LPCSTR subKey, BOOL readOnly) {
    Store* store = nullptr;
    BaseKey base;
    if (LONG error = ResolveHandle(hKey, store, base)) return error;
    KeyPath path;
    if (LONG error = path.Parse(Text(subKey))) return error;
    if (!store->Writable()) return ERROR_ACCESS_DENIED;
    WriteScope scope(*store);
    if (LONG error = scope.Error()) return error;
    KeyRow row;
    if (LONG error = WalkPath(*store, base, path, row)) return error;
    if (LONG error = store->SetReadOnly(row.id, readOnly != FALSE)) return error;
    return scope.Commit();
}

LSTATUS WINAPI NavoRegGetKeyFlagsA(HKEY hKey, LPCSTR subKey, LPDWORD flags) {
    if (!flags) return ERROR_INVALID_PARAMETER;
    Store* store = nullptr;
    BaseKey base;
    if (LONG error = ResolveHandle(hKey, store, base)) return error;
    KeyPath path;
    if (LONG error = path.Parse(Text(subKey))) return error;
    ReadScope scope(*store, true);
    if (LONG error = scope.Error()) return error;
    KeyRow row;
    if (LONG error = WalkPath(*store, base, path, row)) return error;
    *flags = (row.isVolatile ? NAVO_REG_KEY_VOLATILE : 0) | (row.readOnly ? NAVO_REG_KEY_READ_ONLY : 0);
    return ERROR_SUCCESS;
}

}  // extern "C"
