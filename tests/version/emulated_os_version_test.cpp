// GetVersionExA on Linux: the emulated Windows release, its default and its configuration.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "NavoTools.h"
#include "test_constants.h"

namespace {

// Gives each test a fresh, empty state directory and restores the environment afterwards.
class EmulatedOSVersion : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kVariables) {
            const char* value = getenv(name);
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
        }
        char pattern[] = "/tmp/navotools-osversion-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        setenv("NAVOTOOLS_HOME", dir_.c_str(), 1);
        unsetenv("NAVOTOOLS_OSVERSION");
    }
    void TearDown() override {
        std::string file = dir_ + "/osversion";
        unlink(file.c_str());
        rmdir(dir_.c_str());
        for (size_t i = 0; i < std::size(kVariables); ++i) {
            if (saved_[i]) setenv(kVariables[i], saved_[i]->c_str(), 1);
            else unsetenv(kVariables[i]);
        }
    }

    void WriteState(const std::string& text) {
        std::ofstream out(dir_ + "/osversion", std::ios::binary | std::ios::trunc);
        out << text;
    }

    static OSVERSIONINFOA Query() {
        OSVERSIONINFOA info;
        memset(&info, 0xCC, sizeof info);
        info.dwOSVersionInfoSize = sizeof info;
        SetLastError(kUntouched);
        EXPECT_TRUE(GetVersionExA(&info));
        EXPECT_EQ(GetLastError(), kUntouched) << "success leaves the last error alone";
        EXPECT_EQ(info.dwOSVersionInfoSize, sizeof info);
        return info;
    }

    static void ExpectDefault(const OSVERSIONINFOA& info) {
        EXPECT_EQ(info.dwMajorVersion, 10u);
        EXPECT_EQ(info.dwMinorVersion, 0u);
        EXPECT_EQ(info.dwBuildNumber, 19045u);
        EXPECT_EQ(info.dwPlatformId, DWORD(VER_PLATFORM_WIN32_NT));
        EXPECT_EQ(std::string(info.szCSDVersion, sizeof info.szCSDVersion), std::string(128, '\0'));
    }

    static constexpr const char* kVariables[] = {"NAVOTOOLS_HOME", "NAVOTOOLS_OSVERSION", "XDG_CONFIG_HOME", "HOME"};
    std::vector<std::optional<std::string>> saved_;
    std::string dir_;
};

TEST_F(EmulatedOSVersion, DefaultIsWindows10) {
    ExpectDefault(Query());
    CWinOSVersion os;
    EXPECT_TRUE(os.IsWinNT());
    EXPECT_TRUE(os.IsWin2000OrHigher());
    EXPECT_FALSE(os.IsWinXP());
}

TEST_F(EmulatedOSVersion, RecordSizeOtherThanTheTwoFormsIsRefused) {
    for (DWORD size : {0u, 4u, 147u, 149u, 155u, 157u, 0xFFFFFFFFu}) {
        OSVERSIONINFOEXA info;
        memset(&info, 0xCC, sizeof info);
        info.dwOSVersionInfoSize = size;
        SetLastError(kUntouched);
        EXPECT_FALSE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info))) << size;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER)) << size;
        EXPECT_EQ(info.dwMajorVersion, 0xCCCCCCCCu) << "a refused record is left as it was";
    }
}

TEST_F(EmulatedOSVersion, ExtendedRecordAlsoGetsServicePackAndProductType) {
    WriteState("major=5\nminor=1\nbuild=2600\ncsd=Service Pack 3\nspmajor=3\nspminor=0\n");
    OSVERSIONINFOEXA ex;
    memset(&ex, 0xCC, sizeof ex);
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex)));
    EXPECT_EQ(ex.dwMajorVersion, 5u);
    EXPECT_EQ(ex.dwMinorVersion, 1u);
    EXPECT_STREQ(ex.szCSDVersion, "Service Pack 3");
    EXPECT_EQ(ex.wServicePackMajor, 3);
    EXPECT_EQ(ex.wServicePackMinor, 0);
    EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);
    EXPECT_EQ(ex.wSuiteMask, 0);
}

TEST_F(EmulatedOSVersion, StateFileSetsTheRelease) {
    WriteState("# Windows 98 Second Edition\r\n\r\n  major = 4 \r\nminor=10\r\nbuild=2222\r\nplatform=1\r\ncsd= A\r\n");
    OSVERSIONINFOA info = Query();
    EXPECT_EQ(info.dwMajorVersion, 4u);
    EXPECT_EQ(info.dwMinorVersion, 10u);
    EXPECT_EQ(info.dwBuildNumber, 2222u);
    EXPECT_EQ(info.dwPlatformId, 1u);
    EXPECT_STREQ(info.szCSDVersion, "A");  // blanks around a value are not part of it
    WriteState("major=4\nminor=10\nplatform=1\ncsd=xA\n");
    EXPECT_TRUE(CWinOSVersion().IsWin98SE());
}

TEST_F(EmulatedOSVersion, StateFileKeysNotGivenKeepTheDefault) {
    WriteState("build=22631\n");
    OSVERSIONINFOA info = Query();
    EXPECT_EQ(info.dwMajorVersion, 10u);
    EXPECT_EQ(info.dwBuildNumber, 22631u);
    EXPECT_EQ(info.dwPlatformId, 2u);
}

