// The store as a user finds it: the standard keys of a new store and the repair of an old
// one, the privacy of the state directory and its files, a store reached through a link,
// a read-only state directory, and enumerations that stay right while others write.
// All of it is the Linux layer's own; on Windows this file builds to nothing.
#if !defined(_WIN32)

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <windows.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "navo_state.h"
#include "registry_support.h"
#include "system/system_state.h"

namespace {

using RegistryState = RegistryTest;

DWORD Flags(HKEY root, const char* path) {
    DWORD flags = 0xFFFF;
    EXPECT_EQ(NavoRegGetKeyFlagsA(root, path, &flags), ERROR_SUCCESS) << path;
    return flags;
}

LONG SetText(HKEY root, const char* path, const char* name, const char* text, DWORD options = 0) {
    HKEY key;
    LONG r = RegCreateKeyExA(root, path, 0, nullptr, options, KEY_WRITE, nullptr, &key, nullptr);
    if (r) return r;
    r = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), DWORD(strlen(text)));
    RegCloseKey(key);
    return r;
}

std::string GetText(HKEY root, const char* path, const char* name, LONG* result = nullptr) {
    HKEY key;
    char data[64] = {};
    DWORD size = sizeof data - 1;
    LONG r = RegOpenKeyExA(root, path, 0, KEY_READ, &key);
    if (r == ERROR_SUCCESS) {
        r = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(data), &size);
        RegCloseKey(key);
    }
    if (result) *result = r;
    return r == ERROR_SUCCESS ? std::string(data, size) : "<" + std::to_string(r) + ">";
}

// Runs fn on a thread of its own, so with a connection of its own to the store.
void OnNewThread(const std::function<void()>& fn) { std::thread(fn).join(); }

mode_t ModeOf(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0xFFFF;
}

