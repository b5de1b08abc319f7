// HTTP status codes described in words.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "NavoTools.h"
#include "test_app.h"

namespace {

std::string S(const CString& s) { return std::string(s, size_t(s.GetLength())); }

const char kNoDescription[] = "No description available";

TEST(HttpStatusDescription, KnownCodesGiveTheirPhrase) {
    EXPECT_EQ(S(GetHttpStatusCodeDescription(100)), "OK to continue with request");
    EXPECT_EQ(S(GetHttpStatusCodeDescription(200)), "request completed");
    EXPECT_EQ(S(GetHttpStatusCodeDescription(404)), "object not found");
    EXPECT_EQ(S(GetHttpStatusCodeDescription(405)), "method is not allowed");
    EXPECT_EQ(S(GetHttpStatusCodeDescription(307)), "HTTP/1.1: keep same verb");
    EXPECT_EQ(S(GetHttpStatusCodeDescription(504)), "timed out waiting for gateway");
}

TEST(HttpStatusDescription, KeepsThePhrasesOwnSpelling) {
    EXPECT_EQ(S(GetHttpStatusCodeDescription(206)), "partial GET furfilled");
}

TEST(HttpStatusDescription, BadGatewayAndServiceUnavailableKeepTheirOwnTexts) {
    // Their rows are numbered crosswise in the string table.
    EXPECT_EQ(S(GetHttpStatusCodeDescription(502)), "Bad gateway, error response received from gateway");
    EXPECT_EQ(S(GetHttpStatusCodeDescription(503)), "Service unavailable, temporarily overloaded");
}

TEST(HttpStatusDescription, CodesWithoutARowGiveTheFallbackPhrase) {
    for (LONG code : std::initializer_list<LONG>{0, -1, 99, 306, 406, 409, 411, 412, 415, 505, 600, LONG(0x7FFFFFFF),
                                                 LONG(-0x7FFFFFFF - 1)})
        EXPECT_EQ(S(GetHttpStatusCodeDescription(code)), kNoDescription) << code;
}

TEST(HttpStatusDescription, EveryRowHasItsOwnText) {
    const LONG codes[] = {100, 101, 200, 201, 202, 203, 204, 205, 206, 300, 301, 302, 303, 304, 305, 307,
                          400, 401, 402, 403, 404, 405, 407, 408, 410, 413, 414, 500, 501, 502, 503, 504};
    std::set<std::string> seen;
    for (LONG code : codes) {
        std::string text = S(GetHttpStatusCodeDescription(code));
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_NE(text, kNoDescription) << code;
        EXPECT_TRUE(seen.insert(text).second) << code << " repeats " << text;
    }
}

TEST(HttpStatusDescription, KoreanUserInterfaceGetsTheSameEnglishTexts) {
    std::string english404 = S(GetHttpStatusCodeDescription(404));
    std::string english206 = S(GetHttpStatusCodeDescription(206));
    ScopedUILanguage korean(kKorean);
    EXPECT_EQ(S(GetHttpStatusCodeDescription(404)), english404);
    EXPECT_EQ(S(GetHttpStatusCodeDescription(206)), english206);
    EXPECT_EQ(S(GetHttpStatusCodeDescription(406)), kNoDescription);
}

}  // namespace
