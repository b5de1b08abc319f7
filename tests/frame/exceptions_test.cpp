// CSimpleTextException and CDescException: the composed texts, the sources of a
// description, the buffer contract and MFC-style throwing.

#include <NavoTools.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "test_app.h"

namespace {

const std::string kMessages = std::string(NAVOTOOLS_TEST_BINARY_DIR) + "/messages.dll";

std::string Text(CException& e, UINT size = 2048, BOOL* result = nullptr) {
    std::string buffer(size, '\x7f');
    UINT help = 99;
    BOOL ok = e.GetErrorMessage(buffer.data(), size, &help);
    EXPECT_EQ(0u, help);
    if (result) *result = ok;
    return ok && size ? std::string(buffer.c_str()) : std::string();
}

std::string SystemText(DWORD code) { return std::string(static_cast<LPCSTR>(GetSystemErrorMessage(LONG(code)))); }

TEST(SimpleTextException, CopiesItsTextBounded) {
    CSimpleTextException e(CString("Mail could not be sent"));
    EXPECT_EQ("Mail could not be sent", Text(e));
    char small[5];
    memset(small, 'x', sizeof small);
    EXPECT_TRUE(e.GetErrorMessage(small, sizeof small, nullptr));
    EXPECT_STREQ("Mail", small);
    // Size 0: nothing written, still TRUE.
    char untouched = 'x';
    EXPECT_TRUE(e.GetErrorMessage(&untouched, 0, nullptr));
    EXPECT_EQ('x', untouched);
}

TEST(SimpleTextException, EmptyTextGivesFalseAndLeavesTheBuffer) {
    CSimpleTextException e{CString()};
    char buffer[8] = "keep";
    UINT help = 7;
    EXPECT_FALSE(e.GetErrorMessage(buffer, sizeof buffer, &help));
    EXPECT_EQ(0u, help);
    EXPECT_STREQ("keep", buffer);
    EXPECT_FALSE(e.GetErrorMessage(buffer, sizeof buffer, nullptr));
}

TEST(SimpleTextException, LoadsItsTextFromTheStringTable) {
    ScopedUILanguage english(kEnglishUS);
    CSimpleTextException fromRow(UINT(IDS_NAVO_CANNOT_RUN));
    EXPECT_EQ("Cannot run %s", std::string(fromRow.m_strText));
    CSimpleTextException missing(UINT(60000));
    EXPECT_TRUE(missing.m_strText.IsEmpty());
}

TEST(SimpleTextException, ThrownByPointerAndCaughtAsCException) {
    bool caught = false;
    try {
        throw new CSimpleTextException(CString("boom"));
    } catch (CException* e) {
        caught = true;
        EXPECT_EQ(&CException::classCException, e->GetRuntimeClass());
        EXPECT_EQ("boom", Text(*e));
        e->Delete();  // the sanitizer build reports a leak if this does not free it
    }
    EXPECT_TRUE(caught);
}

TEST(DescException, WinInetTextWhenTheSystemHasNone) {
    ASSERT_EQ("", SystemText(12002));
    CDescException e(12002);
    EXPECT_EQ("[0x00002EE2] The request has timed out.", Text(e));
}

TEST(DescException, NoSourceLeavesTheDetailsLineEndingInABlank) {
    for (LONG code : {12171, 12172, 11999}) {
        ASSERT_EQ("", SystemText(DWORD(code)));
        CDescException e(code);
        std::string text = Text(e);
        EXPECT_EQ("] ", text.substr(text.size() - 2)) << code;
    }
    CDescException negative(-1);
    EXPECT_EQ("[0xFFFFFFFF] ", Text(negative));
}

TEST(DescException, UnloadableModuleFallsBackToTheSystemText) {
    CDescException e(5, CString("Could not save"), CString("NoSuchMessages.dll"));
    EXPECT_EQ("Could not save\n\nDetails: [0x00000005] " + SystemText(5), Text(e));
    EXPECT_EQ(5, e.m_lCode);
    EXPECT_EQ("\r\n", SystemText(5).substr(SystemText(5).size() - 2));
}

TEST(DescException, ModuleTextComesFirst) {
    ScopedUILanguage english(kEnglishUS);
    CDescException e(1, CString(), CString(kMessages.c_str()));
    EXPECT_EQ("[0x00000001] Disk full.\r\n", Text(e));
    // Inserts in the module's text stay as they are.
    CDescException withInsert(2, CString("Printing"), CString(kMessages.c_str()));
    EXPECT_EQ("Printing\n\nDetails: [0x00000002] Printer %1 offline.\r\n", Text(withInsert));
}

TEST(DescException, ModuleWithoutTheCodeReplacesIt) {
    ScopedUILanguage english(kEnglishUS);
    CDescException e(5, CString("Could not save"), CString(kMessages.c_str()));
    std::string first = Text(e);
    EXPECT_EQ(LONG(ERROR_MR_MID_NOT_FOUND), e.m_lCode);
    EXPECT_EQ("Could not save\n\nDetails: [0x0000013D] " + SystemText(ERROR_MR_MID_NOT_FOUND), first);
    // The replaced code stays: the next call starts from 317 and ends the same way.
    EXPECT_EQ(first, Text(e));
    EXPECT_EQ(LONG(ERROR_MR_MID_NOT_FOUND), e.m_lCode);
}

TEST(DescException, TextIsInsertedLiterally) {
    CDescException e(12002, CString("50%1 off %%"), CString());
    EXPECT_EQ("50%1 off %%\n\nDetails: [0x00002EE2] The request has timed out.", Text(e));
}

TEST(DescException, BufferBounds) {
    CDescException e(12002);
    BOOL ok = FALSE;
    EXPECT_EQ("[0x0000", Text(e, 8, &ok));
    EXPECT_TRUE(ok);
    char untouched = 'x';
    EXPECT_TRUE(e.GetErrorMessage(&untouched, 0, nullptr));
    EXPECT_EQ('x', untouched);
}

TEST(DescException, StringIdConstructorAndReportError) {
    ScopedUILanguage english(kEnglishUS);
    RecordingApp app;
    CDescException e(12002, UINT(IDS_NAVO_CANNOT_RUN), CString());
    EXPECT_EQ("Cannot run %s\n\nDetails: [0x00002EE2] The request has timed out.", Text(e));
    e.ReportError(MB_ICONSTOP);
    ASSERT_EQ(1u, app.boxes.size());
    EXPECT_EQ(Text(e), app.boxes[0].text);
}

}  // namespace
