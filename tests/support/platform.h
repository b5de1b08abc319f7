// What the conformance tests need to know of the platform they run on: whether it is Wine
// (and how a check marks where Wine departs from the platform), and whether the ANSI code
// page is UTF-8 (always on the Linux layer; a setting on Windows).
#pragma once

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <source_location>

// True when the program runs under Wine, whose ntdll exports wine_get_version.
inline bool RunningUnderWine() {
#if defined(_WIN32)
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

// Skips the rest of a test where Wine departs from the platform and running the check would
// crash, hang or leave state behind; `why` says how. Where the check can run, TodoWine marks
// it instead.
#define NAVOTOOLS_SKIP_UNDER_WINE(why) \
    do {                               \
        if (RunningUnderWine()) GTEST_SKIP() << "Wine departs from the platform: " why; \
    } while (0)

// The result of a check marked as one where Wine departs from the platform (TodoWine).
namespace navotools_test {

inline void RunTodoWine(bool expectFailure, const char* what, const std::function<void()>& check,
                        const std::source_location& where) {
    if (!expectFailure) {
        check();
        return;
    }
    ::testing::TestPartResultArray results;
    {
        ::testing::ScopedFakeTestPartResultReporter intercept(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        check();
    }
    int failed = 0;
    bool skipped = false;
    for (int i = 0; i < results.size(); ++i) {
        failed += results.GetTestPartResult(i).failed() ? 1 : 0;
        skipped = skipped || results.GetTestPartResult(i).skipped();
    }
    if (failed > 0) {
        std::printf("[  TODO    ] %s:%u: %d expected failure(s) under Wine: %s\n", where.file_name(),
                    unsigned(where.line()), failed, what);
        return;
    }
    if (skipped) GTEST_SKIP() << "skipped inside a check marked for Wine: " << what;
    ADD_FAILURE_AT(where.file_name(), int(where.line())) << "unexpectedly passed under Wine: " << what;
}

}  // namespace navotools_test

// Runs `check`, a part of a test where Wine departs from the platform, in the manner of
// Wine's own todo_wine. Outside Wine it is an ordinary part of the test. Under Wine the check
// still runs, its failures are expected and kept out of the result, and a check that passes
// fails the test ("unexpectedly passed under Wine: `what`"): the mark then goes, as Wine has
// come to agree with the platform. A fatal assertion ends the check, not the test. Use a
// skip instead only where running the check under Wine would crash, hang or leave state
// behind.
inline void TodoWine(const char* what, const std::function<void()>& check,
                     const std::source_location& where = std::source_location::current()) {
    navotools_test::RunTodoWine(RunningUnderWine(), what, check, where);
}

// TodoWine for a check of resource lookups in the UI language `lang`, in a process that did
// not start in it. Wine's lookups follow the user's UI language, fixed when the process
// starts (from LC_ALL), and not SetThreadUILanguage as Windows' do; tests/windows.cmake gives
// such tests a run of their own in the language, where they pass unmarked.
inline void TodoWineUnlessUILanguage(LANGID lang, const std::function<void()>& check,
                                     const std::source_location& where = std::source_location::current()) {
    navotools_test::RunTodoWine(RunningUnderWine() && GetUserDefaultUILanguage() != lang,
                                "SetThreadUILanguage does not steer its resource lookups", check, where);
}

// Skips the rest of a test that states the behaviour of a UTF-8 ANSI code page.
#define NAVOTOOLS_SKIP_UNLESS_UTF8_ANSI() \
    do {                                  \
        if (GetACP() != CP_UTF8) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not UTF-8"; \
    } while (0)
