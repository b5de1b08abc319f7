// The generated case tables against ICU, which they were made from, for every code point;
// and registry key paths parsed and folded once.
#include <gtest/gtest.h>

#include <unicode/uchar.h>

#include <string>
#include <string_view>
#include <vector>

#include "advapi/registry_names.h"
#include "formats/upper_case.h"

namespace {

using navo::win32::SimpleFold;
using navo::win32::SimpleUpper;

// A difference means ICU's Unicode data changed: run tools/case_tables again.
TEST(UpperCase, EveryCodePointMatchesIcu) {
    int upperMismatches = 0, foldMismatches = 0;
    for (UChar32 c = 0; c <= 0x10FFFF; ++c) {
        if (SimpleUpper(char32_t(c)) != char32_t(u_toupper(c)) && ++upperMismatches <= 5)
            ADD_FAILURE() << "upper case of U+" << std::hex << c;
        if (SimpleFold(char32_t(c)) != char32_t(u_foldCase(c, U_FOLD_CASE_DEFAULT)) && ++foldMismatches <= 5)
            ADD_FAILURE() << "folding of U+" << std::hex << c;
    }
    EXPECT_EQ(upperMismatches, 0);
    EXPECT_EQ(foldMismatches, 0);
}

TEST(UpperCase, BeyondUnicodeStaysAsItIs) {
    for (char32_t c : {char32_t(0x110000), char32_t(0x7FFFFFFF), char32_t(0xFFFFFFFF)}) {
        EXPECT_EQ(SimpleUpper(c), c);
        EXPECT_EQ(SimpleFold(c), c);
    }
}

TEST(KeyPath, ParsesAndFoldsEachNameOnce) {
    struct Case {
        std::string_view path;
        LONG result;
        std::vector<std::string_view> names, folds;
        std::string_view fold;
    };
    const std::string tooLong(NAVO_REG_MAX_KEY_NAME + 1, 'a');
    const Case cases[] = {
        {"", ERROR_SUCCESS, {}, {}, ""},
        {"\\\\", ERROR_SUCCESS, {}, {}, ""},
        {"Software\\navo\\", ERROR_SUCCESS, {"Software", "navo"}, {"SOFTWARE", "NAVO"}, "SOFTWARE\\NAVO"},
        {"stra\xc3\x9f" "e\\\xc3\xa9t\xc3\xa9", ERROR_SUCCESS, {"stra\xc3\x9f" "e", "\xc3\xa9t\xc3\xa9"},
         {"STRA\xc3\x9f" "E", "\xc3\x89T\xc3\x89"}, "STRA\xc3\x9f" "E\\\xc3\x89T\xc3\x89"},
        {"bad\xff\\x", ERROR_SUCCESS, {"bad\xff", "x"}, {"BAD\xff", "X"}, "BAD\xff\\X"},
        {"\\Software", ERROR_BAD_PATHNAME, {}, {}, ""},
        {"Software\\\\navo", ERROR_BAD_PATHNAME, {}, {}, ""},
        {tooLong, ERROR_INVALID_PARAMETER, {}, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path));
        navo::win32::registry::KeyPath path;
        ASSERT_EQ(path.Parse(c.path), c.result);
        if (c.result != ERROR_SUCCESS) continue;
        ASSERT_EQ(path.Size(), c.names.size());
        for (size_t i = 0; i < path.Size(); ++i) {
            EXPECT_EQ(path[i].text, c.names[i]);
            EXPECT_EQ(path[i].fold, c.folds[i]);
        }
        EXPECT_EQ(path.Fold(), c.fold);
        EXPECT_EQ(path.Empty(), c.names.empty());
    }
}

}  // namespace
