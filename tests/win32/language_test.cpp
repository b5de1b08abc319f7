// The user's locale, the thread's UI language and the order of the resource search.
#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <string>
#include <thread>

#include "kernel/language_search.h"

namespace {

class LocaleEnvironment : public testing::Test {
protected:
    void SetUp() override {
        for (const char* v : {"NAVOTOOLS_LOCALE", "LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(v);
    }
    void TearDown() override { SetUp(); }
};

TEST_F(LocaleEnvironment, PosixLocaleNamesMapToWindowsIdentifiers) {
    struct Case {
        const char* name;
        LCID lcid;
    } cases[] = {{"fr_FR.UTF-8", 1036}, {"fr_CA", 3084}, {"ko_KR.UTF-8", 1042}, {"en_US", 1033},
                 {"C", 1033},           {"POSIX", 1033}, {"C.UTF-8", 1033},     {"de_DE@euro", 1031}};
    for (const Case& c : cases) {
        setenv("LANG", c.name, 1);
        EXPECT_EQ(GetUserDefaultLCID(), c.lcid) << c.name;
    }
}

TEST_F(LocaleEnvironment, VariablesAreReadInPrecedenceOrder) {
    setenv("LANG", "ko_KR", 1);
    setenv("LC_MESSAGES", "fr_FR", 1);
    EXPECT_EQ(GetUserDefaultLCID(), 1036u);
    setenv("LC_ALL", "fr_CA", 1);
    EXPECT_EQ(GetUserDefaultLCID(), 3084u);
    setenv("NAVOTOOLS_LOCALE", "1042", 1);
    EXPECT_EQ(GetUserDefaultLCID(), 1042u);
    setenv("NAVOTOOLS_LOCALE", "ko_KR", 1);
    EXPECT_EQ(GetUserDefaultUILanguage(), 1042);
    EXPECT_EQ(GetSystemDefaultUILanguage(), 1033);
}

TEST_F(LocaleEnvironment, EmptyVariablesAreSkippedAndUnknownLocalesReadAsEnglish) {
    setenv("LANG", "ko_KR.UTF-8", 1);
    setenv("LC_ALL", "", 1);
    setenv("NAVOTOOLS_LOCALE", "", 1);
    EXPECT_EQ(GetUserDefaultLCID(), 1042u);
    setenv("LANG", "xx_YY", 1);
    EXPECT_EQ(GetUserDefaultLCID(), 1033u);
    setenv("NAVOTOOLS_LOCALE", "3084", 1);
    EXPECT_EQ(GetUserDefaultLangID(), 3084);
    EXPECT_EQ(GetSystemDefaultLCID(), 1033u);
    EXPECT_EQ(GetSystemDefaultLangID(), 1033);
    unsetenv("NAVOTOOLS_LOCALE");
    unsetenv("LC_ALL");
    unsetenv("LANG");
    EXPECT_EQ(GetUserDefaultLCID(), 1033u);
}

TEST_F(LocaleEnvironment, ThreadUILanguageDefaultsToTheUsersAndIsPerThread) {
    setenv("LANG", "fr_FR", 1);
    EXPECT_EQ(GetThreadUILanguage(), 1036);
    EXPECT_EQ(SetThreadUILanguage(1042), 1042);
    EXPECT_EQ(GetThreadUILanguage(), 1042);
    LANGID other = 0;
    std::thread([&] { other = GetThreadUILanguage(); }).join();
    EXPECT_EQ(other, 1036);
    SetThreadUILanguage(0);
    EXPECT_EQ(GetThreadUILanguage(), 1036);
}

TEST_F(LocaleEnvironment, NeutralSearchTriesThreadUserSystemThenEnglish) {
    setenv("LANG", "fr_CA", 1);
    SetThreadUILanguage(1042);
    std::vector<LANGID> order = navo::win32::ResourceLanguageCandidates(0);
    std::vector<LANGID> expected = {0, 1042, 0x12, 3084, 0x0C, 1033, 0x09};
    EXPECT_EQ(order, expected);
    SetThreadUILanguage(0);
}

TEST_F(LocaleEnvironment, SpecificRequestTriesOnlyItselfAndItsNeutralForms) {
    SetThreadUILanguage(1042);
    std::vector<LANGID> expected = {1036, 0x0C, 0};
    EXPECT_EQ(navo::win32::ResourceLanguageCandidates(1036), expected);
    // The system-default sublanguage skips the thread's and the user's languages.
    std::vector<LANGID> system = navo::win32::ResourceLanguageCandidates(LANG_SYSTEM_DEFAULT);
    EXPECT_EQ(std::find(system.begin(), system.end(), LANGID(1042)), system.end());
    SetThreadUILanguage(0);
}

}  // namespace
