// Libraries loaded on first use: the loader the ICU, Xlib and SQLite forwarders share,
// with a soname that does not exist and with a real library.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "navo_diagnosis.h"
#include "system/diagnosis.h"
#include "system/late_library.h"

namespace {

using navo::win32::LateLibrary;

TEST(LateLibrary, AMissingLibraryOrFunctionFailsWithATextThatNamesIt) {
    struct Case {
        const char* soname;
        const char* function;
        const char* expected;
    } cases[] = {
        {"libnavotools-absent.so.9", "sqlite3_libversion_number",
         "Absent is not available: libnavotools-absent.so.9: cannot open shared object file"},
        {"libsqlite3.so.0", "sqlite3_no_such_function",
         "Absent is not available: libsqlite3.so.0 has no function sqlite3_no_such_function"},
    };
    for (const Case& c : cases) {
        const char* names[] = {"sqlite3_libversion_number", c.function};
        void* slots[2] = {};
        LateLibrary library("Absent", c.soname, names, slots, 2);
        EXPECT_FALSE(library.Load()) << c.soname;
        EXPECT_FALSE(library.Load()) << "a second call answers the same";
        EXPECT_NE(std::string(library.Error()).find(c.expected), std::string::npos) << library.Error();
        navo::win32::ClearDiagnosis();
        library.Diagnose();
        char text[512];
        DWORD length = NavoGetLastDiagnosisA(text, sizeof text);
        EXPECT_EQ(std::string(text, length), library.Error());
    }
}

TEST(LateLibrary, ThreadsThatMeetOnTheFirstCallAllGetTheRealFunctions) {
    const char* names[] = {"sqlite3_libversion_number", "sqlite3_libversion"};
    void* slots[2] = {};
    LateLibrary library("SQLite", "libsqlite3.so.0", names, slots, 2);
    std::vector<int> versions(8);
    std::vector<std::thread> threads;
    for (int& version : versions)
        threads.emplace_back([&library, &version] {
            version = library.Load() ? reinterpret_cast<int (*)()>(library.Symbol(0))() : 0;
        });
    for (std::thread& t : threads) t.join();
    for (int version : versions) EXPECT_GE(version, 3000000);
    EXPECT_STREQ(library.Error(), "");
    EXPECT_NE(library.Symbol(1), nullptr);
}

}  // namespace
