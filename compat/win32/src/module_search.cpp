// The loader's file search: folders in order, names matched case-insensitively.
#include "module_search.h"

#include <dirent.h>
#include <dlfcn.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

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

std::string FindModuleInFolder(const std::string& folder, const std::string& file) {
    std::string found = FindInFolder(folder, file);
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

void AddFolder(std::vector<std::string>& folders, std::string folder) {
    if (folder.empty()) return;
    for (const std::string& f : folders)
        if (f == folder) return;
    folders.push_back(std::move(folder));
}

}  // namespace

std::vector<std::string> ModuleSearchFolders() {
    std::vector<std::string> folders;
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n > 0) AddFolder(folders, FolderOf(std::string(buffer, size_t(n))));
    // As on the platform, a folder set by SetDllDirectoryA (even an empty one) takes the
    // current folder's place.
    if (std::optional<std::string> dllDirectory = CurrentDllDirectory()) AddFolder(folders, *dllDirectory);
    else if (getcwd(buffer, sizeof buffer)) AddFolder(folders, buffer);
    if (const char* list = getenv("NAVOTOOLS_LIBRARY_PATH")) {
        std::string rest = list;
        while (!rest.empty()) {
            size_t colon = rest.find(':');
            AddFolder(folders, rest.substr(0, colon));
            if (colon == std::string::npos) break;
            rest.erase(0, colon + 1);
        }
    }
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&ModuleSearchFolders), &info) && info.dli_fname &&
        strchr(info.dli_fname, '/'))
        AddFolder(folders, FolderOf(MakeAbsolute(info.dli_fname)));
#ifdef NAVOTOOLS_MODULE_DIR
    AddFolder(folders, NAVOTOOLS_MODULE_DIR);
#endif
    return folders;
}

std::string SearchModuleFile(const char* name, DWORD& error) {
    error = ERROR_SUCCESS;
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
        found = FindModuleInFolder(slash == 0 ? "/" : wanted.substr(0, slash), file);
    } else {
        for (const std::string& folder : ModuleSearchFolders()) {
            found = FindModuleInFolder(folder, file);
            if (!found.empty()) break;
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
