// The text of initialization files: UTF-16 beyond Latin-1 (surrogate pairs, unpaired
// surrogates), UTF-8 with a byte order mark, and a NUL inside a line.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ini_folder.h"
#include "platform.h"

namespace {

std::string Utf16Le(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) bytes += char(c & 0xFF), bytes += char(c >> 8);
    return bytes;
}

class ProfileEncoding : public IniFolderTest {
protected:
    std::string Get(const char* section, const char* key, const char* file = nullptr) const {
        char buffer[256];
        const std::string winIni = Ini("WIN.INI");
        GetPrivateProfileStringA(section, key, "dflt", buffer, sizeof buffer, file ? file : winIni.c_str());
        return buffer;
    }
};

TEST_F(ProfileEncoding, Utf16BeyondTheBasicPlaneAndUnpairedSurrogates) {
    NAVOTOOLS_SKIP_UNLESS_UTF8_ANSI();
    Write("WIN.INI", Utf16Le(u"[Text]\r\n"
                             u"euro=\u20AC5\r\n"
                             u"smile=\U0001F600!\r\n"
                             u"high=a\xD83D" u"b\r\n"
                             u"low=a\xDE00" u"b\r\n"));
    EXPECT_EQ(Get("text", "euro"), "\xE2\x82\xAC" "5");
    EXPECT_EQ(Get("text", "smile"), "\xF0\x9F\x98\x80!");
    // An unpaired surrogate reads as the replacement character.
    EXPECT_EQ(Get("text", "high"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(Get("text", "low"), "a\xEF\xBF\xBD" "b");

    // Rewriting the file keeps every other line's characters, pairs included.
    ASSERT_TRUE(WritePrivateProfileStringA("text", "added", "\xC3\xA9", Ini("WIN.INI").c_str()));
    const std::string written = Read("WIN.INI");
    EXPECT_NE(written.find(Utf16Le(u"smile=\U0001F600!").substr(2)), std::string::npos);
    EXPECT_NE(written.find(Utf16Le(u"added=\u00E9").substr(2)), std::string::npos);
    EXPECT_EQ(Get("text", "smile"), "\xF0\x9F\x98\x80!");
}

TEST_F(ProfileEncoding, Utf8ByteOrderMarkIsNotPartOfTheFirstSection) {
    Write("WIN.INI", "\xEF\xBB\xBF[First]\r\nkey=value\r\n");
    EXPECT_EQ(Get("first", "key"), "value");
    ASSERT_TRUE(WritePrivateProfileStringA("first", "other", "x", Ini("WIN.INI").c_str()));
    const std::string written = Read("WIN.INI");
    EXPECT_EQ(written.substr(0, 10), "\xEF\xBB\xBF[First]");  // kept, once
    EXPECT_EQ(written.find("\xEF\xBB\xBF", 3), std::string::npos);
    EXPECT_EQ(Get("first", "other"), "x");
}

TEST_F(ProfileEncoding, ANulEndsTheLine) {
    Write("WIN.INI", std::string("[S]\r\nkey=ab\0cd\r\nnext=1\r\n", 24));
    EXPECT_EQ(Get("s", "key"), "ab");
    EXPECT_EQ(Get("s", "next"), "1");
}

}  // namespace
