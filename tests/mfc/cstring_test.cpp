// CString: value semantics, byte counting, searching and editing, formatting.
#include <gtest/gtest.h>

#include <string>

#include "NavoTools.h"
#include "test_app.h"
#include "platform.h"

namespace {

std::string S(const CString& s) { return std::string(s, size_t(s.GetLength())); }

TEST(CStringValue, CopiesAreIndependent) {
    CString a("abc");
    CString b = a;
    b.SetAt(0, 'X');
    b += "def";
    EXPECT_EQ(S(a), "abc");
    EXPECT_EQ(S(b), "Xbcdef");
    CString moved(static_cast<CString&&>(b));
    EXPECT_EQ(S(moved), "Xbcdef");
    EXPECT_TRUE(b.IsEmpty());
    a = a;  // self-assignment keeps the text
    EXPECT_EQ(S(a), "abc");
}

TEST(CStringValue, LengthCountsBytesIncludingEmbeddedZeros) {
    CString s("a\0b", 3);
    EXPECT_EQ(s.GetLength(), 3);
    EXPECT_EQ(s[1], '\0');
    CString t("a\0c", 3);
    EXPECT_FALSE(s == t);
    CString utf8("\xc3\xa9t\xc3\xa9");
    EXPECT_EQ(utf8.GetLength(), 5);
    CString null(static_cast<LPCSTR>(nullptr));
    EXPECT_TRUE(null.IsEmpty());
    EXPECT_STREQ(static_cast<LPCSTR>(null), "");
}

TEST(CStringValue, AppendingAPieceOfItselfSurvivesGrowth) {
    CString s("0123456789");
    for (int i = 0; i < 8; ++i) s += s;
    EXPECT_EQ(s.GetLength(), 10 << 8);
    EXPECT_EQ(S(s.Right(10)), "0123456789");
    CString t("xy");
    t.Insert(1, static_cast<LPCSTR>(t));
    EXPECT_EQ(S(t), "xxyy");
}

TEST(CStringValue, ConcatenationAndComparison) {
    CString a("ab");
    EXPECT_EQ(S(a + "cd"), "abcd");
    EXPECT_EQ(S("cd" + a), "cdab");
    EXPECT_EQ(S(a + 'z'), "abz");
    EXPECT_EQ(S(a + a), "abab");
    EXPECT_TRUE(a == "ab");
    EXPECT_TRUE(CString("ab") < CString("abc"));
    EXPECT_EQ(CString("ABC").CompareNoCase("abc"), 0);
    EXPECT_LT(CString("abc").Compare("abd"), 0);
}

TEST(CStringEditing, MidLeftRightClampToTheString) {
    CString s("hello");
    EXPECT_EQ(S(s.Mid(1, 1)), "e");
    EXPECT_EQ(S(s.Mid(3)), "lo");
    EXPECT_EQ(S(s.Mid(4, 10)), "o");
    EXPECT_EQ(S(s.Mid(9, 1)), "");
    EXPECT_EQ(S(s.Mid(-2, 2)), "he");
    EXPECT_EQ(S(s.Left(-1)), "");
    EXPECT_EQ(S(s.Right(9)), "hello");
}

TEST(CStringEditing, FindReportsFirstIndexOrMinusOne) {
    CString s("a.b.c");
    EXPECT_EQ(s.Find('.'), 1);
    EXPECT_EQ(s.Find('.', 2), 3);
    EXPECT_EQ(s.Find('x'), -1);
    EXPECT_EQ(s.Find('.', 99), -1);
    EXPECT_EQ(s.Find("b.c"), 2);
    EXPECT_EQ(s.Find("c.d"), -1);
    EXPECT_EQ(s.ReverseFind('.'), 3);
    CString z("a\0b", 3);
    EXPECT_EQ(z.Find('b'), 2);
}

TEST(CStringEditing, DeleteClampsAndReturnsTheNewLength) {
    CString s("abcdef");
    EXPECT_EQ(s.Delete(1, 2), 4);
    EXPECT_EQ(S(s), "adef");
    EXPECT_EQ(s.Delete(3, 100), 3);
    EXPECT_EQ(S(s), "ade");
    EXPECT_EQ(s.Delete(10, 1), 3);
    EXPECT_EQ(s.Delete(0, 0), 3);
    EXPECT_EQ(s.Delete(0), 2);
    EXPECT_EQ(S(s), "de");
}

TEST(CStringEditing, TrimRightRemovesOnlyTrailingWhiteSpace) {
    CString s("  text \t\r\n");
    s.TrimRight();
    EXPECT_EQ(S(s), "  text");
    s.TrimLeft();
    EXPECT_EQ(S(s), "text");
    CString blanks("   ");
    blanks.TrimRight();
    EXPECT_TRUE(blanks.IsEmpty());
    CString dots("a..");
    dots.TrimRight('.');
    EXPECT_EQ(S(dots), "a");
}

TEST(CStringEditing, ReplaceAndRemove) {
    CString s("a-b-c");
    EXPECT_EQ(s.Replace("-", "--"), 2);
    EXPECT_EQ(S(s), "a--b--c");
    EXPECT_EQ(s.Remove('-'), 4);
    EXPECT_EQ(S(s), "abc");
    EXPECT_EQ(s.Replace('b', 'B'), 1);
    EXPECT_EQ(S(s.MakeUpper()), "ABC");
}

TEST(CStringBuffer, ReleaseBufferTakesTheTerminatedLength) {
    CString s;
    char* p = s.GetBuffer(1024);
    ASSERT_NE(p, nullptr);
    strcpy(p, "written");
    s.ReleaseBuffer(-1);
    EXPECT_EQ(S(s), "written");
    EXPECT_GE(s.GetAllocLength(), 1024);
    p = s.GetBuffer(3);
    p[2] = 0;
    s.ReleaseBuffer();
    EXPECT_EQ(S(s), "wr");
    s.GetBuffer(10);
    s.ReleaseBuffer(1);
    EXPECT_EQ(S(s), "w");
}

TEST(CStringFormat, PrintfStyle) {
    CString s;
    s.Format("%s=%08X|%d", "x", 0xabcu, -5);
    EXPECT_EQ(S(s), "x=00000ABC|-5");
    std::string big(1000, 'q');
    s.Format("<%s>", big.c_str());
    EXPECT_EQ(s.GetLength(), 1002);
    s.Format("");
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CStringFormat, PrintfStyleById) {
    CString s;
    s.Format(UINT(IDS_NAVO_CANNOT_RUN), "notepad.exe file.txt");
    EXPECT_EQ(S(s), "Cannot run notepad.exe file.txt");
    s = "old";
    s.Format(UINT(8050), 1);
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CStringFormat, MessageInsertsDoNotExpandInsideArguments) {
    CString s;
    s.FormatMessage("%1\n\nDetails: [0x%2!08X!] %3", "50% %2 off", -1, "desc %1");
    EXPECT_EQ(S(s), "50% %2 off\n\nDetails: [0xFFFFFFFF] desc %1");
    s.FormatMessage("%2 before %1", "one", "two");
    EXPECT_EQ(S(s), "two before one");
}

TEST(CStringFormat, MessageEscapesAndLineBreaks) {
    CString s;
    s.FormatMessage("a\nb%nc%%d%.%!%1!5d!", 42);
    EXPECT_EQ(S(s), "a\nb\r\nc%d.!   42");
    s.FormatMessage("kept%0dropped %1", "x");
    EXPECT_EQ(S(s), "kept");
    EXPECT_THROW(s.FormatMessage("trailing %"), CInvalidArgException*);
    EXPECT_THROW(s.FormatMessage("%1!unclosed", 1), CInvalidArgException*);
}

TEST(CStringFormat, MessageEscapesForTabCarriageReturnAndStop) {
    CString s;
    s.FormatMessage("a%tb%rc%n%1%0 never shown", "x");
    EXPECT_EQ(s, "a\tb\rc\r\nx");
}

TEST(CStringFormat, MessageById) {
    CString s;
    s.FormatMessage(UINT(IDS_NAVO_CODE_DETAILS), 12002, "The request has timed out.");
    EXPECT_EQ(S(s), "[0x00002EE2] The request has timed out.");
    s = "old";
    s.FormatMessage(UINT(8050), 1);
    EXPECT_TRUE(s.IsEmpty());
    ScopedUILanguage korean(kKorean);
    s = "old";
    s.FormatMessage(UINT(IDS_NAVO_MAPI_LOGOFF_FAILED), 3);
    TodoWineUnlessUILanguage(kKorean, [&] { EXPECT_TRUE(s.IsEmpty()); });
}

TEST(CStringLoad, IntegerResourceConstructorLoadsTheRow) {
    CString s(MAKEINTRESOURCE(IDS_NAVO_HTTP_NO_DESCRIPTION));
    EXPECT_EQ(S(s), "No description available");
    CString missing(MAKEINTRESOURCE(8000));
    EXPECT_TRUE(missing.IsEmpty());
}

}  // namespace
