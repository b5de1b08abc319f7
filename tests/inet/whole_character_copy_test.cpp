// The bounded copy of the buffer form never splits a UTF-8 character.
#include <gtest/gtest.h>

#include <string>

#include "inet/whole_character_copy.h"

namespace {

using navo_inet::CopyWholeCharacters;

// Copies text with the given limit into a buffer of canaries and returns what was copied;
// fails the test when anything past the limit was written.
std::string Copy(const std::string& text, int limit) {
    std::string buffer(size_t(limit) + 8, '#');
    int n = CopyWholeCharacters(buffer.data(), text.data(), int(text.size()), limit);
    EXPECT_LE(n, limit);
    EXPECT_EQ(buffer.substr(size_t(limit)), std::string(8, '#')) << "wrote past the limit";
    return buffer.substr(0, size_t(n));
}

TEST(WholeCharacterCopy, AsciiIsCutAtTheLimit) {
    EXPECT_EQ(Copy("abcdef", 3), "abc");
    EXPECT_EQ(Copy("abc", 3), "abc");
    EXPECT_EQ(Copy("abc", 10), "abc");
    EXPECT_EQ(Copy("abc", 0), "");
}

TEST(WholeCharacterCopy, CutInsideACharacterDropsTheWholeCharacter) {
    const std::string twoByte = "a\xC3\xA9z";            // a, e acute, z
    EXPECT_EQ(Copy(twoByte, 2), "a");                   // would end after the lead byte
    EXPECT_EQ(Copy(twoByte, 3), "a\xC3\xA9");
    const std::string threeByte = "ab\xE2\x82\xAC";     // a, b, euro sign
    EXPECT_EQ(Copy(threeByte, 3), "ab");
    EXPECT_EQ(Copy(threeByte, 4), "ab");
    EXPECT_EQ(Copy(threeByte, 5), threeByte);
    const std::string fourByte = "\xF0\x9F\x98\x80!";   // an emoji, then !
    for (int limit = 1; limit <= 3; ++limit) EXPECT_EQ(Copy(fourByte, limit), "") << limit;
    EXPECT_EQ(Copy(fourByte, 4), "\xF0\x9F\x98\x80");
}

TEST(WholeCharacterCopy, StrayContinuationBytesAreNotChasedFurtherThanACharacter) {
    // Malformed text: a run of continuation bytes longer than any character. The cut backs
    // off by three bytes at most and still stays within the limit.
    const std::string stray = "ab\x80\x80\x80\x80\x80\x80";
    EXPECT_EQ(Copy(stray, 6), "ab\x80");
}

}  // namespace
