// Win32 file names on Linux.
//
// Both '\' and '/' separate components. A drive letter names a folder of the emulated
// system's state directory: "C:\Users\a.lnk" is <state>/drive_c/Users/a.lnk (the letter in
// lower case), as a Wine prefix keeps its drive C. Any other name is a Linux path, absolute
// or relative to the current directory, with its backslashes turned into slashes.
#pragma once

#include <string>

namespace navo::win32 {

// The Linux path of a Win32 file name; empty for a drive letter when no state directory
// can be named.
std::string LinuxPathFromWin32(const std::string& name);

}  // namespace navo::win32

namespace navo::win32 {

// The Win32 error code closest to a POSIX errno value of a file operation.
unsigned long Win32ErrorFromErrno(int error);

// The error of a Linux path that does not exist: ERROR_FILE_NOT_FOUND when its folder
// exists, ERROR_PATH_NOT_FOUND when the folder does not, as the platform tells them apart.
unsigned long NotFoundError(const std::string& path);

}  // namespace navo::win32
