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

// Splits a path into its names. A leading backslash or an empty name inside the path is
// ERROR_BAD_PATHNAME; trailing backslashes are allowed, as on the platform. A name
// longer than the platform's limit is ERROR_INVALID_PARAMETER.
template <typename Fn>
LONG ForEachName(std::string_view path, Fn&& fn) {
    while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    if (path.empty()) return ERROR_SUCCESS;
    if (path.front() == '\\') return ERROR_BAD_PATHNAME;
    size_t start = 0;
    for (;;) {
        size_t end = path.find('\\', start);
        std::string_view name = path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (name.empty()) return ERROR_BAD_PATHNAME;
        if (name.size() > NAVO_REG_MAX_KEY_NAME && NameCharacters(name) > NAVO_REG_MAX_KEY_NAME)
            return ERROR_INVALID_PARAMETER;
        if (LONG error = fn(name)) return error;
        if (end == std::string_view::npos) return ERROR_SUCCESS;
        start = end + 1;
    }
}

LONG CheckPath(std::string_view path) {
    return ForEachName(path, [](std::string_view) { return ERROR_SUCCESS; });
}

std::string_view ValueName(LPCSTR name) { return name ? std::string_view(name) : std::string_view(); }

bool ValueNameTooLong(std::string_view name) {
    return name.size() > NAVO_REG_MAX_VALUE_NAME && NameCharacters(name) > NAVO_REG_MAX_VALUE_NAME;
}

