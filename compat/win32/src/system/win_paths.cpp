// Win32 file names on Linux, and the run-time library's _splitpath.
#include "system/win_paths.h"

#include <windows.h>

#include <cctype>
#include <cstring>

#include "system/system_state.h"

namespace navo::win32 {

std::string LinuxPathFromWin32(const std::string& name) {
    std::string path = name;
    for (char& c : path)
        if (c == '\\') c = '/';
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        std::string state = StateDirectory();
        if (state.empty()) return {};
        std::string rest = path.substr(2);
        if (rest.empty() || rest[0] != '/') rest.insert(rest.begin(), '/');
        return state + "/drive_" + char(std::tolower(static_cast<unsigned char>(path[0]))) + rest;
    }
    return path;
}

}  // namespace navo::win32

namespace {

void CopyPart(char* out, size_t max, const char* begin, const char* end) {
    if (!out) return;
    size_t n = size_t(end - begin);
    if (n > max - 1) n = max - 1;
    memcpy(out, begin, n);
    out[n] = '\0';
}

}  // namespace

extern "C" void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext) {
    if (!path) path = "";
    const char* p = path;
    if (p[0] && p[1] == ':') {
        CopyPart(drive, _MAX_DRIVE, p, p + 2);
        p += 2;
    } else {
        CopyPart(drive, _MAX_DRIVE, p, p);
    }
    const char* end = p + strlen(p);
    const char* name = p;
    const char* dot = nullptr;
    for (const char* q = p; q < end; ++q) {
        if (*q == '\\' || *q == '/') {
            name = q + 1;
            dot = nullptr;
        } else if (*q == '.') {
            dot = q;
        }
    }
    CopyPart(dir, _MAX_DIR, p, name);
    if (!dot) dot = end;
    CopyPart(fname, _MAX_FNAME, name, dot);
    CopyPart(ext, _MAX_EXT, dot, end);
}

#include <sys/stat.h>

#include <cerrno>

namespace navo::win32 {

unsigned long Win32ErrorFromErrno(int error) {
    switch (error) {
        case 0: return ERROR_SUCCESS;
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
        case ELOOP: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case ETXTBSY: return ERROR_ACCESS_DENIED;
        case EROFS: return ERROR_WRITE_PROTECT;
        case ENOSPC:
        case EDQUOT: return ERROR_DISK_FULL;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EEXIST: return ERROR_ALREADY_EXISTS;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        case ENOEXEC: return ERROR_BAD_FORMAT;
        case EIO:
        default: return ERROR_GEN_FAILURE;
    }
}

unsigned long NotFoundError(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    struct stat st;
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

}  // namespace navo::win32
