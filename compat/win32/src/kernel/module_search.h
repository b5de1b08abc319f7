// Where a module name leads on Linux.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace navo::win32 {

// What a found file will be used for. Code is loaded and run (an ELF `NAME.dll.so`);
// data is only read (a PE file loaded as a resource image, a file whose version is read).
enum class ModuleUse { Code, Data };

// One folder of the search for a bare module name.
struct ModuleSearchFolder {
    std::string path;
    // False for the current folder: only data (PE images) may come from it by a bare
    // name, never code, so that a file planted in the folder a program runs in is not run.
    bool codeAllowed = true;
};

// The folders a bare module name is looked for in, in order:
//   1. the application's folder (of the running executable);
//   2. the folder set by SetDllDirectoryA, when one is set and not empty;
//   3. the library folders: each absolute entry of NAVOTOOLS_LIBRARY_PATH (a
//      colon-separated list; relative entries are ignored), the folder of this library,
//      and its installed module folder (InstalledModuleFolder());
//   4. the current folder, last and for data only, unless SetDllDirectoryA set a folder
//      (an empty one included), which takes it out of the search.
// A folder that comes again later keeps its first place.
std::vector<ModuleSearchFolder> ModuleSearchOrder();

// The paths of ModuleSearchOrder(), in the same order.
std::vector<std::string> ModuleSearchFolders();

// The folders where a file is opened by its exact name before the loader is asked, as
// the platform's version functions do: the application's folder, then the folder set by
// SetDllDirectoryA (when set and not empty) or else the current folder. Files found there
// are only read.
std::vector<std::string> DataFileFolders();

// The installed module folder: where the providers (mapi32.dll.so), the message-box
// dialog program and the tour's resource DLLs are installed. It is found from the
// location of this library at run time (the folder of libNavoTools.so joined with the
// module folder's path relative to the library folder, as installed), so an installed
// tree keeps working when it is moved to another prefix. Empty when this library's own
// file cannot be found.
std::string InstalledModuleFolder();

// The file a module name names, as the platform's loader resolves it. A name with a
// folder part ('/' or '\\') is taken as given; a bare name is looked for in
// ModuleSearchOrder(). A name without an extension gets ".dll"; a trailing dot says
// "no extension". File names match case-insensitively, and "NAME.dll" is also found as
// the Winelib file "NAME.dll.so". For `use` Code, a folder of data only yields PE images
// (a file that begins with "MZ") and never "NAME.dll.so"; `dataOnly`, when given, is set
// to whether the file came from such a folder, so that the caller runs no code from it
// even if the file was replaced in between. Returns the absolute path, or an empty string
// with `error` set to ERROR_MOD_NOT_FOUND (nothing found) or ERROR_INVALID_PARAMETER (an
// empty or over-long name).
std::string SearchModuleFile(const char* name, DWORD& error, ModuleUse use = ModuleUse::Code,
                             bool* dataOnly = nullptr);

}  // namespace navo::win32