// A read transaction for calls that make more than one lookup, so they see one state.
class ReadScope {
public:
    ReadScope(Store& store, bool needed) : store_(store) {
        if (needed && !store.InTransaction()) error_ = store.Begin(false), active_ = error_ == ERROR_SUCCESS;
    }
    ~ReadScope() {
        if (active_) store_.Commit();
    }
    LONG Error() const { return error_; }
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
    explicit WriteScope(Store& store) : store_(store) { error_ = store.Begin(true); }
    ~WriteScope() {
        if (error_ == ERROR_SUCCESS && !done_) store_.Rollback();
    }
    LONG Error() const { return error_; }
    LONG Commit() {
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

LONG ResolveHandle(HKEY hKey, Store*& store, BaseKey& base) {
    LONG error;
    uintptr_t value = reinterpret_cast<uintptr_t>(hKey);
    uintptr_t first = reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT);
    if (hKey == HKEY_CLASSES_ROOT || hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_USERS ||
        hKey == HKEY_CURRENT_CONFIG) {
        base.id = (hKey == HKEY_CURRENT_CONFIG) ? kCurrentConfigId : KeyId(value - first) + kFirstRootId;
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

LONG WalkPath(Store& store, const BaseKey& base, std::string_view path, KeyRow& row) {
    // A predefined root always exists; its row is read only when the root itself is meant,
    // for its read-only mark.
    if (!base.predefined || path.find_first_not_of('\\') == std::string_view::npos) {
        if (LONG error = store.LoadKey(base.id, row)) return error;
    } else {
        row = KeyRow{base.id, false, false, 0};
    }
    return ForEachName(path, [&](std::string_view name) {
        KeyRow child;
        LONG error = store.LookupChild(row.id, name, child);
        if (error == ERROR_SUCCESS) row = child;
        return error;
    });
}

LONG CheckKeyPath(std::string_view path) { return CheckPath(path); }

LONG CreatePath(Store& store, KeyRow start, std::string_view path, bool makeVolatile, std::string_view keyClass,
                KeyRow& row, bool& created) {
    row = start;
    return ForEachName(path, [&](std::string_view name) {
        KeyRow child;
        LONG e = store.LookupChild(row.id, name, child);
        if (e == ERROR_FILE_NOT_FOUND) {
            if (row.readOnly) return LONG(ERROR_ACCESS_DENIED);
            if (row.depth + 1 > NAVO_REG_MAX_DEPTH) return LONG(ERROR_INVALID_PARAMETER);
            if (row.isVolatile && !makeVolatile) return LONG(ERROR_CHILD_MUST_BE_VOLATILE);
            e = store.InsertChild(row, name, makeVolatile, keyClass, child);
            created = true;
        }
        if (e == ERROR_SUCCESS) row = child;
        return e;
    });
}

bool ValueNameFits(std::string_view name) { return !ValueNameTooLong(name); }

namespace {

// WalkPath through the thread's cache of resolved paths: the key of a path below a base,
// or that it does not exist, as the store was when the change counter last moved.
LONG CachedWalk(Store& store, const BaseKey& base, std::string_view path, KeyRow& row) {
    while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    const uint64_t count = store.ChangeCount();
    auto* cache = store.KeyCache(count);
    std::string key;
    if (cache) {
        key.assign(reinterpret_cast<const char*>(&base.id), sizeof base.id);
        std::string folded;
        FoldName(path, folded);
        key += folded;
        auto it = cache->find(key);
        if (it != cache->end()) {
            row = it->second;
            return row.id ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        }
    }
    LONG error;
    {
        ReadScope scope(store, path.find('\\') != std::string_view::npos || !base.predefined);
        if ((error = scope.Error()) != ERROR_SUCCESS) return error;
        error = WalkPath(store, base, path, row);
    }
    if (cache && (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) && store.ChangeCount() == count)
        (*cache)[key] = error == ERROR_SUCCESS ? row : KeyRow{};
    return error;
}

}  // namespace

LONG OpenKeyHandle(HKEY hKey, LPCSTR subKey, REGSAM sam, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Store* store = nullptr;
    BaseKey base;
    if (LONG error = ResolveHandle(hKey, store, base)) return error;
    std::string_view path = subKey ? std::string_view(subKey) : std::string_view();
    if (LONG error = CheckPath(path)) return error;
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
    const bool makeVolatile = (options & REG_OPTION_VOLATILE) != 0;
    Store* store = nullptr;
    BaseKey base;
    if (LONG error = ResolveHandle(hKey, store, base)) return error;
    std::string_view path(subKey);
    if (LONG error = CheckPath(path)) return error;

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
        LONG error = CreatePath(*store, row, path, makeVolatile, keyClass ? std::string_view(keyClass) : "", row,
                                created);
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
    if (hKey == HKEY_CLASSES_ROOT || hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_USERS ||
        hKey == HKEY_CURRENT_CONFIG || hKey == HKEY_PERFORMANCE_DATA)
        return ERROR_SUCCESS;
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
    Store* store = nullptr;
    BaseKey base;
    if (LONG error = ResolveHandle(hKey, store, base)) return error;
    if (!(base.granted & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    std::string found, foundClass;
    int64_t written = 0;
    if (store->CursorHolds(base.id, index, false)) {
        // The next name of an enumeration under way, read with the key when nothing changed.
        if (LONG error = store->SubKeyAt(base.id, index, found, foundClass, written)) return error;
    } else {
        ReadScope scope(*store, !base.predefined);
        if (LONG error = scope.Error()) return error;
        KeyRow row;
        if (!base.predefined)
            if (LONG error = store->LoadKey(base.id, row)) return error;
        if (LONG error = store->SubKeyAt(base.id, index, found, foundClass, written)) return error;
    }
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
    Store* store = nullptr;
    BaseKey base;
    if (LONG error = ResolveHandle(hKey, store, base)) return error;
    if (!(base.granted & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    std::string name, bytes;
    DWORD valueType = 0;
    if (store->CursorHolds(base.id, index, true)) {
        if (LONG error = store->ValueAt(base.id, index, name, valueType, bytes)) return error;
    } else {
        ReadScope scope(*store, !base.predefined);
        if (LONG error = scope.Error()) return error;
        KeyRow row;
        if (!base.predefined)
            if (LONG error = store->LoadKey(base.id, row)) return error;
        if (LONG error = store->ValueAt(base.id, index, name, valueType, bytes)) return error;
    }
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
    // The value through the thread's cache, as the store was when the counter last moved.
    const uint64_t count = store->ChangeCount();
    auto* cache = store->ValueCache(count);
    std::string key;
    const Store::CachedValue* value = nullptr;
    thread_local Store::CachedValue fetched;
    if (cache) {
        key.assign(reinterpret_cast<const char*>(&base.id), sizeof base.id);
        std::string folded;
        FoldName(name, folded);
        key += folded;
        auto it = cache->find(key);
        if (it != cache->end()) value = &it->second;
    }
    if (!value) {
        fetched.type = 0;
        fetched.result = store->GetValue(base.id, name, fetched.type, &fetched.data);
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
    Store* store = nullptr;
    BaseKey base;
    if (LONG error = ResolveHandle(hKey, store, base)) return error;
    if (!(base.granted & KEY_SET_VALUE) || !store->Writable()) return ERROR_ACCESS_DENIED;
    std::string_view name = ValueName(valueName);
    if (ValueNameTooLong(name)) return ERROR_INVALID_PARAMETER;
    WriteScope scope(*store);
    if (LONG error = scope.Error()) return error;
    if (base.predefined) {
        KeyRow row;
        if (LONG error = store->LoadKey(base.id, row)) return error;
        if (row.readOnly) return ERROR_ACCESS_DENIED;
    }
    // The key's last write time, and proof that it still exists.
    if (LONG error = store->Touch(base.id)) return error;
    if (LONG error = store->SetValue(base.id, name, type, data, dataLength)) return error;
    return scope.Commit();
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR valueName) {
    Store* store = nullptr;
    BaseKey base;
    if (LONG error = ResolveHandle(hKey, store, base)) return error;
    if (!(base.granted & KEY_SET_VALUE) || !store->Writable()) return ERROR_ACCESS_DENIED;
    std::string_view name = ValueName(valueName);
    if (ValueNameTooLong(name)) return ERROR_FILE_NOT_FOUND;
    WriteScope scope(*store);
    if (LONG error = scope.Error()) return error;
    if (base.predefined) {
        KeyRow row;
        if (LONG error = store->LoadKey(base.id, row)) return error;
        if (row.readOnly) return ERROR_ACCESS_DENIED;
    }
    if (LONG error = store->Touch(base.id)) return error;
    if (LONG error = store->DeleteValue(base.id, name)) return error;
    return scope.Commit();
}

LSTATUS WINAPI SHDeleteKeyA(HKEY hKey, LPCSTR subKey) {
    Store* store = nullptr;
    BaseKey base;
    if (LONG error = ResolveHandle(hKey, store, base)) return error;
    std::string_view path = subKey ? std::string_view(subKey) : std::string_view();
    if (LONG error = CheckPath(path)) return error;
    if (base.predefined && path.find_first_not_of('\\') == std::string_view::npos) return ERROR_ACCESS_DENIED;
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
    std::string_view path = subKey ? std::string_view(subKey) : std::string_view();
    if (LONG error = CheckPath(path)) return error;
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
    std::string_view path = subKey ? std::string_view(subKey) : std::string_view();
    if (LONG error = CheckPath(path)) return error;
    ReadScope scope(*store, true);
    if (LONG error = scope.Error()) return error;
    KeyRow row;
    if (LONG error = WalkPath(*store, base, path, row)) return error;
    *flags = (row.isVolatile ? NAVO_REG_KEY_VOLATILE : 0) | (row.readOnly ? NAVO_REG_KEY_READ_ONLY : 0);
    return ERROR_SUCCESS;
}

}  // extern "C"
