// Where a module name leads on Linux.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace navo::win32 {

// The folders a bare module name is looked for in, in order: the application's folder,
// the current folder (or instead the folder set by SetDllDirectoryA, none when it set an
// empty one), then the library folders (each entry of NAVOTOOLS_LIBRARY_PATH, a
// colon-separated list, then the folder of this library and its installed module folder).
std::vector<std::string> ModuleSearchFolders();

// The file a module name names, as the platform's loader resolves it. A name with a
// folder part ('/' or '\\') is taken as given; a bare name is looked for in
// ModuleSearchFolders(). A name without an extension gets ".dll"; a trailing dot says
// "no extension". File names match case-insensitively, and "NAME.dll" is also found as
// the Winelib file "NAME.dll.so". Returns the absolute path, or an empty string with
// `error` set to ERROR_MOD_NOT_FOUND (nothing found) or ERROR_INVALID_PARAMETER (an empty
// or over-long name).
std::string SearchModuleFile(const char* name, DWORD& error);

}  // namespace navo::win32
