// Registering a PE file with the Win32 layer as a resource-image module, for the layer's
// own tests (LoadLibraryA does not load PE files on Linux).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "kernel/modules.h"
#include "system/file_read.h"

// Reads the PE file at `path` (at most 1 GiB, as LoadLibraryA takes) and registers it
// under its absolute path. Null with ERROR_FILE_NOT_FOUND when the file cannot be read,
// with RegisterImageModule's error when it is no image.
inline HMODULE RegisterImageModuleForTesting(const std::string& path) {
    std::vector<BYTE> bytes;
    if (navo::win32::ReadFileBounded(path, std::size_t(1) << 30, bytes) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return navo::win32::RegisterImageModule(navo::win32::AbsolutePath(path.c_str()), std::move(bytes));
}