TEST_F(RegistryState, ANewStoreHoldsTheStandardKeysStable) {
    struct Case {
        HKEY root;
        const char* path;
    };
    for (Case c : {Case{HKEY_CURRENT_USER, "Software"}, Case{HKEY_CURRENT_USER, "Software\\Classes"},
                   Case{HKEY_CURRENT_USER, "Control Panel"}, Case{HKEY_CURRENT_USER, "Environment"},
                   Case{HKEY_CURRENT_USER, "Console"}, Case{HKEY_LOCAL_MACHINE, "SOFTWARE"},
                   Case{HKEY_LOCAL_MACHINE, "software\\classes"},
                   Case{HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion"},
                   Case{HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control"}, Case{HKEY_LOCAL_MACHINE, "HARDWARE"},
                   Case{HKEY_USERS, ".DEFAULT"}})
        EXPECT_EQ(Flags(c.root, c.path), 0u) << c.path;
    // A write that makes its key volatile makes only its own keys volatile.
    ASSERT_EQ(SetText(HKEY_CURRENT_USER, "Software\\Tour\\Inner", "a", "b", REG_OPTION_VOLATILE), ERROR_SUCCESS);
    EXPECT_EQ(Flags(HKEY_CURRENT_USER, "Software"), 0u);
    EXPECT_EQ(Flags(HKEY_CURRENT_USER, "Software\\Tour"), DWORD(NAVO_REG_KEY_VOLATILE));
    EXPECT_EQ(SetText(HKEY_CURRENT_USER, "Software\\MyApp", "a", "b"), ERROR_SUCCESS);
    EXPECT_EQ(Flags(HKEY_CURRENT_USER, "Software\\MyApp"), 0u);
}

// A store as the previous version left it: schema 1, only the roots, and HKCU\Software
// created volatile by a write, with values and a volatile sub-key of its own.
void MakeVersion1Store(const std::string& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const char* sql =
        "PRAGMA journal_mode = WAL;"
        "CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,"
        " name BLOB NOT NULL, fold BLOB NOT NULL, class BLOB NOT NULL DEFAULT x'', boot TEXT,"
        " readonly INTEGER NOT NULL DEFAULT 0, depth INTEGER NOT NULL, written INTEGER NOT NULL DEFAULT 0,"
        " UNIQUE(parent, fold));"
        "CREATE INDEX keys_volatile ON keys(boot) WHERE boot IS NOT NULL;"
        "CREATE TABLE vals(key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE, name BLOB NOT NULL,"
        " fold BLOB NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key, fold));"
        "INSERT INTO keys(id, parent, name, fold, depth) VALUES(1, NULL, 'HKEY_CLASSES_ROOT', 'HKEY_CLASSES_ROOT', 0),"
        " (2, NULL, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER', 0), (3, NULL, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE', 0),"
        " (4, NULL, 'HKEY_USERS', 'HKEY_USERS', 0), (5, NULL, 'HKEY_CURRENT_CONFIG', 'HKEY_CURRENT_CONFIG', 0);"
        // Names, boot ids and data are blobs, as the layer binds them.
        "INSERT INTO keys(id, parent, name, fold, boot, depth) VALUES"
        " (10, 2, CAST('Software' AS BLOB), CAST('SOFTWARE' AS BLOB), CAST('boot-1' AS BLOB), 1),"
        " (11, 10, CAST('OldApp' AS BLOB), CAST('OLDAPP' AS BLOB), CAST('boot-1' AS BLOB), 2),"
        // HKLM\SOFTWARE volatile from an earlier system start: gone, and made anew, empty.
        " (12, 3, CAST('SOFTWARE' AS BLOB), CAST('SOFTWARE' AS BLOB), CAST('boot-0' AS BLOB), 1);"
        "INSERT INTO vals VALUES(10, CAST('Top' AS BLOB), CAST('TOP' AS BLOB), 1, CAST('kept' AS BLOB)),"
        " (11, CAST('Inner' AS BLOB), CAST('INNER' AS BLOB), 1, CAST('also kept' AS BLOB)),"
        " (12, CAST('Stale' AS BLOB), CAST('STALE' AS BLOB), 1, CAST('gone' AS BLOB));"
        "PRAGMA user_version = 1;";
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

TEST_F(RegistryState, AnOldStoreIsRepairedOnceWithNothingLost) {
    MakeVersion1Store(StorePath());
    OnNewThread([] {
        EXPECT_EQ(Flags(HKEY_CURRENT_USER, "Software"), 0u) << "made stable";
        EXPECT_EQ(GetText(HKEY_CURRENT_USER, "Software", "Top"), "kept");
        EXPECT_EQ(Flags(HKEY_CURRENT_USER, "Software\\OldApp"), DWORD(NAVO_REG_KEY_VOLATILE)) << "stays volatile";
        EXPECT_EQ(GetText(HKEY_CURRENT_USER, "Software\\OldApp", "Inner"), "also kept");
        EXPECT_EQ(Flags(HKEY_CURRENT_USER, "Software\\Classes"), 0u) << "added";
        EXPECT_EQ(Flags(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion"), 0u);
        LONG r = 0;
        GetText(HKEY_LOCAL_MACHINE, "SOFTWARE", "Stale", &r);
        EXPECT_EQ(r, ERROR_FILE_NOT_FOUND) << "a key of an earlier start is not revived";
        EXPECT_EQ(SetText(HKEY_CURRENT_USER, "Software\\MyApp", "a", "b"), ERROR_SUCCESS);
    });
    // Once: a standard key deleted after the repair is not made again.
    ASSERT_EQ(SHDeleteKeyA(HKEY_CURRENT_USER, "Console"), ERROR_SUCCESS);
    OnNewThread([] {
        HKEY key;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Console", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    });
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(StorePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &s, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(s, 0), 2);
    sqlite3_finalize(s);
    sqlite3_close(db);
}

TEST_F(RegistryState, EveryFileIsPrivateWhateverTheUmaskAndTheFolder) {
    ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
    const mode_t saved = umask(0);
    OnNewThread([] { EXPECT_EQ(SetText(HKEY_CURRENT_USER, "Software\\Private", "a", "b"), ERROR_SUCCESS); });
    umask(saved);
    for (const char* file : {"/registry.db", "/registry.db-wal", "/registry.db-shm", "/registry.db-seq"})
        EXPECT_EQ(ModeOf(dir_ + file), 0600u) << file;
    // Files an earlier version left readable by others are made private.
    ASSERT_EQ(chmod(StorePath().c_str(), 0644), 0);
    ASSERT_EQ(chmod((StorePath() + "-wal").c_str(), 0644), 0);
    OnNewThread([] { EXPECT_EQ(GetText(HKEY_CURRENT_USER, "Software\\Private", "a"), "b"); });
    EXPECT_EQ(ModeOf(StorePath()), 0600u);
    EXPECT_EQ(ModeOf(StorePath() + "-wal"), 0600u);
    // A state directory the layer makes is 0700, even under a umask that would take more.
    const std::string fresh = dir_ + "/made/state";
    setenv("NAVOTOOLS_HOME", fresh.c_str(), 1);
    umask(0277);
    const bool made = !navo::win32::EnsureStateDirectory().empty();
    umask(saved);
    EXPECT_TRUE(made);
    EXPECT_EQ(ModeOf(fresh), 0700u);
    EXPECT_EQ(ModeOf(dir_ + "/made"), 0700u);
}

TEST_F(RegistryState, ALinkPlantedForTheCounterIsNotFollowed) {
    const std::string victim = dir_ + "-victim";
    {
        std::ofstream out(victim, std::ios::binary);
        out << "ABCDEFGH";
    }
    ASSERT_EQ(symlink(victim.c_str(), (StorePath() + "-seq").c_str()), 0);
    OnNewThread([] { EXPECT_EQ(SetText(HKEY_CURRENT_USER, "Software\\X", "a", "b"), ERROR_ACCESS_DENIED); });
    std::ifstream in(victim, std::ios::binary);
    std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(after, "ABCDEFGH");
    unlink(victim.c_str());
    // Nor one for SQLite's files.
    unlink((StorePath() + "-seq").c_str());
    ASSERT_EQ(symlink(victim.c_str(), (StorePath() + "-wal").c_str()), 0);
    OnNewThread([] { EXPECT_EQ(SetText(HKEY_CURRENT_USER, "Software\\X", "a", "b"), ERROR_ACCESS_DENIED); });
    EXPECT_NE(access(victim.c_str(), F_OK), 0) << "nothing was made through the link";
}

TEST_F(RegistryState, AStateDirectoryOthersMayWriteIsRefused) {
    for (mode_t mode : {0777, 0770, 0722, 01777}) {
        ASSERT_EQ(chmod(dir_.c_str(), mode), 0);
        OnNewThread([mode] {
            HKEY key;
            EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key), ERROR_ACCESS_DENIED) << mode;
            char problem[512];
            ASSERT_GT(NavoGetStateDirectoryProblemA(problem, sizeof problem), 0u);
            EXPECT_NE(strstr(problem, "may be written by other users"), nullptr) << problem;
            char dir[512];
            EXPECT_EQ(NavoGetStateDirectoryA(dir, sizeof dir, TRUE), 0u);
            EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
        });
    }
    ASSERT_EQ(chmod(dir_.c_str(), 0700), 0);
    OnNewThread([] { EXPECT_EQ(SetText(HKEY_CURRENT_USER, "Software\\Y", "a", "b"), ERROR_SUCCESS); });
}

TEST_F(RegistryState, PrivateFilesAreRegularFilesOfTheUser) {
    const std::string fifo = dir_ + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Refused at once, without waiting for a writer.
    EXPECT_EQ(navo::win32::OpenPrivateFile(fifo, O_RDWR), -1);
    EXPECT_EQ(errno, EINVAL);
    ASSERT_EQ(symlink("/etc/hostname", (dir_ + "/link").c_str()), 0);
    EXPECT_EQ(navo::win32::OpenPrivateFile(dir_ + "/link", O_RDONLY), -1);
    EXPECT_EQ(errno, ELOOP);
    const mode_t saved = umask(0);
    int fd = navo::win32::OpenPrivateFile(dir_ + "/new", O_WRONLY | O_CREAT);
    umask(saved);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_EQ(ModeOf(dir_ + "/new"), 0600u);
}

// Two state directories, the second's registry.db a link to the first's: one database.
TEST_F(RegistryState, AStoreReachedThroughALinkSeesEveryWrite) {
    char pattern[] = "/tmp/navotools-registry-link-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string other = pattern;
    ASSERT_EQ(SetText(HKEY_CURRENT_USER, "Software\\Shared", "v", "first"), ERROR_SUCCESS);
    ASSERT_EQ(symlink(StorePath().c_str(), (other + "/registry.db").c_str()), 0);
    for (int round = 0; round < 8; ++round) {
        // Read here, so that this thread keeps the result while the counter stands still.
        const std::string before = GetText(HKEY_CURRENT_USER, "Software\\Shared", "v");
        const std::string next = "round" + std::to_string(round);
        pid_t pid = fork();
        if (pid == 0) {
            setenv("NAVOTOOLS_HOME", other.c_str(), 1);
            _exit(SetText(HKEY_CURRENT_USER, "Software\\Shared", "v", next.c_str()) == ERROR_SUCCESS ? 0 : 1);
        }
        ASSERT_GT(pid, 0);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_NE(before, next);
        EXPECT_EQ(GetText(HKEY_CURRENT_USER, "Software\\Shared", "v"), next) << round;
    }
    EXPECT_EQ(system(("rm -rf '" + other + "'").c_str()), 0);
}

std::vector<std::string> ValueNames(HKEY key) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[32];
        DWORD length = sizeof name;
        LONG r = RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_NO_MORE_ITEMS) break;
        EXPECT_EQ(r, ERROR_SUCCESS);
        if (r) break;
        names.emplace_back(name, length);
    }
    return names;
}

TEST_F(RegistryState, EnumerationsFollowWritesOfThisAndOtherProcesses) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Many", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    std::vector<std::string> expected;
    for (int i = 0; i < 700; ++i) {
        char name[16];
        snprintf(name, sizeof name, "v%04d", i);
        expected.emplace_back(name);
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), 4), ERROR_SUCCESS);
        HKEY child;
        ASSERT_EQ(RegCreateKeyExA(key, name, 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr), ERROR_SUCCESS);
        RegCloseKey(child);
    }
    EXPECT_EQ(ValueNames(key), expected);
    // Half way, this process deletes a value read already, and another process one not yet
    // read: the indexes that follow are those of the list as it is now.
    char name[32];
    DWORD length;
    for (DWORD i = 0; i < 300; ++i) {
        length = sizeof name;
        ASSERT_EQ(RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
        ASSERT_EQ(std::string(name), expected[i]);
    }
    ASSERT_EQ(RegDeleteValueA(key, "v0000"), ERROR_SUCCESS);
    length = sizeof name;
    ASSERT_EQ(RegEnumValueA(key, 300, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "v0301");
    pid_t pid = fork();
    if (pid == 0) {
        HKEY again;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Many", 0, KEY_ALL_ACCESS, &again)) _exit(1);
        _exit(RegDeleteValueA(again, "v0400") == ERROR_SUCCESS && SHDeleteKeyA(again, "v0001") == ERROR_SUCCESS ? 0 : 2);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    length = sizeof name;
    ASSERT_EQ(RegEnumValueA(key, 398, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "v0399");
    length = sizeof name;
    ASSERT_EQ(RegEnumValueA(key, 399, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "v0401");
    length = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 698, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    // Sub-keys, one handle for each index as CWinRegistry::GetSubKeyName does it.
    std::vector<std::string> subKeys;
    for (DWORD i = 0;; ++i) {
        HKEY each;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Many", 0, KEY_READ, &each), ERROR_SUCCESS);
        length = sizeof name;
        LONG r = RegEnumKeyExA(each, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(each);
        if (r == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(r, ERROR_SUCCESS);
        subKeys.emplace_back(name);
        if (i == 500) {
            ASSERT_EQ(SHDeleteKeyA(key, "v0000"), ERROR_SUCCESS);  // read already: the rest move up
        }
    }
    ASSERT_EQ(subKeys.size(), 698u);
    EXPECT_EQ(subKeys[0], "v0000");
    EXPECT_EQ(subKeys[1], "v0002");
    EXPECT_EQ(subKeys[500], "v0501");
    EXPECT_EQ(subKeys[501], "v0503");
    EXPECT_EQ(subKeys.back(), "v0699");
    RegCloseKey(key);
}

// A state directory of 0555: reads work, from the -wal and -shm the store keeps or, where
// they are missing, from the database file while it stays unchanged; writes give 5. Root
// may write anywhere, so the checks run in a child that gives up root for nobody.
TEST_F(RegistryState, AReadOnlyStateDirectoryReadsAndRefusesWrites) {
    if (geteuid() == 0) {
        ASSERT_EQ(chown(dir_.c_str(), 65534, 65534), 0);
    }
    pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(100);
        int failures = 0;
        const std::string dir = getenv("NAVOTOOLS_HOME");
        auto check = [&failures](bool ok, int bit) {
            if (!ok) failures |= bit;
        };
        OnNewThread([&] { check(SetText(HKEY_CURRENT_USER, "Software\\App", "v", "one") == 0, 1); });
        chmod(dir.c_str(), 0555);
        OnNewThread([&] {
            check(GetText(HKEY_CURRENT_USER, "Software\\App", "v") == "one", 2);
            check(SetText(HKEY_CURRENT_USER, "Software\\App", "v", "two") == ERROR_ACCESS_DENIED, 4);
            check(SetText(HKEY_CURRENT_USER, "Software\\New", "v", "two") == ERROR_ACCESS_DENIED, 8);
        });
        // Without the -wal and -shm files (as a store closed by an earlier version leaves it).
        chmod(dir.c_str(), 0755);
        unlink((dir + "/registry.db-wal").c_str());
        unlink((dir + "/registry.db-shm").c_str());
        chmod(dir.c_str(), 0555);
        check(GetText(HKEY_CURRENT_USER, "Software\\App", "v") == "one", 16);
        check(SetText(HKEY_CURRENT_USER, "Software\\App", "v", "two") == ERROR_ACCESS_DENIED, 32);
        // Writable again and written by another thread: this thread reads the new value.
        chmod(dir.c_str(), 0700);
        OnNewThread([&] { check(SetText(HKEY_CURRENT_USER, "Software\\App", "v", "three") == 0, 64); });
        check(GetText(HKEY_CURRENT_USER, "Software\\App", "v") == "three", 128);
        _exit(failures);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "bit mask of the checks that failed";
}

}  // namespace

#endif  // !defined(_WIN32)
