// CResourceDllLoader: choosing, loading and switching in per-language resource DLLs.

#include <NavoTools.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_app.h"

namespace {

namespace fs = std::filesystem;

const std::string kBin = NAVOTOOLS_TEST_BINARY_DIR;

bool IsLoaded(HMODULE module) {
    char path[512];
    return GetModuleFileNameA(module, path, sizeof path) != 0;
}

// A folder on the library path holding copies of the fixtures under the names "Res*.dll",
// a user locale, and an application that records its message boxes.
class ResourceDllLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("navotools-resdll-" + std::to_string(getpid()));
        fs::create_directories(folder_);
        setenv("NAVOTOOLS_LIBRARY_PATH", folder_.c_str(), 1);
        SetLocale("1036");
    }
    void TearDown() override {
        unsetenv("NAVOTOOLS_LIBRARY_PATH");
        unsetenv("NAVOTOOLS_LOCALE");
        fs::remove_all(folder_);
    }
    void SetLocale(const char* lcid) { setenv("NAVOTOOLS_LOCALE", lcid, 1); }
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

TEST_F(ResourceDllLoaderTest, PicksTheLanguageOfTheUserLocale) {
    Provide("AppFra.dll", "ResFra.dll");
    Provide("AppKor.dll", "ResKor.dll");
    Provide("AppEng.dll", "ResEng.dll");
    struct Case {
        const char* lcid;
        const char* name;
    } cases[] = {{"1036", "ResFra.dll"}, {"1042", "ResKor.dll"}, {"3084", "ResEng.dll"}, {"1033", "ResEng.dll"},
                 {"fr_BE.UTF-8", "ResEng.dll"}};
    for (const Case& c : cases) {
        SetLocale(c.lcid);
        CResourceDllLoader loader(CString("Res%s.dll"), "ResDefault.dll");
        EXPECT_NE(nullptr, loader.GetResourceDLLModule()) << c.lcid;
        EXPECT_EQ(c.name, std::string(loader.GetResourceDLLName())) << c.lcid;
    }
    EXPECT_TRUE(app_.boxes.empty());
}

TEST_F(ResourceDllLoaderTest, CanadianFrenchTriesEnglishThenTheFallback) {
    Provide("AppFra.dll", "ResFra.dll");
    Provide("AppDefault.dll", "ResDefault.dll");
    SetLocale("3084");
    CResourceDllLoader loader(CString("Res%s.dll"), "ResDefault.dll");
    ASSERT_NE(nullptr, loader.GetResourceDLLModule());
    EXPECT_EQ("ResDefault.dll", std::string(loader.GetResourceDLLName()));
    EXPECT_TRUE(app_.boxes.empty());
}

TEST_F(ResourceDllLoaderTest, BothMissingShowsOneStopMessageNamingTheFallback) {
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
    CResourceDllLoader empty(CString("Res%s.dll"), "");
    CResourceDllLoader null(CString("Res%s.dll"), nullptr);
    EXPECT_EQ(nullptr, empty.GetResourceDLLModule());
    EXPECT_EQ(nullptr, null.GetResourceDLLModule());
    EXPECT_TRUE(app_.boxes.empty());
}

TEST_F(ResourceDllLoaderTest, SwitchInstallsTheDllAndDestructionRestores) {
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
    Provide("AppFra.dll", "ResFra.dll");
    Provide("AppKor.dll", "ResKor.dll");
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
    SetLocale("1042");
    CResourceDllLoader korean(CString("Res%s.dll"), nullptr);
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
