// The layer's UTF converter: each call's named treatment of ill-formed input, in tables of
// input x treatment -> output.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "formats/utf.h"

namespace utf = navo::win32::utf;

namespace {

const std::string kFffd = "\xEF\xBF\xBD";
const std::u16string kFffd16 = u"\uFFFD";

// UTF-8 -> UTF-16: every maximal ill-formed part is one U+FFFD, or the conversion fails.
TEST(Utf, Utf8ToUtf16) {
    struct Case {
        std::string in;
        std::u16string replaced;
        bool wellFormed;
    };
    const Case cases[] = {
        {"", u"", true},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3), true},
        {"A\xC3\xA9\xE2\x82\xAC", u"A\u00E9\u20AC", true},
        {"\xF0\x9F\x98\x80", u"\U0001F600", true},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF", true},
        {"\xE2\x82", kFffd16, false},                                // a cut sequence is one part
        {"\xF0\x9F\x98" "A", kFffd16 + u"A", false},                  // ... even when text follows
        {"\xC0\xAF", kFffd16 + kFffd16, false},                      // overlong lead: two parts
        {"\xED\xA0\x80", kFffd16 + kFffd16 + kFffd16, false},         // an encoded surrogate
        {"\xF4\x90\x80\x80", kFffd16 + kFffd16 + kFffd16 + kFffd16, false},  // past U+10FFFF
        {"\x80\xFF", kFffd16 + kFffd16, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.in));
        EXPECT_EQ(utf::ToUtf16(c.in, utf::kReplace), c.replaced);
        EXPECT_EQ(utf::IsUtf8(c.in), c.wellFormed);
        const auto strict = utf::ToUtf16(c.in, utf::kStrict);
        EXPECT_EQ(strict.has_value(), c.wellFormed);
        if (strict) {
            EXPECT_EQ(*strict, c.replaced);
        }
        // The same as little-endian bytes.
        const auto bytes = utf::Utf8ToUtf16Le(c.in, utf::kReplace);
        ASSERT_EQ(bytes.size(), c.replaced.size() * 2);
        for (size_t i = 0; i < c.replaced.size(); ++i)
            EXPECT_EQ(char16_t(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8), c.replaced[i]);
        EXPECT_EQ(utf::Utf8ToUtf16Le(c.in, utf::kStrict).has_value(), c.wellFormed);
    }
}

// UTF-16 -> UTF-8: every unpaired surrogate is one U+FFFD, or the conversion fails.
TEST(Utf, Utf16ToUtf8) {
    struct Case {
        std::u16string in;
        std::string replaced;
        bool wellFormed;
    };
    const Case cases[] = {
        {u"", "", true},
        {u"A\u00E9\u20AC", "A\xC3\xA9\xE2\x82\xAC", true},
        {u"\xD83D\xDE00", "\xF0\x9F\x98\x80", true},
        {u"\xD83D", kFffd, false},                    // a lead at the end
        {u"\xD83D" u"A", kFffd + "A", false},         // a lead before no trail
        {u"\xDE00\xD83D", kFffd + kFffd, false},      // the pair the wrong way round
        {u"\xDE00" u"A", kFffd + "A", false},         // a lone trail
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.replaced));
        EXPECT_EQ(utf::ToUtf8(c.in, utf::kReplace), c.replaced);
        // The same units as little-endian bytes, appended to what is there.
        std::string bytes, appended = "x";
        for (char16_t u : c.in) bytes += {char(u & 0xFF), char(u >> 8)};
        utf::AppendUtf8OfUtf16Le(appended, bytes, utf::kReplace);
        EXPECT_EQ(appended, "x" + c.replaced);
        const auto strict = utf::ToUtf8(c.in, utf::kStrict);
        EXPECT_EQ(strict.has_value(), c.wellFormed);
        if (strict) {
            EXPECT_EQ(*strict, c.replaced);
        }
    }
}

// UTF-16LE bytes: a cut last unit is dropped or replaced as the caller names it, and fails
// a strict conversion.
TEST(Utf, Utf16LeBytesToUtf8) {
    struct Case {
        std::string in;
        std::string dropped, replaced;
        std::optional<std::string> strict;
    };
    const Case cases[] = {
        {std::string("A\0", 2), "A", "A", "A"},
        {std::string("A\0B", 3), "A", "A" + kFffd, std::nullopt},
        {std::string("\x3D\xD8\x00\xDE", 4), "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {std::string("\x3D\xD8" "A\0", 4), kFffd + "A", kFffd + "A", std::nullopt},
        {std::string("\x3D\xD8\x00", 3), kFffd, kFffd + kFffd, std::nullopt},  // a lead, then half a unit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.in));
        EXPECT_EQ(utf::Utf16LeToUtf8(c.in, utf::kReplace, utf::CutUnit::kDrop), c.dropped);
        EXPECT_EQ(utf::Utf16LeToUtf8(c.in, utf::kReplace, utf::CutUnit::kReplace), c.replaced);
        EXPECT_EQ(utf::Utf16LeToUtf8(c.in, utf::kStrict), c.strict);
        std::string appended;
        utf::AppendUtf8OfUtf16Le(appended, c.in, utf::kReplace);
        EXPECT_EQ(appended, c.dropped);
    }
}

TEST(Utf, OneCodePoint) {
    const struct {
        char32_t in;
        std::string out;
    } cases[] = {
        {U'A', "A"}, {0x10FFFF, "\xF4\x8F\xBF\xBF"}, {0xD800, kFffd}, {0xDFFF, kFffd}, {0x110000, kFffd},
        {0xFFFFFFFF, kFffd},
    };
    for (const auto& c : cases) {
        std::string out = "x";
        utf::AppendUtf8(out, c.in, utf::kReplace);
        EXPECT_EQ(out, "x" + c.out) << std::hex << uint32_t(c.in);
    }
}

// The longest start that fits and does not cut a character (an ill-formed part counts as
// one character).
TEST(Utf, WholeCharacterPrefix) {
    const struct {
        std::string text;
        size_t room, expected;
    } cases[] = {
        {"a\xC3\xA9", 0, 0},         {"a\xC3\xA9", 2, 1},         {"a\xC3\xA9", 3, 3},
        {"a\xC3\xA9", 9, 3},         {"\xF0\x9F\x98\x80", 3, 0},  {"\xE2\x82" "A", 2, 2},
        {"\x80\x80\x80\x80\x80", 4, 4}, {"\xC3\xA9\x80", 2, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(utf::WholeCharacterPrefix(c.text, c.room), c.expected) << testing::PrintToString(c.text) << " " << c.room;
}

}  // namespace
