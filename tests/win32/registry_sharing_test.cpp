// The store shared by processes: concurrent writers lose nothing, a reader sees another
// process's writes, and a writer killed at any moment leaves every acknowledged write.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <windows.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "registry_support.h"

namespace {

using RegistrySharing = RegistryTest;

LONG SetNumber(const std::string& path, const std::string& name, DWORD n) {
    HKEY key;
    LONG r = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (r) return r;
    r = RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), 4);
    RegCloseKey(key);
    return r;
}

LONG GetNumber(const std::string& path, const std::string& name, DWORD& n) {
    HKEY key;
    LONG r = RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
    if (r) return r;
    DWORD size = 4;
    r = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<LPBYTE>(&n), &size);
    RegCloseKey(key);
    return r;
}

int WaitExitCode(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

TEST_F(RegistrySharing, FourProcessesLoseNoWrite) {
    constexpr int kProcesses = 4, kWrites = 150;
    MakeKey("Software\\Shared");  // the store exists before the children start
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = fork();
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < kWrites; ++i) {
                std::string own = "Software\\Own" + std::to_string(p);
                std::string name = "v" + std::to_string(i);
                if (SetNumber(own, name, DWORD(i)) != ERROR_SUCCESS) ++failures;
                if (SetNumber("Software\\Shared", "p" + std::to_string(p) + "_" + std::to_string(i), DWORD(p * 1000 + i)))
                    ++failures;
                // One value all write: the last writer wins, and no one fails.
                if (SetNumber("Software\\Shared", "last", DWORD(p))) ++failures;
                DWORD back = 0;
                if (GetNumber(own, name, back) != ERROR_SUCCESS || back != DWORD(i)) ++failures;
            }
            _exit(failures > 100 ? 100 : failures);
        }
        ASSERT_GT(pid, 0);
        children.push_back(pid);
    }
    for (pid_t pid : children) EXPECT_EQ(WaitExitCode(pid), 0);
    for (int p = 0; p < kProcesses; ++p) {
        for (int i = 0; i < kWrites; ++i) {
            DWORD n = 0xFFFFFFFF;
            ASSERT_EQ(GetNumber("Software\\Own" + std::to_string(p), "v" + std::to_string(i), n), ERROR_SUCCESS);
            EXPECT_EQ(n, DWORD(i));
            ASSERT_EQ(GetNumber("Software\\Shared", "p" + std::to_string(p) + "_" + std::to_string(i), n), ERROR_SUCCESS);
            EXPECT_EQ(n, DWORD(p * 1000 + i));
        }
    }
    DWORD last = 99;
    ASSERT_EQ(GetNumber("Software\\Shared", "last", last), ERROR_SUCCESS);
    EXPECT_LT(last, DWORD(kProcesses));
}

TEST_F(RegistrySharing, AReaderSeesAnotherProcesssWrites) {
    ASSERT_EQ(SetNumber("Software\\Seen", "n", 1), ERROR_SUCCESS);
    DWORD n = 0;
    // Read twice, so that the result is one this thread keeps.
    ASSERT_EQ(GetNumber("Software\\Seen", "n", n), ERROR_SUCCESS);
    ASSERT_EQ(GetNumber("Software\\Seen", "n", n), ERROR_SUCCESS);
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(Open("Software\\Seen\\Later"), ERROR_FILE_NOT_FOUND);
    pid_t pid = fork();
    if (pid == 0) {
        bool ok = SetNumber("Software\\Seen", "n", 2) == ERROR_SUCCESS &&
                  SetNumber("Software\\Seen\\Later", "m", 3) == ERROR_SUCCESS;
        _exit(ok ? 0 : 1);
    }
    ASSERT_EQ(WaitExitCode(pid), 0);
    ASSERT_EQ(GetNumber("Software\\Seen", "n", n), ERROR_SUCCESS);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(Open("Software\\Seen\\Later"), ERROR_SUCCESS);
}

TEST_F(RegistrySharing, AWriterKilledAtAnyMomentLeavesItsAcknowledgedWrites) {
    MakeKey("Software\\Crash");
    int acknowledged = 0;  // every child continues where the last acknowledgement ended
    for (int round = 0; round < 12; ++round) {
        int pipefd[2];
        ASSERT_EQ(pipe(pipefd), 0);
        const int first = acknowledged;
        pid_t pid = fork();
        if (pid == 0) {
            close(pipefd[0]);
            for (int i = first;; ++i) {
                if (SetNumber("Software\\Crash", "v" + std::to_string(i), DWORD(i) * 7) != ERROR_SUCCESS) _exit(1);
                // Acknowledged only once the call has returned.
                if (write(pipefd[1], &i, sizeof i) != sizeof i) _exit(1);
            }
        }
        ASSERT_GT(pid, 0);
        close(pipefd[1]);
        usleep(useconds_t(20000 + 7919 * round % 40000));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << "the writer ran until it was killed";
        int i;
        while (read(pipefd[0], &i, sizeof i) == sizeof i) acknowledged = i + 1;
        close(pipefd[0]);
        for (int v = 0; v < acknowledged; ++v) {
            DWORD n = 0;
            ASSERT_EQ(GetNumber("Software\\Crash", "v" + std::to_string(v), n), ERROR_SUCCESS) << v;
            ASSERT_EQ(n, DWORD(v) * 7);
        }
    }
    EXPECT_GT(acknowledged, 12);
    // And the file is a sound database.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(StorePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "ok");
    sqlite3_finalize(s);
    sqlite3_close(db);
}

TEST_F(RegistrySharing, ThreadsOfOneProcessShareTheStore) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i)
                EXPECT_EQ(SetNumber("Software\\Threads", "t" + std::to_string(t) + "_" + std::to_string(i), DWORD(i)),
                          ERROR_SUCCESS);
        });
    }
    for (std::thread& t : threads) t.join();
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Threads", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD values = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    EXPECT_EQ(values, 200u);
    RegCloseKey(key);
}

}  // namespace
