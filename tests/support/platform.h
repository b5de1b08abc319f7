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

// Skips the rest of a test whose resource lookups need the UI language `lang`, under Wine
// when its process did not start in that language. Wine's lookups follow the user's UI
// language, fixed when the process starts (from LC_ALL), and not SetThreadUILanguage as
// Windows' do; tests/windows.cmake gives such tests a run of their own in the language.
#define NAVOTOOLS_SKIP_UNDER_WINE_UNLESS_UI_LANGUAGE(lang)                                        \
    do {                                                                                          \
        if (RunningUnderWine() && GetUserDefaultUILanguage() != (lang))                           \
            GTEST_SKIP() << "Wine departs from the platform: SetThreadUILanguage does not steer " \
                            "its resource lookups; this test runs where the process starts in "   \
                         << (lang);                                                               \
    } while (0)

// Skips the rest of a test that states the behaviour of a UTF-8 ANSI code page.
#define NAVOTOOLS_SKIP_UNLESS_UTF8_ANSI() \
    do {                                  \
        if (GetACP() != CP_UTF8) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not UTF-8"; \
    } while (0)
