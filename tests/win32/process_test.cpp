// WinExec and the command-line splitting it uses.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>
#include <windows.h>

#include "kernel/command_line.h"
#include "xvfb.h"

namespace {

using Args = std::vector<std::string>;

Args Split(const std::string& rest) { return navo::win32::SplitArguments(rest); }

TEST(CommandLine, ArgumentsSplitAsThePlatformDocumentsThem) {
    EXPECT_EQ(Split(R"("a b c" d e)"), (Args{"a b c", "d", "e"}));
    EXPECT_EQ(Split(R"("ab\"c" "\\" d)"), (Args{"ab\"c", "\\", "d"}));
    EXPECT_EQ(Split(R"(a\\\b d"e f"g h)"), (Args{"a\\\\\\b", "de fg", "h"}));
    EXPECT_EQ(Split(R"(a\\\"b c d)"), (Args{"a\\\"b", "c", "d"}));
    EXPECT_EQ(Split(R"(a\\\\"b c" d e)"), (Args{"a\\\\b c", "d", "e"}));
    // CommandLineToArgvW's rule for a quote right after a closing quote: it is literal and
    // the quoted part stays closed (the C run-time's parser of 2008 on reopens it).
    EXPECT_EQ(Split(R"(a"b"" c d)"), (Args{"ab\"", "c", "d"}));
}

