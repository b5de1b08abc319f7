// The loader's file search: folders in order, names matched case-insensitively.
#include "kernel/module_search.h"

#include <dirent.h>
#include <dlfcn.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

#include "system/file_read.h"

// The installed module folder relative to the library's folder (both as installed).
#ifndef NAVOTOOLS_MODULE_SUBDIR
#define NAVOTOOLS_MODULE_SUBDIR "navotools"
#endif

namespace navo::win32 {
namespace {

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& file) {
    if (folder.empty() || folder.back() == '/') return folder + file;
    return folder + "/" + file;
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// `file` in `folder`: the exact name first, then any entry that differs only in case.
std::string FindInFolder(const std::string& folder, const std::string& file) {
    std::string exact = JoinPath(folder, file);
    if (IsRegularFile(exact)) return exact;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return {};
    std::string found;
    while (dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, file.c_str()) != 0) continue;
        std::string candidate = JoinPath(folder, entry->d_name);
        if (IsRegularFile(candidate)) {
            found = candidate;
            break;
        }
    }
    closedir(dir);
    return found;
}

// Whether the file begins as a PE (MZ) image does.
bool IsPeImage(const std::string& path) {
    // A FIFO planted under a module's name must not stall the search.
    struct stat st{};
    int fd = OpenForReading(path, st);
    if (fd < 0) return false;
    char magic[2] = {};
    bool pe = read(fd, magic, 2) == 2 && magic[0] == 'M' && magic[1] == 'Z';
    close(fd);
    return pe;
}

// `file` in `folder`, also as the Winelib file "`file`.so". Where code may not come from,
// only a PE image is taken.
std::string FindModuleInFolder(const std::string& folder, const std::string& file, bool dataOnly) {
    std::string found = FindInFolder(folder, file);
    if (dataOnly) return !found.empty() && IsPeImage(found) ? found : std::string();
    if (found.empty()) found = FindInFolder(folder, file + ".so");
    return found;
}

std::string MakeAbsolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return path;
    std::string result = JoinPath(cwd, path.rfind("./", 0) == 0 ? path.substr(2) : path);
    return result;
}

// The folder set by SetDllDirectoryA: none (the default search), empty (the current
// folder only taken out) or a folder searched in the current folder's place.
struct DllDirectory {
    std::mutex lock;
    std::optional<std::string> folder;
};

DllDirectory& TheDllDirectory() {
    static DllDirectory* directory = new DllDirectory;  // used while the process exits
    return *directory;
}

std::optional<std::string> CurrentDllDirectory() {
    DllDirectory& d = TheDllDirectory();
    std::lock_guard<std::mutex> guard(d.lock);
    return d.folder;
}

void AddFolder(std::vector<ModuleSearchFolder>& folders, std::string folder, bool codeAllowed) {
    if (folder.empty()) return;
    for (const ModuleSearchFolder& f : folders)
        if (f.path == folder) return;
    folders.push_back({std::move(folder), codeAllowed});
}

std::string ApplicationFolder() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? FolderOf(std::string(buffer, size_t(n))) : std::string();
}

std::string CurrentFolder() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

// The folder of the object this code is linked into: libNavoTools.so, or the program
// itself when it links the layer's objects directly.
std::string LibraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&LibraryFolder), &info) && info.dli_fname &&
        strchr(info.dli_fname, '/'))
        return FolderOf(MakeAbsolute(info.dli_fname));
    return {};
}

}  // namespace

std::string InstalledModuleFolder() {
    std::string library = LibraryFolder();
    if (library.empty()) return {};
    return JoinPath(library, NAVOTOOLS_MODULE_SUBDIR);
}

std::vector<ModuleSearchFolder> ModuleSearchOrder() {
    std::vector<ModuleSearchFolder> folders;
    AddFolder(folders, ApplicationFolder(), true);
    // As on the platform, a folder set by SetDllDirectoryA comes right after the
    // application's, and any setting (even an empty folder) takes the current folder out.
    std::optional<std::string> dllDirectory = CurrentDllDirectory();
    if (dllDirectory) AddFolder(folders, *dllDirectory, true);
    if (const char* list = getenv("NAVOTOOLS_LIBRARY_PATH")) {
        std::string rest = list;
        while (!rest.empty()) {
            size_t colon = rest.find(':');
            std::string entry = rest.substr(0, colon);
            // A relative entry would name a folder under the current one.
            if (!entry.empty() && entry[0] == '/') AddFolder(folders, entry, true);
            if (colon == std::string::npos) break;
            rest.erase(0, colon + 1);
        }
    }
    AddFolder(folders, LibraryFolder(), true);
    AddFolder(folders, InstalledModuleFolder(), true);
    // The platform's safe search puts the current folder after the system's folders; here
    // it comes last and holds data only.
    if (!dllDirectory) AddFolder(folders, CurrentFolder(), false);
    return folders;
}

std::vector<std::string> ModuleSearchFolders() {
    std::vector<std::string> paths;
    for (ModuleSearchFolder& folder : ModuleSearchOrder()) paths.push_back(std::move(folder.path));
    return paths;
}

std::vector<std::string> DataFileFolders() {
    std::vector<std::string> folders;
    std::string application = ApplicationFolder();
    if (!application.empty()) folders.push_back(application);
    std::optional<std::string> dllDirectory = CurrentDllDirectory();
    std::string second = dllDirectory ? *dllDirectory : CurrentFolder();
    if (!second.empty() && second != application) folders.push_back(second);
    return folders;
}

std::string SearchModuleFile(const char* name, DWORD& error, ModuleUse use, bool* dataOnly) {
    error = ERROR_SUCCESS;
    if (dataOnly) *dataOnly = false;
    if (!name || !*name || strlen(name) >= PATH_MAX) {
        error = ERROR_INVALID_PARAMETER;
        return {};
    }
    std::string wanted = name;
    // Either separator divides folders, as on the platform.
    for (char& c : wanted)
        if (c == '\\') c = '/';
    size_t slash = wanted.find_last_of('/');
    std::string file = slash == std::string::npos ? wanted : wanted.substr(slash + 1);
    if (file.empty()) {
        error = ERROR_MOD_NOT_FOUND;
        return {};
    }
    if (file.back() == '.') file.pop_back();
    else if (file.find('.') == std::string::npos) file += ".dll";

    std::string found;
    if (slash != std::string::npos) {
        found = FindModuleInFolder(slash == 0 ? "/" : wanted.substr(0, slash), file, false);
    } else {
        for (const ModuleSearchFolder& folder : ModuleSearchOrder()) {
            bool restricted = use == ModuleUse::Code && !folder.codeAllowed;
            found = FindModuleInFolder(folder.path, file, restricted);
            if (found.empty()) continue;
            if (dataOnly) *dataOnly = !folder.codeAllowed;
            break;
        }
    }
    if (found.empty()) {
        error = ERROR_MOD_NOT_FOUND;
        return {};
    }
    return MakeAbsolute(found);
}

}  // namespace navo::win32

extern "C" BOOL WINAPI SetDllDirectoryA(LPCSTR pathName) {
    std::optional<std::string> folder;
    if (pathName) {
        if (strlen(pathName) >= PATH_MAX) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return FALSE;
        }
        folder = pathName;
        // Either separator divides folders, as on the platform.
        for (char& c : *folder)
            if (c == '\\') c = '/';
    }
    navo::win32::DllDirectory& d = navo::win32::TheDllDirectory();
    std::lock_guard<std::mutex> guard(d.lock);
    d.folder = std::move(folder);
    return TRUE;
}
