// A virtual X display for the length of a test: Xvfb started on a free display number (it
// picks one and reports it through -displayfd), DISPLAY set to it, and the server stopped
// and reaped at the end. The server runs with -noreset: the window functions connect for
// each call, and a server that resets whenever its last client leaves refuses the
// connections that arrive while it does.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

extern char** environ;

// Waits, checking every few milliseconds, until condition() holds or the deadline passes;
// returns what condition() last gave. Deadlines are generous: they only stop a hung test.
template <typename Condition>
bool WaitForCondition(Condition condition, std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
    auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

class VirtualDisplay {
public:
    // True when an Xvfb binary can be found on PATH.
    static bool Available() { return !FindOnPath("Xvfb").empty(); }

    // Starts the server; an empty display() when it did not come up.
    VirtualDisplay() {
        std::string xvfb = FindOnPath("Xvfb");
        if (xvfb.empty()) return;
        int fds[2];
        if (pipe(fds) != 0) return;
        std::string fd = std::to_string(fds[1]);
        const char* argv[] = {xvfb.c_str(), "-displayfd", fd.c_str(), "-nolisten", "tcp", "-noreset", "-screen", "0", "640x480x24",
                              nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        int error = posix_spawn(&pid_, xvfb.c_str(), &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (error != 0) {
            pid_ = -1;
            close(fds[0]);
            return;
        }
        // The server writes its display number and a line feed once it accepts clients.
        std::string number;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 500) <= 0) continue;
            char c;
            if (read(fds[0], &c, 1) != 1) break;
            if (c == '\n') {
                display_ = ":" + number;
                break;
            }
            number += c;
        }
        close(fds[0]);
        // The server reports its number before it serves its first client; wait until a
        // connection is accepted.
        if (!display_.empty()) {
            bool ready = WaitForCondition([&] {
                Display* d = XOpenDisplay(display_.c_str());
                if (d) XCloseDisplay(d);
                return d != nullptr;
            });
            if (!ready) display_.clear();
        }
        if (!display_.empty()) {
            const char* old = getenv("DISPLAY");
            hadDisplay_ = old != nullptr;
            if (old) oldDisplay_ = old;
            setenv("DISPLAY", display_.c_str(), 1);
        }
    }

    ~VirtualDisplay() {
        if (hadDisplay_) setenv("DISPLAY", oldDisplay_.c_str(), 1);
        else unsetenv("DISPLAY");
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status;
            waitpid(pid_, &status, 0);
        }
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    const std::string& display() const { return display_; }

    static std::string FindOnPath(const std::string& name) {
        const char* path = getenv("PATH");
        std::string folders = path ? path : "/usr/bin:/bin";
        size_t start = 0;
        for (;;) {
            size_t end = folders.find(':', start);
            std::string candidate = folders.substr(start, end == std::string::npos ? end : end - start) + "/" + name;
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
            if (end == std::string::npos) return {};
            start = end + 1;
        }
    }

private:
    pid_t pid_ = -1;
    std::string display_;
    std::string oldDisplay_;
    bool hadDisplay_ = false;
};

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
    return WaitForCondition(condition, deadline);
}
