// CResourceDllLoader: choosing, loading and switching in per-language resource DLLs.

#include <NavoTools.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "test_app.h"
#include "test_constants.h"

namespace {

namespace fs = std::filesystem;


bool IsLoaded(HMODULE module) {
    char path[512];
    return GetModuleFileNameA(module, path, sizeof path) != 0;
}

// A folder on the DLL search path holding copies of the fixtures under the names "Res*.dll",
// a user locale, and an application that records its message boxes.
class ResourceDllLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("navotools-resdll-" + std::to_string(getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
#if defined(_WIN32)
        ASSERT_TRUE(SetDllDirectoryA(folder_.string().c_str()));
#else
        setenv("NAVOTOOLS_LIBRARY_PATH", folder_.c_str(), 1);
#endif
    }
    void TearDown() override {
#if defined(_WIN32)
        SetDllDirectoryA(nullptr);
#else
        unsetenv("NAVOTOOLS_LIBRARY_PATH");
        unsetenv("NAVOTOOLS_LOCALE");
#endif
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    // True when the test's body can run in this process in `locale`. The Linux layer takes
    // the user's locale from NAVOTOOLS_LOCALE at each call; a Windows process has the one it
    // started with (Wine takes it from LC_ALL), so there each locale has a CTest run of its
    // own and a test runs in the run of its locale.
    static bool InLocale(const char* locale, LCID lcid) {
#if defined(_WIN32)
        (void)locale;
#else
        setenv("NAVOTOOLS_LOCALE", locale, 1);
#endif
        return GetUserDefaultLCID() == lcid;
    }
    void Provide(const char* fixture, const char* name) {
        fs::copy_file(kBin + "/" + fixture, folder_ / name, fs::copy_options::overwrite_existing);
    }
    static std::string Row(UINT id) {
        CString text;
        text.LoadString(id);
        return std::string(text);
    }

    fs::path folder_;
    RecordingApp app_;
};

// The rest of a test needs the user locale `locale`, whose identifier is `lcid`.
#if defined(_WIN32)
#define IN_LOCALE(locale, lcid) \
    if (!InLocale(locale, lcid)) GTEST_SKIP() << "runs in the process started in " << (locale)
#else
#define IN_LOCALE(locale, lcid) ASSERT_TRUE(InLocale(locale, lcid)) << (locale)
#endif

struct LocaleCase {
    const char* locale;
    LCID lcid;
    const char* file;
};

class ResourceDllLanguage : public ResourceDllLoaderTest, public ::testing::WithParamInterface<LocaleCase> {};

// The whole locale identifier decides: French (France) and Korean have their own files,
// every other locale, French of Canada and Belgium included, reads the English one.
TEST_P(ResourceDllLanguage, PicksTheFileOfTheUserLocale) {
    IN_LOCALE(GetParam().locale, GetParam().lcid);
    Provide("AppFra.dll", "ResFra.dll");
    Provide("AppKor.dll", "ResKor.dll");
    Provide("AppEng.dll", "ResEng.dll");
    CResourceDllLoader loader(CString("Res%s.dll"), "ResDefault.dll");
    EXPECT_NE(nullptr, loader.GetResourceDLLModule());
    EXPECT_EQ(GetParam().file, std::string(loader.GetResourceDLLName()));
    EXPECT_TRUE(app_.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Locales, ResourceDllLanguage,
                         ::testing::Values(LocaleCase{"fr_FR.UTF-8", 1036, "ResFra.dll"},
                                           LocaleCase{"ko_KR.UTF-8", 1042, "ResKor.dll"},
                                           LocaleCase{"fr_CA.UTF-8", 3084, "ResEng.dll"},
                                           LocaleCase{"en_US.UTF-8", 1033, "ResEng.dll"},
                                           LocaleCase{"fr_BE.UTF-8", 2060, "ResEng.dll"}),
                         [](const ::testing::TestParamInfo<LocaleCase>& info) {
                             return std::string(info.param.locale).substr(0, 5);
                         });

TEST_F(ResourceDllLoaderTest, CanadianFrenchTriesEnglishThenTheFallback) {
    IN_LOCALE("fr_CA.UTF-8", 3084);
    Provide("AppFra.dll", "ResFra.dll");
    Provide("AppDefault.dll", "ResDefault.dll");
    CResourceDllLoader loader(CString("Res%s.dll"), "ResDefault.dll");
    ASSERT_NE(nullptr, loader.GetResourceDLLModule());
    EXPECT_EQ("ResDefault.dll", std::string(loader.GetResourceDLLName()));
    EXPECT_TRUE(app_.boxes.empty());
}

TEST_F(ResourceDllLoaderTest, BothMissingShowsOneStopMessageNamingTheFallback) {
    IN_LOCALE("fr_FR.UTF-8", 1036);
    CResourceDllLoader loader(CString("Res%s.dll"), "ResDefault.dll");
    EXPECT_EQ(nullptr, loader.GetResourceDLLModule());
    EXPECT_TRUE(loader.GetResourceDLLName().IsEmpty());
    ASSERT_EQ(1u, app_.boxes.size());
    EXPECT_EQ(UINT(MB_ICONSTOP | MB_OK), app_.boxes[0].type);
    EXPECT_EQ(0u, app_.boxes[0].helpId);
    EXPECT_EQ(
        "Cannot load 'ResDefault.dll' file.\nThis file contains application resources and should be located in the "
        "same folder where application executable module located.\n",
        app_.boxes[0].text);
    HINSTANCE before = AfxGetResourceHandle();
    EXPECT_EQ(0, loader.SwitchResources());
    EXPECT_EQ(before, AfxGetResourceHandle());
}

TEST_F(ResourceDllLoaderTest, NoFallbackMeansNoMessage) {
    IN_LOCALE("fr_FR.UTF-8", 1036);
    CResourceDllLoader empty(CString("Res%s.dll"), "");
    CResourceDllLoader null(CString("Res%s.dll"), nullptr);
    EXPECT_EQ(nullptr, empty.GetResourceDLLModule());
    EXPECT_EQ(nullptr, null.GetResourceDLLModule());
    EXPECT_TRUE(app_.boxes.empty());
}

TEST_F(ResourceDllLoaderTest, SwitchInstallsTheDllAndDestructionRestores) {
    IN_LOCALE("fr_FR.UTF-8", 1036);
    Provide("AppFra.dll", "ResFra.dll");
    HINSTANCE before = AfxGetResourceHandle();
    HMODULE dll = nullptr;
    {
        CResourceDllLoader loader(CString("Res%s.dll"), nullptr);
        dll = loader.GetResourceDLLModule();
        ASSERT_NE(nullptr, dll);
        EXPECT_EQ(1, loader.SwitchResources());
        EXPECT_EQ(dll, AfxGetResourceHandle());
        EXPECT_EQ("French resources", Row(1000));
        // A second switch keeps the handle saved by the first.
        EXPECT_EQ(1, loader.SwitchResources());
    }
    EXPECT_EQ(before, AfxGetResourceHandle());
    EXPECT_FALSE(IsLoaded(dll));
}

TEST_F(ResourceDllLoaderTest, DestructionWithoutSwitchReleasesAndLeavesTheHandle) {
    IN_LOCALE("fr_FR.UTF-8", 1036);
    Provide("AppFra.dll", "ResFra.dll");
    HINSTANCE before = AfxGetResourceHandle();
    HMODULE dll = nullptr;
    {
        CResourceDllLoader loader(CString("Res%s.dll"), nullptr);
        dll = loader.GetResourceDLLModule();
        ASSERT_NE(nullptr, dll);
    }
    EXPECT_EQ(before, AfxGetResourceHandle());
    EXPECT_FALSE(IsLoaded(dll));
}

TEST_F(ResourceDllLoaderTest, CopiesHoldTheirOwnReference) {
    IN_LOCALE("fr_FR.UTF-8", 1036);
    Provide("AppFra.dll", "ResFra.dll");
    Provide("AppKor.dll", "KorFra.dll");
    auto original = std::make_unique<CResourceDllLoader>(CString("Res%s.dll"), nullptr);
    HMODULE dll = original->GetResourceDLLModule();
    ASSERT_NE(nullptr, dll);
    CResourceDllLoader copy(*original);
    EXPECT_EQ(dll, copy.GetResourceDLLModule());
    EXPECT_EQ("ResFra.dll", std::string(copy.GetResourceDLLName()));
    original.reset();
    ASSERT_TRUE(IsLoaded(dll));
    EXPECT_EQ(1, copy.SwitchResources());
    EXPECT_EQ("French resources", Row(1000));

    // Assignment releases what the target held.
    CResourceDllLoader korean(CString("Kor%s.dll"), nullptr);
    HMODULE koreanDll = korean.GetResourceDLLModule();
    ASSERT_NE(nullptr, koreanDll);
    {
        CResourceDllLoader target(korean);
        target = copy;
        EXPECT_EQ(dll, target.GetResourceDLLModule());
        target = target;
        EXPECT_EQ(dll, target.GetResourceDLLModule());
    }
    EXPECT_TRUE(IsLoaded(dll));
    EXPECT_TRUE(IsLoaded(koreanDll));  // still held by `korean`
}

TEST_F(ResourceDllLoaderTest, PatternsWithOtherConversionsAreRefusedWithoutALoad) {
    IN_LOCALE("fr_FR.UTF-8", 1036);
    Provide("AppFra.dll", "ResFra.dll");
    Provide("AppDefault.dll", "ResDefault.dll");
    for (const char* pattern : {"Res%d.dll", "Res%s%s.dll", "ResFra.dll", "Res%n%s.dll", "Res%s.dll%", "%x%s"}) {
        CResourceDllLoader loader{CString(pattern), "ResDefault.dll"};
        EXPECT_EQ("ResDefault.dll", std::string(loader.GetResourceDLLName())) << pattern;
    }
    Provide("AppFra.dll", "Res%Fra.dll");
    CResourceDllLoader percent(CString("Res%%%s.dll"), nullptr);
    EXPECT_EQ("Res%Fra.dll", std::string(percent.GetResourceDLLName()));
    EXPECT_TRUE(app_.boxes.empty());
}

}  // namespace
