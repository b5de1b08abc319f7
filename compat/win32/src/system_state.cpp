// The emulated system's state directory.

#include "system_state.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace navo::win32 {

std::string StateDirectory() {
    const char* home = getenv("NAVOTOOLS_HOME");
    if (home && *home) return home;
    const char* config = getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/navotools";
    const char* user = getenv("HOME");
    if (user && *user) return std::string(user) + "/.config/navotools";
    return {};
}

std::string EnsureStateDirectory() {
    std::string dir = StateDirectory();
    if (dir.empty()) {
        errno = ENOENT;
        return {};
    }
    // Each missing component in turn, as mkdir -p does.
    for (size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
        std::string part = dir.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return {};
        if (slash == std::string::npos) break;
    }
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) return {};
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return {};
    }
    return dir;
}

}  // namespace navo::win32

#include <windows.h>

#include <cstring>

#include "navo_state.h"

extern "C" DWORD WINAPI NavoGetStateDirectoryA(LPSTR buffer, DWORD size, BOOL create) {
    std::string dir = create ? navo::win32::EnsureStateDirectory() : navo::win32::StateDirectory();
    if (dir.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    if (!buffer || dir.size() + 1 > size) return DWORD(dir.size() + 1);
    memcpy(buffer, dir.c_str(), dir.size() + 1);
    return DWORD(dir.size());
}
