// Conformance tests of the initialization-file functions.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = fs::temp_directory_path() / ("navotools-ini-" + std::to_string(getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home_);
        fs::create_directories(home_ / "windows");
        setenv("NAVOTOOLS_HOME", home_.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(home_); }
    void WriteWinIni(const std::string& name, const std::string& bytes) {
        std::ofstream(home_ / "windows" / name, std::ios::binary) << bytes;
    }
    std::string ReadWinIni(const std::string& name) {
        std::ifstream in(home_ / "windows" / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static std::string Get(const char* section, const char* key, const char* def = "dflt", DWORD size = 256,
                           DWORD* count = nullptr, const char* file = "WIN.INI") {
        std::string buffer(size + 1, '\x7f');
        DWORD n = GetPrivateProfileStringA(section, key, def, buffer.data(), size, file);
        if (count) *count = n;
        if (section && key) return std::string(buffer.c_str());
        return buffer.substr(0, n);
    }
    fs::path home_;
};

TEST_F(ProfileTest, FindsSectionsAndKeysIgnoringCaseAndTrims) {
    WriteWinIni("win.ini",
                "; comment\r\n[Mail]\r\n  MAPI =  1  \r\nQuoted=\"  spaced  \"\r\nSingle='x'\r\nHalf=\"open\r\n"
                "Empty=\r\n[Other]\r\nMAPI=2\r\n[mail]\r\nLater=3\r\n");
    EXPECT_EQ("1", Get("MAIL", "mapi"));
    EXPECT_EQ("  spaced  ", Get("mail", "quoted"));
    EXPECT_EQ("x", Get("mail", "single"));
    EXPECT_EQ("\"open", Get("mail", "half"));
    EXPECT_EQ("", Get("mail", "empty"));
    EXPECT_EQ("2", Get("other", "MAPI"));
    // A section that appears twice is read as one, as Wine's reader does.
    EXPECT_EQ("3", Get("MAIL", "Later"));
}

TEST_F(ProfileTest, MissingKeyOrFileGivesTheDefaultWithoutTrailingBlanks) {
    WriteWinIni("WIN.INI", "[mail]\nMAPI=1\n");
    SetLastError(0);
    EXPECT_EQ("0", Get("mail", "absent", "0  "));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ("", Get("mail", "absent", nullptr));
    EXPECT_EQ("  lead", Get("nosection", "k", "  lead"));
    EXPECT_EQ("d", Get("mail", "MAPI", "d", 256, nullptr, "NOFILE.INI"));
}

TEST_F(ProfileTest, TruncatesToTheBufferWithThePlatformCounts) {
    WriteWinIni("WIN.INI", "[s]\nkey=abcdef\nk2=v\n[t]\n");
    DWORD n = 0;
    EXPECT_EQ("abc", Get("s", "key", "", 4, &n));
    EXPECT_EQ(3u, n);
    EXPECT_EQ("", Get("s", "key", "", 1, &n));
    EXPECT_EQ(0u, n);
    EXPECT_EQ("abcdef", Get("s", "key", "", 7, &n));
    EXPECT_EQ(6u, n);
    // Lists: each name terminated, then one more terminator; cut lists return size - 2.
    EXPECT_EQ(std::string("key\0k2\0", 7), Get("s", nullptr, "", 256, &n));
    EXPECT_EQ(7u, n);
    EXPECT_EQ(std::string("s\0t\0", 4), Get(nullptr, nullptr, "", 256, &n));
    EXPECT_EQ(std::string("ke", 2), Get("s", nullptr, "", 4, &n));
    EXPECT_EQ(2u, n);
    char zero = 'x';
    EXPECT_EQ(0u, GetPrivateProfileStringA("s", "key", "", &zero, 0, "WIN.INI"));
    EXPECT_EQ('x', zero);
}

TEST_F(ProfileTest, BareNamesLiveInTheWindowsDirectoryMatchedIgnoringCase) {
    WriteWinIni("System.Ini", "[boot]\nshell=explorer.exe\n");
    EXPECT_EQ("explorer.exe", Get("boot", "shell", "", 256, nullptr, "SYSTEM.INI"));
    fs::path elsewhere = home_ / "app.ini";
    std::ofstream(elsewhere) << "[a]\nb=c\n";
    EXPECT_EQ("c", Get("a", "b", "", 256, nullptr, elsewhere.c_str()));
    char dir[512];
    ASSERT_GT(GetWindowsDirectoryA(dir, sizeof dir), 0u);
    EXPECT_EQ((home_ / "windows").string(), dir);
}

TEST_F(ProfileTest, WritesKeepOtherLinesAndDeleteKeysAndSections) {
    WriteWinIni("WIN.INI", "; keep me\r\n[mail]\r\nMAPI=0\r\nOther=1\r\n\r\n[fonts]\r\nArial=arial.ttf\r\n");
    // An existing key keeps its spelling; only its value changes.
    ASSERT_TRUE(WritePrivateProfileStringA("MAIL", "mapi", "1", "win.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("mail", "New", "v", "WIN.INI"));
    ASSERT_TRUE(WritePrivateProfileStringA("added", "k", "x", "WIN.INI"));
    EXPECT_EQ("; keep me\r\n[mail]\r\nMAPI=1\r\nOther=1\r\nNew=v\r\n\r\n[fonts]\r\nArial=arial.ttf\r\n[added]\r\nk=x\r\n",
              ReadWinIni("WIN.INI"));
    ASSERT_TRUE(WritePrivateProfileStringA("mail", "Other", nullptr, "WIN.INI"));
    ASSERT_TRUE(WritePrivateProfileStringA("fonts", nullptr, nullptr, "WIN.INI"));
    EXPECT_EQ("; keep me\r\n[mail]\r\nMAPI=1\r\nNew=v\r\n\r\n[added]\r\nk=x\r\n", ReadWinIni("WIN.INI"));
}

TEST_F(ProfileTest, WriteCreatesTheFileAndRefusesLineBreaks) {
    fs::remove_all(home_ / "windows");
    ASSERT_TRUE(WritePrivateProfileStringA("MAIL", "MAPI", "1", "WIN.INI"));
    EXPECT_EQ("1", Get("MAIL", "MAPI"));
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("MAIL", "MAPI", "1\r\n[evil]", "WIN.INI"));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(WritePrivateProfileStringA("MA]\nIL", "k", "v", "WIN.INI"));
    EXPECT_EQ("[MAIL]\r\nMAPI=1\r\n", ReadWinIni("WIN.INI"));
}

TEST_F(ProfileTest, Utf16FilesReadAndStayUtf16) {
    std::u16string text = u"[Mail]\r\nName=Caf\u00e9\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) bytes += char(c & 0xFF), bytes += char(c >> 8);
    WriteWinIni("WIN.INI", bytes);
    EXPECT_EQ("Caf\xC3\xA9", Get("mail", "name"));
    ASSERT_TRUE(WritePrivateProfileStringA("mail", "name", "Th\xC3\xA9", "WIN.INI"));
    std::string written = ReadWinIni("WIN.INI");
    ASSERT_GE(written.size(), 2u);
    EXPECT_EQ("\xFF\xFE", written.substr(0, 2));
    EXPECT_EQ("Th\xC3\xA9", Get("mail", "name"));
}

}  // namespace
