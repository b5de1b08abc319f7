// Conformance tests for the system message table's answers to HRESULTs, as Wine gives
// them (FormatMessageA with FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS):
// a FACILITY_WIN32 code reads as its Win32 code, E_FAIL and E_NOTIMPL have texts of their
// own, and the other common COM codes have none.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "test_constants.h"

namespace {

constexpr DWORD kFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
constexpr DWORD kUserDefault = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);

// The system's text of `id`; empty with the last error when there is none.
std::string SystemText(DWORD id, DWORD* error = nullptr) {
    char buffer[1024];
    SetLastError(kUntouched);
    DWORD n = FormatMessageA(kFlags, nullptr, id, kUserDefault, buffer, sizeof buffer, nullptr);
    if (error) *error = GetLastError();
    return std::string(buffer, n);
}

TEST(HresultMessages, Win32FacilityReadsAsTheWin32Code) {
    const DWORD codes[] = {0, 2, 3, 5, 6, 8, 11, 14, 87, 122, 126, 193, 206};
    for (DWORD code : codes) {
        const std::string win32 = SystemText(code);
        ASSERT_FALSE(win32.empty()) << code;
        EXPECT_EQ(win32, SystemText(0x80070000u | code)) << code;
    }
}

TEST(HresultMessages, ComCodesWithTexts) {
    const struct {
        DWORD code;
        const char* text;
    } cases[] = {
        {0x80004005, "Call failed.\r\n"},      // E_FAIL
        {0x80004001, "Not implemented.\r\n"},  // E_NOTIMPL
    };
    for (const auto& c : cases) EXPECT_EQ(c.text, SystemText(c.code)) << std::hex << c.code;
}

TEST(HresultMessages, ComCodesWithoutTexts) {
    const DWORD codes[] = {
        0x80004002,  // E_NOINTERFACE
        0x80004003,  // E_POINTER
        0x80004004,  // E_ABORT
        0x8000FFFF,  // E_UNEXPECTED
        0x800401F0,  // CO_E_NOTINITIALIZED
        0x80040154,  // REGDB_E_CLASSNOTREG
        0x80040111,  // CLASS_E_CLASSNOTAVAILABLE
        0x8007FFFF,  // a Win32 code without a text
    };
    for (DWORD code : codes) {
        DWORD error = 0;
        EXPECT_EQ("", SystemText(code, &error)) << std::hex << code;
        EXPECT_EQ(DWORD(ERROR_MR_MID_NOT_FOUND), error) << std::hex << code;
    }
}

}  // namespace
