// The narrow web escape of control bytes, blanks and plus signs.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "NavoTools.h"

namespace {

std::string S(const CString& s) { return std::string(s, size_t(s.GetLength())); }

std::string Escape(const std::string& text) { return S(ConvertForWeb(CString(text.data(), int(text.size())))); }

// The escape of a text byte by byte, as a reference for the word-at-a-time version.
std::string ReferenceEscape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c <= 0x20 || c == 0x2B) {
            char escape[4];
            snprintf(escape, sizeof escape, "%%%02X", c);
            out += escape;
        } else {
            out += char(c);
        }
    }
    return out;
}

TEST(WebEscape, EmptyTextStaysEmpty) { EXPECT_EQ(Escape(""), ""); }

TEST(WebEscape, BlanksAndPlusSignsAreEscaped) {
    EXPECT_EQ(Escape("a b+c"), "a%20b%2Bc");
    EXPECT_EQ(Escape(" "), "%20");
    EXPECT_EQ(Escape("+"), "%2B");
    EXPECT_EQ(Escape("++  ++"), "%2B%2B%20%20%2B%2B");
}

TEST(WebEscape, PercentSignAndUrlPunctuationPassUnchanged) {
    EXPECT_EQ(Escape("50% off?"), "50%%20off?");
    EXPECT_EQ(Escape("&=?#/:%,;!\"'*"), "&=?#/:%,;!\"'*");
}

TEST(WebEscape, ControlBytesBecomeUpperCaseHex) {
    EXPECT_EQ(Escape("\r\n"), "%0D%0A");
    EXPECT_EQ(Escape("\t"), "%09");
    EXPECT_EQ(Escape("\x1F\x1B\x01"), "%1F%1B%01");
}

TEST(WebEscape, ZeroByteInsideTheLengthIsEscaped) {
    EXPECT_EQ(Escape(std::string("a\0b", 3)), "a%00b");
    EXPECT_EQ(Escape(std::string(3, '\0')), "%00%00%00");
}

TEST(WebEscape, HighBytesAndDeletePassUnchanged) {
    EXPECT_EQ(Escape("\x7F\x80\xFF"), "\x7F\x80\xFF");
    EXPECT_EQ(Escape("caf\xC3\xA9 cr\xC3\xA8me"), "caf\xC3\xA9%20cr\xC3\xA8me");
}

TEST(WebEscape, EveryByteValueEscapesAsTheRuleSays) {
    for (int value = 0; value < 256; ++value) {
        std::string one(1, char(value));
        EXPECT_EQ(Escape(one), ReferenceEscape(one)) << value;
        // The neighbours of the limits inside a longer text, at every offset of a word.
        std::string inside = "0123456789abcdefghij";
        for (size_t at = 0; at < inside.size(); ++at) {
            std::string text = inside;
            text[at] = char(value);
            ASSERT_EQ(Escape(text), ReferenceEscape(text)) << value << " at " << at;
        }
    }
}

TEST(WebEscape, LongMixedTextMatchesTheByteRule) {
    // Runs of every length between escapes, across many word boundaries and the tail.
    std::string text;
    unsigned state = 12345;
    for (int i = 0; i < 5000; ++i) {
        state = state * 1103515245u + 12345u;
        unsigned pick = (state >> 16) % 10;
        text += pick == 0 ? ' ' : pick == 1 ? '+' : pick == 2 ? char((state >> 8) & 0xFF) : char('a' + pick);
    }
    for (size_t length : {size_t(0), size_t(1), size_t(15), size_t(16), size_t(17), size_t(4093), text.size()}) {
        std::string piece = text.substr(0, length);
        EXPECT_EQ(Escape(piece), ReferenceEscape(piece)) << length;
    }
}

TEST(WebEscape, EscapeOfPiecesJoinsToEscapeOfTheWhole) {
    const std::string text = "one two+three\tfour\r\nfive% six";
    for (size_t cut = 0; cut <= text.size(); ++cut)
        EXPECT_EQ(Escape(text.substr(0, cut)) + Escape(text.substr(cut)), Escape(text)) << cut;
}

TEST(WebEscape, ArgumentIsLeftAsItWas) {
    CString text("a b");
    CString escaped = ConvertForWeb(text);
    EXPECT_EQ(S(text), "a b");
    EXPECT_EQ(S(escaped), "a%20b");
}

}  // namespace
