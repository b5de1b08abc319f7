// Initialization files written by several threads and processes at once, rewrites that
// keep the bytes of the lines they do not change, and writes that no symbolic link or
// FIFO planted beside or in place of the file can turn elsewhere. Linux layer only: the
// file locking, temporary files and permissions are its own.
#if !defined(_WIN32)

#include <windows.h>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "ini_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class ProfileWritersTest : public IniFolderTest {
protected:
    void SetUp() override {
        IniFolderTest::SetUp();
        alarm(120);  // a hang fails the test instead of the run
    }
    void TearDown() override {
        alarm(0);
        IniFolderTest::TearDown();
    }
    // How many of the lines "<prefix><i>=v<i>" for i below count the file holds.
    int CountKeys(const std::string& prefix, int count) const {
        const std::string text = "\n" + Read("WIN.INI");
        int found = 0;
        for (int i = 0; i < count; ++i)
            found += text.find("\n" + prefix + std::to_string(i) + "=v" + std::to_string(i) + "\r\n") != std::string::npos;
        return found;
    }
};

TEST_F(ProfileWritersTest, FourThreadsLoseNoKeyAndNoLine) {
    std::string keep = "[Keep]\r\n";
    for (int i = 0; i < 3000; ++i) keep += "k" + std::to_string(i) + "=v" + std::to_string(i) + "\r\n";
    Write("WIN.INI", keep);
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failed] {
            for (int i = 0; i < 200; ++i) {
                std::string key = "t" + std::to_string(t * 200 + i), value = "v" + std::to_string(t * 200 + i);
                if (!WritePrivateProfileStringA("New", key.c_str(), value.c_str(), "WIN.INI")) ++failed;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failed.load(), 0);
    const int kept = CountKeys("t", 800);
    RecordProperty("keys_kept_of_800", kept);
    EXPECT_EQ(kept, 800);
    EXPECT_EQ(CountKeys("k", 3000), 3000);
    EXPECT_EQ(Read("WIN.INI").substr(0, keep.size()), keep);
}

TEST_F(ProfileWritersTest, FourProcessesLoseNoKey) {
    std::vector<pid_t> children;
    for (int p = 0; p < 4; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < 100; ++i) {
                std::string key = "p" + std::to_string(p * 100 + i), value = "v" + std::to_string(p * 100 + i);
                failures += !WritePrivateProfileStringA("S", key.c_str(), value.c_str(), "WIN.INI");
            }
            _exit(failures > 0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const int kept = CountKeys("p", 400);
    RecordProperty("keys_kept_of_400", kept);
    EXPECT_EQ(kept, 400);
}

std::string Utf16Le(const std::u16string& text) {
    std::string bytes;
    for (char16_t c : text) bytes += char(c & 0xFF), bytes += char(c >> 8);
    return bytes;
}

TEST_F(ProfileWritersTest, LinesNotWrittenKeepTheirBytes) {
    struct Case {
        const char* what;
        std::string before, after;  // the file before and after setting [S] k=new and [S] added=1
    };
    const std::string bom = "\xFF\xFE";
    const Case cases[] = {
        {"a NUL, bytes that are not UTF-8, line ends of all kinds, no final line end",
         "; a\0hidden\n[S]\r\nk=old\nnul=a\0hidden\r\nraw=\xFF\xFE\x80\r\nlone=a\rb\n[T]\r\nlast=1"s,
         "; a\0hidden\n[S]\r\nk=new\r\nnul=a\0hidden\r\nraw=\xFF\xFE\x80\r\nlone=a\rb\nadded=1\r\n[T]\r\nlast=1"s},
        {"a last line without its line end gets one when lines follow",
         "[S]\r\nk=old\r\nx=1",
         "[S]\r\nk=new\r\nx=1\r\nadded=1\r\n"},
        {"UTF-16 with unpaired surrogates on other lines",
         bom + Utf16Le(u"[S]\r\nk=old\r\nhigh=a\xD83D" u"b\r\nlow=a\xDE00" u"b\r\nnul=a") + std::string(2, '\0') +
             Utf16Le(u"z\r\n"),
         bom + Utf16Le(u"[S]\r\nk=new\r\nhigh=a\xD83D" u"b\r\nlow=a\xDE00" u"b\r\nnul=a") + std::string(2, '\0') +
             Utf16Le(u"z\r\nadded=1\r\n")},
        {"UTF-8 with its byte-order mark", "\xEF\xBB\xBF[S]\nk=old\n", "\xEF\xBB\xBF[S]\nk=new\r\nadded=1\r\n"},
    };
    for (const Case& c : cases) {
        Write("WIN.INI", c.before);
        ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "new", "WIN.INI")) << c.what;
        ASSERT_TRUE(WritePrivateProfileStringA("S", "added", "1", "WIN.INI")) << c.what;
        EXPECT_EQ(Read("WIN.INI"), c.after) << c.what;
    }
}

TEST_F(ProfileWritersTest, PlantedLinksAreNotFollowed) {
    const fs::path secret = home_ / "secret";
    Write("secret-source", "private\n");
    fs::rename(File("secret-source"), secret);
    Write("app.ini", "[S]\r\nk=1\r\n");
    // Links at the temporary names a writer might choose: the old fixed one and others.
    for (const std::string& name : {"app.ini.tmp" + std::to_string(getpid()), std::string("app.ini.tmp"),
                                    std::string("app.ini.new"), std::string(".app.ini.tmp")})
        fs::create_symlink(secret, File(name));
    const std::string ini = File("app.ini").string();
    ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "2", ini.c_str()));
    EXPECT_EQ(Read("app.ini"), "[S]\r\nk=2\r\n");
    EXPECT_FALSE(fs::is_symlink(File("app.ini")));
    std::ifstream in(secret);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "private\n");

    // The file itself a link: refused, and the file it leads to stays as it is.
    fs::create_symlink(secret, File("linked.ini"));
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", File("linked.ini").string().c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(fs::is_symlink(File("linked.ini")));
    std::ifstream again(secret);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), {}), "private\n");
}

TEST_F(ProfileWritersTest, FilesWrittenArePrivateWhateverTheUmask) {
    for (mode_t mask : {mode_t(0), mode_t(022), mode_t(0277)}) {
        fs::remove_all(home_ / "windows");
        mode_t old = umask(mask);
        BOOL created = WritePrivateProfileStringA("S", "k", "v", "WIN.INI");
        BOOL rewritten = WritePrivateProfileStringA("S", "k", "w", "WIN.INI");
        umask(old);
        ASSERT_TRUE(created && rewritten) << "umask " << mask;
        struct stat st{};
        ASSERT_EQ(stat(File("WIN.INI").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u) << "umask " << mask;
        ASSERT_EQ(stat((home_ / "windows").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0700u) << "umask " << mask;
        // No temporary file is left behind.
        EXPECT_EQ(std::distance(fs::directory_iterator(home_ / "windows"), fs::directory_iterator()), 1);
    }
}

}  // namespace

#endif