TEST(CommandLine, BlanksQuotesAndEmptyArguments) {
    EXPECT_EQ(Split(""), Args{});
    EXPECT_EQ(Split(" \t "), Args{});
    EXPECT_EQ(Split("  one\t\ttwo  "), (Args{"one", "two"}));
    EXPECT_EQ(Split(R"("" x "")"), (Args{"", "x", ""}));
    EXPECT_EQ(Split(R"("unterminated quote)"), (Args{"unterminated quote"}));
    EXPECT_EQ(Split(R"(trailing\)"), (Args{"trailing\\"}));
    EXPECT_EQ(Split(R"("""")"), (Args{"\""}));
}

TEST(CommandLine, ProgramNameEndsAtItsQuoteOrFirstBlank) {
    std::string_view rest;
    bool quoted = false;
    EXPECT_EQ(navo::win32::SplitProgramName(R"("C:\Program Files\a.exe"x y)", rest, quoted), "C:\\Program Files\\a.exe");
    EXPECT_TRUE(quoted);
    EXPECT_EQ(rest, "x y");
    // Backslashes are not special in the program name.
    EXPECT_EQ(navo::win32::SplitProgramName(R"(C:\dir\"a b)", rest, quoted), "C:\\dir\\\"a");
    EXPECT_FALSE(quoted);
    EXPECT_EQ(rest, " b");
}

class WinExecTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/navo-winexec-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        if (system(("rm -rf '" + dir_ + "'").c_str()) != 0) ADD_FAILURE();
    }
    void MakeFile(const std::string& name, const std::string& text, mode_t mode) {
        std::string path = dir_ + "/" + name;
        std::ofstream(path) << text;
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
    }
    bool Exists(const std::string& name) const { return access((dir_ + "/" + name).c_str(), F_OK) == 0; }

    std::string dir_;
};

TEST_F(WinExecTest, FailuresGiveThePlatformCodes) {
    EXPECT_EQ(WinExec("navo-no-such-program-anywhere", SW_SHOWNORMAL), 2u);
    EXPECT_EQ(WinExec((dir_ + "/missing").c_str(), SW_SHOWNORMAL), 2u);
    EXPECT_EQ(WinExec((dir_ + "/no/such/folder/prog").c_str(), SW_SHOWNORMAL), 3u);
    EXPECT_EQ(WinExec(dir_.c_str(), SW_SHOWNORMAL), 5u);  // a folder
    MakeFile("plain.txt", "not a program\n", 0644);
    EXPECT_EQ(WinExec((dir_ + "/plain.txt").c_str(), SW_SHOWNORMAL), 5u);
    MakeFile("garbage", std::string("\x01\x02\x03garbage\x7F", 11), 0755);
    EXPECT_EQ(WinExec((dir_ + "/garbage arg").c_str(), SW_SHOWNORMAL), 11u);
    EXPECT_EQ(WinExec("", SW_SHOWNORMAL), 2u);
    EXPECT_EQ(WinExec(nullptr, SW_SHOWNORMAL), 2u);
    // An argument longer than the kernel accepts: out of resources.
    std::string huge = "/bin/true " + std::string(200 * 1024, 'x');
    EXPECT_EQ(WinExec(huge.c_str(), SW_SHOWNORMAL), 0u);
}

TEST_F(WinExecTest, ArgumentsReachTheProgramWithoutAShell) {
    // touch, found through PATH, gets three arguments: a name with a blank, a name with a
    // semicolon (a shell would have run a second command), and one with a quote.
    std::string line = "touch \"" + dir_ + "/a b\" " + dir_ + "/x;touch " + dir_ + "/q\\\"uote";
    EXPECT_EQ(WinExec(line.c_str(), SW_HIDE), 33u);
    ASSERT_TRUE(WaitFor([&] { return Exists("a b") && Exists("x;touch") && Exists("q\"uote"); }));
    EXPECT_FALSE(Exists("x"));
}

TEST_F(WinExecTest, UnquotedNameWithBlanksTriesEachBlank) {
    ASSERT_EQ(mkdir((dir_ + "/my tools").c_str(), 0700), 0);
    MakeFile("my tools/make", "#!/bin/sh\ntouch \"$1\"\n", 0755);
    std::string line = dir_ + "/my tools/make " + dir_ + "/made";
    EXPECT_EQ(WinExec(line.c_str(), SW_SHOWNORMAL), 33u);
    EXPECT_TRUE(WaitFor([&] { return Exists("made"); }));
    // Quoted, the name is taken as it stands.
    EXPECT_EQ(WinExec(("\"" + dir_ + "/my\" tools/make x").c_str(), SW_SHOWNORMAL), 2u);
}

// Each blank after a name that leads to no program may end a longer name, yet trying them
// stays linear in the line's length (64k blanks used to take seconds, 256 KiB half a
// minute). A run that takes minutes is ended by the alarm.
TEST_F(WinExecTest, ManyBlanksAfterAMissingProgramEndQuickly) {
    alarm(60);
    const std::string blanks(65536, ' ');
    ASSERT_EQ(mkdir((dir_ + "/a" + std::string(200, ' ') + "b").c_str(), 0700), 0);
    MakeFile("a" + std::string(200, ' ') + "b/make", "#!/bin/sh\ntouch \"$1\"\n", 0755);
    std::string words;
    while (words.size() < 256 * 1024) words += "w \t";
    struct Case {
        const char* what;
        std::string line;
        UINT result;
    };
    const Case cases[] = {
        {"64k blanks after a bare name", "navo-no-such-program" + blanks + "x", 2},
        {"64k blanks after a path", dir_ + "/missing" + blanks + "x", 2},
        {"256 KiB of words and blanks", "navo-no-such-program " + words, 2},
        {"a name with 200 blanks is still found", dir_ + "/a" + std::string(200, ' ') + "b/make " + dir_ + "/made",
         33},
    };
    for (const Case& c : cases) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(WinExec(c.line.c_str(), SW_HIDE), c.result) << c.what;
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        std::cout << c.what << ": " << ms.count() << " ms\n";
    }
    EXPECT_TRUE(WaitFor([&] { return Exists("made"); }));
    alarm(0);
}

// Children of this process that have ended but were not waited for.
int Zombies() {
    int count = 0;
    DIR* proc = opendir("/proc");
    if (!proc) return -1;
    const std::string self = std::to_string(getpid());
    while (dirent* e = readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        // Any process may end between the listing and the read, which then fails (ESRCH):
        // read without the stream library, which turns that failure into an exception.
        std::string text;
        if (FILE* f = fopen((std::string("/proc/") + e->d_name + "/stat").c_str(), "r")) {
            char buffer[512];
            size_t n = fread(buffer, 1, sizeof buffer - 1, f);
            text.assign(buffer, n);
            fclose(f);
        }
        size_t close = text.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int ppid = 0;
        if (sscanf(text.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && std::to_string(ppid) == self &&
            state == 'Z')
            ++count;
    }
    closedir(proc);
    return count;
}

TEST_F(WinExecTest, EndedProgramsAreReaped) {
    for (int i = 0; i < 20; ++i) ASSERT_EQ(WinExec(("touch " + dir_ + "/r" + std::to_string(i)).c_str(), 0), 33u);
    ASSERT_TRUE(WaitFor([&] {
        for (int i = 0; i < 20; ++i)
            if (!Exists("r" + std::to_string(i))) return false;
        return true;
    }));
    EXPECT_TRUE(WaitFor([] { return Zombies() == 0; })) << Zombies() << " zombies left";
}

}  // namespace
