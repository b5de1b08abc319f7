// CWinOSVersion: which tests hold for each kind of Windows release.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "NavoTools.h"

namespace {

OSVERSIONINFOA Record(DWORD platform, DWORD major, DWORD minor, const char* csd = "", DWORD build = 0) {
    OSVERSIONINFOA r;
    memset(&r, 0, sizeof r);
    r.dwOSVersionInfoSize = sizeof r;
    r.dwPlatformId = platform;
    r.dwMajorVersion = major;
    r.dwMinorVersion = minor;
    r.dwBuildNumber = build;
    strncpy(r.szCSDVersion, csd, sizeof r.szCSDVersion - 1);
    return r;
}

// The names of the tests that give 1; every test must give exactly 0 or 1.
std::set<std::string> Holding(const CWinOSVersion& v) {
    struct Named {
        const char* name;
        int value;
    } const all[] = {
        {"IsWin9x", v.IsWin9x()},       {"IsWin95", v.IsWin95()},
        {"IsWin98", v.IsWin98()},       {"IsWin98SE", v.IsWin98SE()},
        {"IsWinMe", v.IsWinMe()},       {"IsWin98OrHigher", v.IsWin98OrHigher()},
        {"IsWinNT", v.IsWinNT()},       {"IsWinNT4", v.IsWinNT4()},
        {"IsWin2000", v.IsWin2000()},   {"IsWinXP", v.IsWinXP()},
        {"IsWinNT4OrHigher", v.IsWinNT4OrHigher()}, {"IsWin2000OrHigher", v.IsWin2000OrHigher()},
    };
    std::set<std::string> holding;
    for (const Named& t : all) {
        EXPECT_TRUE(t.value == 0 || t.value == 1) << t.name << " gave " << t.value;
        if (t.value) holding.insert(t.name);
    }
    return holding;
}

using Names = std::set<std::string>;

TEST(OSVersionTests, Windows95Family) {
    EXPECT_EQ(Holding(CWinOSVersion(Record(1, 4, 0))), (Names{"IsWin9x", "IsWin95"}));
    EXPECT_EQ(Holding(CWinOSVersion(Record(1, 4, 10))), (Names{"IsWin9x", "IsWin98", "IsWin98OrHigher"}));
    EXPECT_EQ(Holding(CWinOSVersion(Record(1, 4, 10, " A "))),
              (Names{"IsWin9x", "IsWin98", "IsWin98SE", "IsWin98OrHigher"}));
    EXPECT_EQ(Holding(CWinOSVersion(Record(1, 4, 90))), (Names{"IsWin9x", "IsWinMe", "IsWin98OrHigher"}));
}

TEST(OSVersionTests, SecondEditionIsToldByTheSecondCharacterOnly) {
    EXPECT_TRUE(CWinOSVersion(Record(1, 4, 10, "xA")).IsWin98SE());
    EXPECT_FALSE(CWinOSVersion(Record(1, 4, 10, "A")).IsWin98SE());
    EXPECT_FALSE(CWinOSVersion(Record(1, 4, 10, " a ")).IsWin98SE());
    EXPECT_FALSE(CWinOSVersion(Record(1, 4, 10, " B ")).IsWin98SE());
    // The character alone does not make a Second Edition of another release.
    EXPECT_FALSE(CWinOSVersion(Record(1, 4, 90, " A ")).IsWin98SE());
    EXPECT_FALSE(CWinOSVersion(Record(2, 4, 10, " A ")).IsWin98SE());
}

TEST(OSVersionTests, NtFamily) {
    EXPECT_EQ(Holding(CWinOSVersion(Record(2, 3, 51))), (Names{"IsWinNT"}));
    EXPECT_EQ(Holding(CWinOSVersion(Record(2, 4, 0, "Service Pack 6"))),
              (Names{"IsWinNT", "IsWinNT4", "IsWinNT4OrHigher"}));
    EXPECT_EQ(Holding(CWinOSVersion(Record(2, 5, 0))),
              (Names{"IsWinNT", "IsWin2000", "IsWinNT4OrHigher", "IsWin2000OrHigher"}));
    EXPECT_EQ(Holding(CWinOSVersion(Record(2, 5, 1))),
              (Names{"IsWinNT", "IsWinXP", "IsWinNT4OrHigher", "IsWin2000OrHigher"}));
}

TEST(OSVersionTests, LaterNtReleasesAreOnlyOrHigher) {
    const Names later{"IsWinNT", "IsWinNT4OrHigher", "IsWin2000OrHigher"};
    EXPECT_EQ(Holding(CWinOSVersion(Record(2, 5, 2))), later);
    EXPECT_EQ(Holding(CWinOSVersion(Record(2, 6, 0))), later);
    EXPECT_EQ(Holding(CWinOSVersion(Record(2, 10, 0, "", 19045))), later);
}

TEST(OSVersionTests, OrHigherStaysWithinItsFamily) {
    EXPECT_FALSE(CWinOSVersion(Record(2, 10, 10)).IsWin98OrHigher());
    EXPECT_FALSE(CWinOSVersion(Record(1, 5, 0)).IsWinNT4OrHigher());
    EXPECT_FALSE(CWinOSVersion(Record(1, 5, 0)).IsWin2000OrHigher());
}

TEST(OSVersionTests, Win98OrHigherTestsMajorAndMinorEachOnTheirOwn) {
    // 5.0 is a later version than 4.10 but its minor number is below 10.
    EXPECT_FALSE(CWinOSVersion(Record(1, 5, 0)).IsWin98OrHigher());
    EXPECT_TRUE(CWinOSVersion(Record(1, 5, 10)).IsWin98OrHigher());
    EXPECT_FALSE(CWinOSVersion(Record(1, 3, 95)).IsWin98OrHigher());
    // Compared as unsigned: a huge minor number is large, not negative.
    EXPECT_TRUE(CWinOSVersion(Record(1, 4, 0xFFFFFFFFu)).IsWin98OrHigher());
    EXPECT_TRUE(CWinOSVersion(Record(2, 0xFFFFFFFFu, 0)).IsWin2000OrHigher());
}

TEST(OSVersionTests, BuildNumberIsNeverTested) {
    EXPECT_EQ(Holding(CWinOSVersion(Record(1, 4, 10, "", 1998))), Holding(CWinOSVersion(Record(1, 4, 10, "", 2222))));
    EXPECT_EQ(Holding(CWinOSVersion(Record(2, 5, 1, "", 2600))), Holding(CWinOSVersion(Record(2, 5, 1, "", 0))));
}

TEST(OSVersionTests, UnknownPlatformOrFailedQueryHoldsNone) {
    EXPECT_TRUE(Holding(CWinOSVersion(Record(0, 4, 10, " A "))).empty());
    EXPECT_TRUE(Holding(CWinOSVersion(Record(0, 5, 1))).empty());
    EXPECT_TRUE(Holding(CWinOSVersion(Record(3, 5, 1))).empty());
    // What a failed query leaves: zeros but for the size.
    EXPECT_TRUE(Holding(CWinOSVersion(Record(0, 0, 0))).empty());
}

TEST(OSVersionRecord, CopyAndAssignmentCopyTheWholeRecord) {
    CWinOSVersion source(Record(1, 4, 10, " A ", 2222));
    CWinOSVersion copy(source);
    EXPECT_EQ(memcmp(&copy.GetVerInfo(), &source.GetVerInfo(), sizeof(OSVERSIONINFOA)), 0);
    CWinOSVersion target(Record(2, 5, 1, "Service Pack 3", 2600));
    CWinOSVersion& result = (target = source);
    EXPECT_EQ(&result, &target);
    EXPECT_EQ(memcmp(&target.GetVerInfo(), &source.GetVerInfo(), sizeof(OSVERSIONINFOA)), 0);
    EXPECT_TRUE(target.IsWin98SE());
    EXPECT_EQ(sizeof(CWinOSVersion), 148u);
}

TEST(OSVersionRecord, GetVerInfoGivesTheHeldRecord) {
    CWinOSVersion v(Record(2, 5, 1, "Service Pack 3", 2600));
    const OSVERSIONINFOA& r = v.GetVerInfo();
    EXPECT_EQ(static_cast<const void*>(&r), static_cast<const void*>(&v));
    EXPECT_EQ(r.dwBuildNumber, 2600u);
    EXPECT_STREQ(r.szCSDVersion, "Service Pack 3");
}

// A derived class may ask the platform again.
class RefreshingVersion : public CWinOSVersion {
public:
    using CWinOSVersion::CWinOSVersion;
    int Refresh() { return GetOSVer(); }
};

TEST(OSVersionRecord, ConstructionAsksThePlatformWithTheRecordsSize) {
    ASSERT_EQ(setenv("NAVOTOOLS_OSVERSION", "5.1.2600", 1), 0);
    CWinOSVersion xp;
    EXPECT_EQ(xp.GetVerInfo().dwOSVersionInfoSize, 148u);
    EXPECT_EQ(Holding(xp), (Names{"IsWinNT", "IsWinXP", "IsWinNT4OrHigher", "IsWin2000OrHigher"}));
    EXPECT_EQ(xp.GetVerInfo().dwBuildNumber, 2600u);
    EXPECT_STREQ(xp.GetVerInfo().szCSDVersion, "");

    // The snapshot stays until asked again.
    ASSERT_EQ(setenv("NAVOTOOLS_OSVERSION", "4.10.2222.1", 1), 0);
    EXPECT_TRUE(xp.IsWinXP());
    RefreshingVersion refreshed(Record(0, 0, 0));
    refreshed.Refresh();
    EXPECT_EQ(refreshed.GetVerInfo().dwOSVersionInfoSize, 148u);
    EXPECT_EQ(Holding(refreshed), (Names{"IsWin9x", "IsWin98", "IsWin98OrHigher"}));
    ASSERT_EQ(unsetenv("NAVOTOOLS_OSVERSION"), 0);
}

TEST(OSVersionRecord, RefreshSetsTheSizeBeforeAsking) {
    // GetOSVer always sets the size, so the platform call succeeds; a record fed with a
    // wrong size is corrected by it.
    OSVERSIONINFOA r = Record(2, 5, 0);
    r.dwOSVersionInfoSize = 0;
    RefreshingVersion v(r);
    EXPECT_NE(v.Refresh(), 0);
    EXPECT_EQ(v.GetVerInfo().dwOSVersionInfoSize, 148u);
}

}  // namespace
