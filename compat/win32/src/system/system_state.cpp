// The emulated system's state directory, and the private files and folders in it.

#include "system/system_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace navo::win32 {

namespace {

thread_local std::string t_problem;

std::string Octal(mode_t mode) {
    char text[8];
    snprintf(text, sizeof text, "%04o", unsigned(mode & 07777));
    return text;
}

}  // namespace

std::string StateDirectory() {
    const char* home = getenv("NAVOTOOLS_HOME");
    if (home && *home) return home;
    const char* config = getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/navotools";
    const char* user = getenv("HOME");
    if (user && *user) return std::string(user) + "/.config/navotools";
    return {};
}

bool CheckPrivateDirectory(const std::string& dir, std::string* why) {
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) {
        int error = errno;
        if (why) *why = dir + " cannot be examined";
        errno = error;
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        if (why) *why = dir + " is not a directory";
        errno = ENOTDIR;
        return false;
    }
    if (st.st_uid != geteuid() && st.st_uid != 0) {
        if (why)
            *why = dir + " belongs to another user (uid " + std::to_string(st.st_uid) +
                   "): it may not hold this user's state";
        errno = EPERM;
        return false;
    }
    if (st.st_mode & (S_IWGRP | S_IWOTH)) {
        if (why)
            *why = dir + " may be written by other users (mode " + Octal(st.st_mode) +
                   "): refused; make it private with chmod go-w (or 700)";
        errno = EPERM;
        return false;
    }
    return true;
}

std::string EnsureStateDirectory() {
    t_problem.clear();
    std::string dir = StateDirectory();
    if (dir.empty()) {
        t_problem = "no state directory: none of NAVOTOOLS_HOME, XDG_CONFIG_HOME and HOME is set";
        errno = ENOENT;
        return {};
    }
    // Each missing component in turn, as mkdir -p does; those it makes are 0700.
    for (size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
        std::string part = dir.substr(0, slash);
        if (mkdir(part.c_str(), 0700) == 0) {
            if (chmod(part.c_str(), 0700) != 0) {
                int error = errno;
                t_problem = part + " cannot be made private";
                errno = error;
                return {};
            }
        } else if (errno != EEXIST) {
            int error = errno;
            t_problem = part + " cannot be made";
            errno = error;
            return {};
        }
        if (slash == std::string::npos) break;
    }
    if (!CheckPrivateDirectory(dir, &t_problem)) return {};
    return dir;
}

const std::string& StateDirectoryProblem() { return t_problem; }

int OpenPrivateFile(const std::string& path, int flags) {
    const bool writing = (flags & O_ACCMODE) != O_RDONLY;
    const int base = (flags & ~(O_CREAT | O_EXCL)) | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    bool created = false;
    int fd = -1;
    if (flags & O_CREAT) {
        fd = open(path.c_str(), base | O_CREAT | O_EXCL, 0600);
        created = fd >= 0;
        if (fd < 0 && (errno != EEXIST || (flags & O_EXCL))) return -1;
    }
    if (fd < 0) fd = open(path.c_str(), base);
    if (fd < 0) return -1;
    struct stat st;
    int error = 0;
    if (fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        error = EINVAL;
    } else if (writing && st.st_uid != geteuid()) {
        error = EPERM;
    } else {
        // Private, and blocking again unless the caller asked otherwise.
        const bool privatize = (created || (st.st_mode & 077)) && st.st_uid == geteuid();
        const bool unblock = !(flags & O_NONBLOCK);
        if ((privatize && fchmod(fd, 0600) != 0) ||
            (unblock && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0))
            error = errno;
    }
    if (error) {
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

}  // namespace navo::win32

#include <windows.h>

#include <cstring>

#include "navo_state.h"

extern "C" DWORD WINAPI NavoGetStateDirectoryA(LPSTR buffer, DWORD size, BOOL create) {
    std::string dir = create ? navo::win32::EnsureStateDirectory() : navo::win32::StateDirectory();
    if (dir.empty()) {
        SetLastError(errno == EPERM || errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND);
        return 0;
    }
    if (!buffer || dir.size() + 1 > size) return DWORD(dir.size() + 1);
    memcpy(buffer, dir.c_str(), dir.size() + 1);
    return DWORD(dir.size());
}

extern "C" DWORD WINAPI NavoGetStateDirectoryProblemA(LPSTR buffer, DWORD size) {
    const std::string& problem = navo::win32::StateDirectoryProblem();
    if (!buffer || problem.size() + 1 > size) return DWORD(problem.size() + 1);
    memcpy(buffer, problem.c_str(), problem.size() + 1);
    return DWORD(problem.size());
}
