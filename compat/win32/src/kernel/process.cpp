// WinExec: starting a program from a command line, without a shell.
//
// The command line is split as the platform splits one; the program is found the way the
// platform's CreateProcess finds it (an unquoted name with blanks tries each blank in turn
// as the end of the name), through PATH when it names no folder, and started with
// posix_spawn. Each started child is waited for by a small thread of its own, so that no
// zombie is left behind however long the application runs, and no SIGCHLD handler of the
// application is needed or disturbed.
#include <windows.h>

#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "kernel/command_line.h"
#include "system/win_paths.h"

namespace {

using navo::win32::LinuxPathFromWin32;

// WinExec's results below 32.
constexpr UINT kOutOfResources = 0;

// Where a program name leads: a path to start, or the WinExec error.
struct Resolution {
    std::string path;
    UINT error = ERROR_FILE_NOT_FOUND;
};

bool NamesFolder(const std::string& name) {
    return name.find_first_of("/\\") != std::string::npos || (name.size() >= 2 && name[1] == ':');
}

// The WinExec result for a program file: 0 (none) when it can be started.
UINT CheckProgram(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) return UINT(navo::win32::Win32ErrorFromErrno(errno));
        return UINT(navo::win32::NotFoundError(path));
    }
    if (S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
    if (access(path.c_str(), X_OK) != 0) return ERROR_ACCESS_DENIED;
    return 0;
}

Resolution Resolve(const std::string& name) {
    if (name.empty()) return {{}, ERROR_FILE_NOT_FOUND};
    if (NamesFolder(name)) {
        std::string path = LinuxPathFromWin32(name);
        if (path.empty()) return {{}, ERROR_PATH_NOT_FOUND};
        UINT error = CheckProgram(path);
        return {error ? std::string() : path, error};
    }
    const char* pathVariable = getenv("PATH");
    std::string folders = pathVariable ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
    // As execvp does: a match that cannot be started is remembered while the search goes
    // on, and reported only when nothing later can be.
    UINT error = ERROR_FILE_NOT_FOUND;
    size_t start = 0;
    for (;;) {
        size_t end = folders.find(':', start);
        std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (folder.empty()) folder.push_back('.');  // an empty entry is the current folder
        std::string candidate = folder;
        candidate += '/';
        candidate += name;
        UINT e = CheckProgram(candidate);
        if (e == 0) return {candidate, 0};
        if (e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND) error = e;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return {{}, error};
}

UINT ResultFromSpawnError(int error) {
    switch (error) {
        case ENOMEM:
        case EAGAIN:
        case E2BIG: return kOutOfResources;
        case ENOEXEC: return ERROR_BAD_FORMAT;
        default: {
            // As the platform's WinExec does, a code that cannot be a result (32 and
            // above would read as success) is reported as a bad format.
            unsigned long code = navo::win32::Win32ErrorFromErrno(error);
            return code < 32 ? UINT(code) : UINT(ERROR_BAD_FORMAT);
        }
    }
}

void* ReapChild(void* arg) {
    pid_t pid = pid_t(reinterpret_cast<intptr_t>(arg));
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return nullptr;
}

// Children whose reaper thread could not be started; they are collected at the next start.
std::mutex g_unreapedLock;
std::vector<pid_t> g_unreaped;

void CollectUnreaped() {
    std::lock_guard<std::mutex> lock(g_unreapedLock);
    for (size_t i = 0; i < g_unreaped.size();) {
        int status;
        pid_t r = waitpid(g_unreaped[i], &status, WNOHANG);
        if (r == g_unreaped[i] || (r < 0 && errno == ECHILD)) {
            g_unreaped[i] = g_unreaped.back();
            g_unreaped.pop_back();
        } else {
            ++i;
        }
    }
}

void StartReaper(pid_t pid) {
    pthread_attr_t attr;
    pthread_t thread;
    bool started = false;
    if (pthread_attr_init(&attr) == 0) {
        pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        pthread_attr_setstacksize(&attr, size_t{256} * 1024);
        started = pthread_create(&thread, &attr, &ReapChild, reinterpret_cast<void*>(intptr_t(pid))) == 0;
        pthread_attr_destroy(&attr);
    }
    if (!started) {
        std::lock_guard<std::mutex> lock(g_unreapedLock);
        g_unreaped.push_back(pid);
    }
}

UINT Spawn(const std::string& path, const std::string& programName, const std::vector<std::string>& arguments) {
    std::vector<std::string> args;
    args.push_back(programName);
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (posix_spawn_file_actions_init(&actions) != 0) return kOutOfResources;
    if (posix_spawnattr_init(&attr) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return kOutOfResources;
    }
    // Standard input, output and error are shared; no other descriptor of the application
    // reaches the program, as the platform does not let it inherit handles.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // The program starts with no signal blocked and every signal at its default action,
    // whatever the application has set for itself.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid;
    int error = posix_spawn(&pid, path.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return ResultFromSpawnError(error);
    StartReaper(pid);
    return 33;
}

}  // namespace

extern "C" UINT WINAPI WinExec(LPCSTR commandLine, UINT showCommand) {
    // No window of the program is created here, so the show command has nothing to act on.
    (void)showCommand;
    CollectUnreaped();
    if (!commandLine) return ERROR_FILE_NOT_FOUND;
    std::string_view line(commandLine);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);

    std::string_view rest;
    bool quoted = false;
    std::string name = navo::win32::SplitProgramName(line, rest, quoted);
    Resolution found = Resolve(name);
    if (!quoted && found.error != 0) {
        // An unquoted name with blanks: each further blank in turn may end the name, as
        // in "C:\Program Files\App\app.exe" -x. The first that leads to a program wins;
        // otherwise the error is that of the shortest name.
        //
        // Only names that can name a file are tried, so that the work stays linear in the
        // length of the line however many blanks it holds: a name of PATH_MAX bytes or
        // more gives a Linux path at least as long (a drive letter's folder is longer than
        // the two characters it replaces), which no file has; and a name without a folder
        // part, searched for in PATH, is one path component, of NAME_MAX bytes at most.
        const bool namedFolder = NamesFolder(name);
        size_t slash = line.find_first_of("/\\", name.size());
        for (size_t blank = name.size(); blank < line.size() && blank < size_t(PATH_MAX); ++blank) {
            if (line[blank] != ' ' && line[blank] != '\t') continue;
            size_t end = line.find_first_of(" \t", blank + 1);
            if (end == std::string_view::npos) end = line.size();
            if (end >= size_t(PATH_MAX)) break;
            bool bare = !namedFolder && (slash == std::string_view::npos || slash >= end);
            if (!bare || end <= size_t(NAME_MAX)) {
                std::string longer(line.substr(0, end));
                Resolution r = Resolve(longer);
                if (r.error == 0) {
                    found = r;
                    name = longer;
                    rest = line.substr(end);
                    break;
                }
            }
            blank = end - 1;
        }
    }
    if (found.error != 0) return found.error < 32 ? found.error : UINT(ERROR_BAD_FORMAT);
    return Spawn(found.path, name, navo::win32::SplitArguments(rest));
}
