// What the conformance tests need to know of the platform they run on: whether it is Wine,
// and whether the ANSI code page is UTF-8 (always on the Linux layer; a setting on Windows).
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

// True when the program runs under Wine, whose ntdll exports wine_get_version.
inline bool RunningUnderWine() {
#if defined(_WIN32)
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

// Skips the rest of a test where Wine departs from the platform; `why` says how.
#define NAVOTOOLS_SKIP_UNDER_WINE(why) \
    do {                               \
        if (RunningUnderWine()) GTEST_SKIP() << "Wine departs from the platform: " why; \
    } while (0)

// Skips the rest of a test that states the behaviour of a UTF-8 ANSI code page.
#define NAVOTOOLS_SKIP_UNLESS_UTF8_ANSI() \
    do {                                  \
        if (GetACP() != CP_UTF8) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not UTF-8"; \
    } while (0)
