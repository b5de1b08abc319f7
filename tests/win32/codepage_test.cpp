// Conversions between the ANSI code page (UTF-8) and UTF-16.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

namespace {

TEST(CodePage, AnsiIsUtf8) {
    EXPECT_EQ(GetACP(), 65001u);
}

TEST(CodePage, RoundTripWithTerminatorAndSurrogatePairs) {
    const char* text = "A\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80";  // A, e-acute, euro, an emoji
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    ASSERT_EQ(n, 6);  // 1 + 1 + 1 + 2 (surrogate pair) + terminator
    WCHAR wide[8];
    wide[6] = 0xBEEF;
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 6), 6);
    EXPECT_EQ(wide[3], 0xD83D);
    EXPECT_EQ(wide[4], 0xDE00);
    EXPECT_EQ(wide[5], 0);
    EXPECT_EQ(wide[6], 0xBEEF);
    char back[16];
    ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, back, sizeof back, nullptr, nullptr), int(strlen(text) + 1));
    EXPECT_STREQ(back, text);
}

TEST(CodePage, TooSmallBufferAndBadInput) {
    WCHAR wide[2];
    SetLastError(0xdeadbeef);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, wide, 2), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xff", 2, wide, 2), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xff", 2, wide, 2), 2);
    EXPECT_EQ(wide[1], 0xFFFD);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "a", 1, wide, 2), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    // A truncated sequence at the end is not read past.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xe2\x82", 2, wide, 2), 2);
}

}  // namespace