TEST_F(EmulatedOSVersion, MalformedStateFileFallsBackToTheDefault) {
    const std::string csd127(127, 'x');
    const char* const malformed[] = {
        "major=5\nminor=one\n",          // not a number
        "major=5\nmajor=-1\n",           // sign
        "major=4294967296\n",            // past 32 bits
        "major=99999999999999999999\n",  // far past
        "major=\n",                      // empty number
        "major 5\n",                     // no '='
        "colour=blue\n",                 // unknown key
        "spmajor=65536\n",               // past 16 bits
    };
    for (const char* text : malformed) {
        WriteState(text);
        ExpectDefault(Query());
    }
    WriteState(std::string("major=5\nminor=1\0\n", 17));
    ExpectDefault(Query());
    WriteState("csd=" + csd127 + "y\n");  // 128 bytes leave no room for the terminator
    ExpectDefault(Query());
    WriteState("major=5\n" + std::string(8192, '#') + "\n");  // larger than any state file
    ExpectDefault(Query());
    std::string binary;
    for (int i = 0; i < 600; ++i) binary += char(i * 37);
    WriteState(binary);
    ExpectDefault(Query());
}

TEST_F(EmulatedOSVersion, LongestServicePackTextFits) {
    const std::string csd127(127, 'x');
    WriteState("csd=" + csd127 + "\n");
    OSVERSIONINFOA info = Query();
    EXPECT_EQ(std::string(info.szCSDVersion), csd127);
    EXPECT_EQ(info.szCSDVersion[127], '\0');
}

TEST_F(EmulatedOSVersion, StateFileThatIsADirectoryFallsBackToTheDefault) {
    std::string path = dir_ + "/osversion";
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    ExpectDefault(Query());
    rmdir(path.c_str());
}

TEST_F(EmulatedOSVersion, VariableOverridesTheStateFile) {
    WriteState("major=4\nminor=10\nplatform=1\ncsd= A \n");
    setenv("NAVOTOOLS_OSVERSION", "5.0.2195", 1);
    OSVERSIONINFOA info = Query();
    EXPECT_EQ(info.dwMajorVersion, 5u);
    EXPECT_EQ(info.dwMinorVersion, 0u);
    EXPECT_EQ(info.dwBuildNumber, 2195u);
    EXPECT_EQ(info.dwPlatformId, 2u);  // NT unless the fourth field says otherwise
    EXPECT_STREQ(info.szCSDVersion, "");
    setenv("NAVOTOOLS_OSVERSION", "4.90.3000.1", 1);
    EXPECT_TRUE(CWinOSVersion().IsWinMe());
}

TEST_F(EmulatedOSVersion, MalformedVariableIsIgnored) {
    WriteState("major=6\nminor=1\nbuild=7601\n");
    for (const char* text : {"5", "5.1", "5.1.", "5..2600", "5.1.2600.2.9", "5.1.2600x", "a.b.c", "-5.1.2600",
                             "5.1.4294967296", " 5.1.2600"}) {
        setenv("NAVOTOOLS_OSVERSION", text, 1);
        OSVERSIONINFOA info = Query();
        EXPECT_EQ(info.dwMajorVersion, 6u) << text;
        EXPECT_EQ(info.dwBuildNumber, 7601u) << text;
    }
}

TEST_F(EmulatedOSVersion, StateDirectoryDefaultsToTheUsersConfigFolder) {
    unsetenv("NAVOTOOLS_HOME");
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    std::string sub = dir_ + "/navotools";
    ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
    {
        std::ofstream out(sub + "/osversion");
        out << "major=6\nminor=3\n";
    }
    EXPECT_EQ(Query().dwMinorVersion, 3u);
    // A relative XDG_CONFIG_HOME is ignored, as the XDG rules say; ~/.config is used then.
    setenv("XDG_CONFIG_HOME", "relative", 1);
    setenv("HOME", dir_.c_str(), 1);
    std::string config = dir_ + "/.config";
    std::string inHome = config + "/navotools";
    ASSERT_EQ(mkdir(config.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(inHome.c_str(), 0700), 0);
    {
        std::ofstream out(inHome + "/osversion");
        out << "major=6\nminor=2\n";
    }
    EXPECT_EQ(Query().dwMinorVersion, 2u);
    for (const std::string& dir : {sub, inHome}) {
        std::string file = dir + "/osversion";
        unlink(file.c_str());
        rmdir(dir.c_str());
    }
    rmdir(config.c_str());
}

TEST_F(EmulatedOSVersion, GetVersionPacksTheRelease) {
    EXPECT_EQ(GetVersion(), (19045u << 16) | (0u << 8) | 10u);
    setenv("NAVOTOOLS_OSVERSION", "5.1.2600", 1);
    EXPECT_EQ(GetVersion(), 0x0A280105u);
    // The Windows 95 family has no build in the high word, but its platform mark.
    setenv("NAVOTOOLS_OSVERSION", "4.10.2222.1", 1);
    EXPECT_EQ(GetVersion(), 0xC0000A04u);
}

}  // namespace
