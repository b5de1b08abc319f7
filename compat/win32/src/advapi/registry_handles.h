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

// The calling thread's store and the key of a predefined root or open handle:
// ERROR_INVALID_HANDLE for anything else.
LONG ResolveHandle(HKEY hKey, Store*& store, BaseKey& base);

// The key at a path below base, inside the caller's transaction.
LONG WalkPath(Store& store, const BaseKey& base, std::string_view path, KeyRow& row);

// ERROR_BAD_PATHNAME or ERROR_INVALID_PARAMETER for a path the functions refuse.
LONG CheckKeyPath(std::string_view path);

// Walks a path from start, creating each missing key with the option and class given,
// as RegCreateKeyExA does, inside the caller's write transaction.
LONG CreatePath(Store& store, KeyRow start, std::string_view path, bool makeVolatile, std::string_view keyClass,
                KeyRow& row, bool& created);

// False for a value name over the platform's limit.
bool ValueNameFits(std::string_view name);

}  // namespace navo::win32::registry
