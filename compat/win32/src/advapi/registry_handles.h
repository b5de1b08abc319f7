// Key handles of the registry functions, for the layer's other registry code (the .reg
// importer and exporter).
#pragma once

#include <windows.h>

#include <string_view>

#include "advapi/registry_store.h"

namespace navo::win32::registry {

// The key a handle names, and the rights it was opened with.
struct BaseKey {
    KeyId id = 0;
    REGSAM granted = 0;
    bool predefined = false;
};

// Whether a handle is one of the predefined roots this registry holds a tree for
// (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
// HKEY_CURRENT_CONFIG), and the row of its tree.
bool IsPredefinedRoot(HKEY hKey);
KeyId RootKeyId(HKEY hKey);  // for a predefined root

// The calling thread's store and the key of a predefined root or open handle:
// ERROR_INVALID_HANDLE for anything else.
[[nodiscard]] LONG ResolveHandle(HKEY hKey, Store*& store, BaseKey& base);

// The key at a path below base, inside the caller's transaction.
[[nodiscard]] LONG WalkPath(Store& store, const BaseKey& base, const KeyPath& path, KeyRow& row);

// Walks a path from start, creating each missing key with the lifetime and class given,
// as RegCreateKeyExA does, inside the caller's write transaction.
[[nodiscard]] LONG CreatePath(Store& store, KeyRow start, const KeyPath& path, KeyLifetime lifetime,
                              std::string_view keyClass, KeyRow& row, bool& created);

// False for a value name over the platform's limit.
bool ValueNameFits(std::string_view name);

}  // namespace navo::win32::registry
