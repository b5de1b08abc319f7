// Editing a CString: assignment from its own buffer, trimming by character sets, ASCII-only
// case mapping, comparison over the whole length, concatenation and giving back its buffer.
#include <gtest/gtest.h>

#include <string>

#include "NavoTools.h"

namespace {

TEST(CStringAssign, FromAPointerIntoItsOwnBuffer) {
    CString s("prefix-and-the-rest");
    s = s.GetString() + 7;  // the source lies inside the buffer that receives it
    EXPECT_EQ(s, "and-the-rest");
    EXPECT_EQ(s.GetLength(), 12);
    s = s.GetString();  // all of itself
    EXPECT_EQ(s, "and-the-rest");
}

TEST(CStringAssign, CharacterNullAndStringId) {
    CString s("long text");
    s = 'x';
    EXPECT_EQ(s, "x");
    EXPECT_EQ(s.GetLength(), 1);
    s = static_cast<LPCSTR>(nullptr);
    EXPECT_TRUE(s.IsEmpty());
    // An integer resource name assigns the row of that ID, as MFC's operator= does.
    s = MAKEINTRESOURCEA(IDS_NAVO_HTTP_NO_DESCRIPTION);
    EXPECT_EQ(s, "No description available");
}

TEST(CStringEditing, TrimBySetsAndByCharacter) {
    CString s("--==value=-");
    s.TrimRight("=-");
    EXPECT_EQ(s, "--==value");
    s.TrimLeft("-");
    EXPECT_EQ(s, "==value");
    s.TrimLeft('=');
    EXPECT_EQ(s, "value");
    s.TrimLeft(static_cast<LPCSTR>(nullptr));
    s.TrimRight(static_cast<LPCSTR>(nullptr));
    EXPECT_EQ(s, "value");

    CString all("xxxx");
    all.TrimLeft('x');
    EXPECT_TRUE(all.IsEmpty());

    CString blanks(" \t\r\n inner text \t");
    blanks.TrimLeft();
    EXPECT_EQ(blanks, "inner text \t");
    EXPECT_EQ(CString("  both  ").Trim(), "both");
}

TEST(CStringEditing, TrimStopsAtAnEmbeddedZero) {
    // strchr would find the terminator of the set: a zero byte is never "in" the set.
    CString s("ab", 2);
    s += '\0';
    s += "ab";
    ASSERT_EQ(s.GetLength(), 5);
    s.TrimRight("ab");
    EXPECT_EQ(s.GetLength(), 3);
    s.TrimLeft("ab");
    EXPECT_EQ(s.GetLength(), 1);
    EXPECT_EQ(s[0], '\0');
}

TEST(CStringEditing, CaseMappingTouchesOnlyAsciiLetters) {
    // UTF-8 bytes of "é" and "É" and every non-letter pass unchanged.
    CString s("Caf\xC3\xA9 \xC3\x89t\xC3\xA9 [1]-z@`{");
    CString upper(s), lower(s);
    upper.MakeUpper();
    lower.MakeLower();
    EXPECT_EQ(upper, "CAF\xC3\xA9 \xC3\x89T\xC3\xA9 [1]-Z@`{");
    EXPECT_EQ(lower, "caf\xC3\xA9 \xC3\x89t\xC3\xA9 [1]-z@`{");
}

TEST(CStringEditing, InsertCharacterAndFindNearTheEnd) {
    CString s("ace");
    EXPECT_EQ(s.Insert(1, 'b'), 4);
    EXPECT_EQ(s.Insert(3, 'd'), 5);
    EXPECT_EQ(s, "abcde");
    EXPECT_EQ(s.Insert(99, 'f'), 6);  // past the end appends
    EXPECT_EQ(s, "abcdef");
    // The first character recurs but the whole never matches.
    EXPECT_EQ(CString("abxabyab").Find("abz"), -1);
    EXPECT_EQ(CString("abxabyab").Find("ab", 6), 6);
    EXPECT_EQ(CString("abxabyab").Find("aby", 1), 3);
}

TEST(CStringCompare, EqualityCoversTheWholeLength) {
    CString withZero("ab", 2);
    withZero += '\0';
    withZero += 'c';
    CString other("ab", 2);
    other += '\0';
    other += 'd';
    EXPECT_FALSE(withZero == other);  // they differ after the zero byte
    EXPECT_TRUE(withZero != other);
    EXPECT_TRUE(withZero < other);
    EXPECT_FALSE(other < withZero);

    CString ab("ab");
    EXPECT_TRUE(ab < CString("abc"));  // a prefix is less
    EXPECT_FALSE(CString("abc") < ab);
    EXPECT_FALSE(ab < ab);
    EXPECT_TRUE("ab" == ab);
    EXPECT_TRUE(ab != "abc");
    EXPECT_TRUE("abc" != ab);
    EXPECT_FALSE("ab" != ab);
}

TEST(CStringConcatenation, CharacterOnEitherSide) {
    CString s("bc");
    EXPECT_EQ('a' + s, "abc");
    EXPECT_EQ(s + 'd', "bcd");
    EXPECT_EQ(("(" + s) + ")", "(bc)");
    EXPECT_EQ(s, "bc");
}

TEST(CStringBuffer, FreeExtraKeepsTheText) {
    CString s;
    s.Preallocate(200);
    EXPECT_GE(s.GetAllocLength(), 200);
    s = "short";
    s.FreeExtra();
    EXPECT_EQ(s, "short");
    EXPECT_EQ(s.GetAllocLength(), 5);
    s += " and longer";  // grows again from the trimmed buffer
    EXPECT_EQ(s, "short and longer");

    CString empty;
    empty.Preallocate(64);
    empty.FreeExtra();
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(empty.GetString()[0], '\0');
}

TEST(CStringBuffer, ReleaseBufferOnANeverAllocatedString) {
    CString s;
    s.ReleaseBuffer(10);  // no buffer was taken: nothing to take a length from
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_EQ(s.GetString()[0], '\0');
}

}  // namespace
