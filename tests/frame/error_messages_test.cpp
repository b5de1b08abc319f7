// Messages with a details line and ShowError.
#include <gtest/gtest.h>

#include <string>

#include "NavoTools.h"
#include "test_app.h"

namespace {

std::string S(const CString& s) { return std::string(s, size_t(s.GetLength())); }

TEST(SystemErrorMessage, KeepsTheTrailingLineBreakAndInserts) {
    std::string two = S(GetSystemErrorMessage(2));
    ASSERT_GE(two.size(), 3u);
    EXPECT_EQ(two.substr(two.size() - 2), "\r\n");
    std::string bad = S(GetSystemErrorMessage(ERROR_BAD_EXE_FORMAT));
    EXPECT_NE(bad.find("%1"), std::string::npos) << bad;
    EXPECT_FALSE(GetSystemErrorMessage(0).IsEmpty());
}

TEST(SystemErrorMessage, CodesWithoutTextGiveEmpty) {
    for (LONG code : {12000, 12002, 12171, -1, 0x7fffffff}) EXPECT_TRUE(GetSystemErrorMessage(code).IsEmpty()) << code;
}

TEST(ErrorMessageWithDetails, JoinsTextCodeAndDescription) {
    std::string expected = "Copy failed\n\nDetails: [0x00000002] " + S(GetSystemErrorMessage(2));
    EXPECT_EQ(S(GetErrorMessageWithDetails("Copy failed", 2)), expected);
}

TEST(ErrorMessageWithDetails, ShowsTheCodesThirtyTwoBitPattern) {
    EXPECT_EQ(S(GetErrorMessageWithDetails("x", -1)), "x\n\nDetails: [0xFFFFFFFF] ");
    EXPECT_EQ(S(GetErrorMessageWithDetails("", 12002)), "\n\nDetails: [0x00002EE2] ");
    std::string zero = S(GetErrorMessageWithDetails("Done", 0));
    EXPECT_EQ(zero, "Done\n\nDetails: [0x00000000] " + S(GetSystemErrorMessage(0)));
}

TEST(ErrorMessageWithDetails, PercentSignsInTextAndDescriptionStayAsTheyAre) {
    std::string text = S(GetErrorMessageWithDetails("100% %s %1 done", ERROR_BAD_EXE_FORMAT));
    EXPECT_EQ(text.rfind("100% %s %1 done\n\nDetails: [0x000000C1] ", 0), 0u) << text;
    EXPECT_NE(text.find("%1", 20), std::string::npos);
}

TEST(ErrorMessageWithDetails, WorksUnderKorean) {
    ScopedUILanguage korean(kKorean);
    EXPECT_EQ(S(GetErrorMessageWithDetails("x", 5)), "x\n\nDetails: [0x00000005] " + S(GetSystemErrorMessage(5)));
}

TEST(ShowError, PassesTheMessageAndStyleFlagsToTheApplication) {
    RecordingApp app;
    ShowError("Copy failed", 2, 0x30);
    ASSERT_EQ(app.boxes.size(), 1u);
    EXPECT_EQ(app.boxes[0].text, S(GetErrorMessageWithDetails("Copy failed", 2)));
    EXPECT_EQ(app.boxes[0].type, 0x30u);
    EXPECT_EQ(app.boxes[0].helpId, 0u);
}

TEST(ShowError, LoadsTheTextByIdThroughTheChain) {
    RecordingApp app;
    ShowError(UINT(IDS_NAVO_HTTP_NO_DESCRIPTION), 5, MB_OK);
    ShowError(UINT(8050), -1, MB_ICONERROR);
    ASSERT_EQ(app.boxes.size(), 2u);
    EXPECT_EQ(app.boxes[0].text.rfind("No description available\n\nDetails: [0x00000005] ", 0), 0u);
    EXPECT_EQ(app.boxes[1].text, "\n\nDetails: [0xFFFFFFFF] ");
    EXPECT_EQ(app.boxes[1].type, UINT(MB_ICONERROR));
}

}  // namespace
