// Run-time library path functions that the platform's C library declares in stdlib.h.
#pragma once

#include "windef.h"

#define _MAX_PATH 260
#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

extern "C" {

// Splits a path into drive ("C:" when the second character is a colon), directory (up
// to and including the last '\' or '/'), base name and extension (from the last '.' of
// the file name on). Any output may be null. Each component is cut to its buffer size
// (_MAX_DRIVE, _MAX_DIR, _MAX_FNAME, _MAX_EXT, terminator included).
NAVO_WIN32_API void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);

}  // extern "C"
