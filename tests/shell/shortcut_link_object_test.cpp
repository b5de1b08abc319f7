// CreateShortcut against the shell link object of the platform it runs on: on Linux the
// layer's own, on Windows the system's. The link's name and place, and what the link
// object reads back from it. (shortcut_test.cpp also reads the links with lnkinfo.)
#include <gtest/gtest.h>
#include <shlobj.h>

#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "NavoTools.h"
#include "link_object.h"

namespace {

namespace fs = std::filesystem;

class ShortcutLinkObject : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        dir_ = fs::temp_directory_path() / ("navotools-shortcut-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        folder_ = dir_.string();
    }
    void TearDown() override {
        CoUninitialize();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::set<std::string> Files(const fs::path& dir) const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::u8string name = entry.path().filename().u8string();
            names.insert(std::string(name.begin(), name.end()));
        }
        return names;
    }

    // What the link object reads back from the link `name` of the folder.
    LinkContents Load(const std::string& name) const { return ReadThroughLinkObject(folder_ + "\\" + name); }

    fs::path dir_;
    std::string folder_;
};

TEST_F(ShortcutLinkObject, TargetWorkingDirectoryDescriptionAndArguments) {
    ASSERT_EQ(CreateShortcut("C:\\Program Files\\App\\App.exe", folder_.c_str(), "The app", "--fast -v"), S_OK);
    EXPECT_EQ(Files(dir_), std::set<std::string>{"App.LNK"});
    LinkContents c = Load("App.LNK");
    ASSERT_EQ(c.loaded, S_OK);
    EXPECT_EQ(c.target, "C:\\Program Files\\App\\App.exe");
    EXPECT_EQ(c.workingDirectory, "C:\\Program Files\\App\\");
    EXPECT_EQ(c.description, "The app");
    EXPECT_EQ(c.arguments, "--fast -v");
}

TEST_F(ShortcutLinkObject, QuotedTargetLosesQuotesAndTrailingBlanks) {
    ASSERT_EQ(CreateShortcut("\"C:\\My Apps\\Tool.exe\"   \t", folder_.c_str(), "quoted", ""), S_OK);
    EXPECT_EQ(Files(dir_), std::set<std::string>{"Tool.LNK"});
    LinkContents c = Load("Tool.LNK");
    ASSERT_EQ(c.loaded, S_OK);
    EXPECT_EQ(c.target, "C:\\My Apps\\Tool.exe");
    EXPECT_EQ(c.workingDirectory, "C:\\My Apps\\");
    EXPECT_EQ(c.arguments, "");
}

TEST_F(ShortcutLinkObject, OpeningQuoteWithoutClosingOneCostsTheLastCharacter) {
    ASSERT_EQ(CreateShortcut("\"C:\\Tools\\runx", folder_.c_str(), "", ""), S_OK);
    EXPECT_EQ(Files(dir_), std::set<std::string>{"run.LNK"});
    EXPECT_EQ(Load("run.LNK").target, "C:\\Tools\\run");
}

TEST_F(ShortcutLinkObject, FolderEndingInBackslashNamesTheSameFolder) {
    ASSERT_EQ(CreateShortcut("C:\\Apps\\App.exe", (folder_ + "\\").c_str(), "", ""), S_OK);
    EXPECT_EQ(Files(dir_), std::set<std::string>{"App.LNK"});
    EXPECT_EQ(Load("App.LNK").target, "C:\\Apps\\App.exe");
}

TEST_F(ShortcutLinkObject, NonAsciiTextsSurvive) {
    const std::string target = "C:\\caf\xC3\xA9\\\xED\x95\x9C\xEA\xB8\x80.exe";
    ASSERT_EQ(CreateShortcut(target.c_str(), folder_.c_str(), "na\xC3\xAFve \xE2\x80\x93 test", "--n\xC3\xA4me"), S_OK);
    EXPECT_EQ(Files(dir_), std::set<std::string>{"\xED\x95\x9C\xEA\xB8\x80.LNK"});
    LinkContents c = Load("\xED\x95\x9C\xEA\xB8\x80.LNK");
    ASSERT_EQ(c.loaded, S_OK);
    EXPECT_EQ(c.target, target);
    EXPECT_EQ(c.workingDirectory, "C:\\caf\xC3\xA9\\");
    EXPECT_EQ(c.description, "na\xC3\xAFve \xE2\x80\x93 test");
    EXPECT_EQ(c.arguments, "--n\xC3\xA4me");
}

TEST_F(ShortcutLinkObject, ExistingLinkIsReplacedWhole) {
    ASSERT_EQ(CreateShortcut("C:\\bin\\ls.exe", folder_.c_str(), std::string(500, 'd').c_str(), "-l -a -h"), S_OK);
    ASSERT_EQ(CreateShortcut("C:\\bin\\ls.exe", folder_.c_str(), "short", ""), S_OK);
    EXPECT_EQ(Files(dir_), std::set<std::string>{"ls.LNK"});
    LinkContents c = Load("ls.LNK");
    ASSERT_EQ(c.loaded, S_OK);
    EXPECT_EQ(c.description, "short");
    EXPECT_EQ(c.arguments, "");
}

TEST_F(ShortcutLinkObject, EmptyTargetOrFolderIsInvalidAndCreatesNothing) {
    EXPECT_EQ(CreateShortcut("", folder_.c_str(), "d", "a"), E_INVALIDARG);
    EXPECT_EQ(CreateShortcut("C:\\App.exe", "", "d", "a"), E_INVALIDARG);
    EXPECT_TRUE(Files(dir_).empty());
}

TEST_F(ShortcutLinkObject, MissingFolderFailsAndLeavesNothing) {
    EXPECT_EQ(CreateShortcut("C:\\bin\\ls.exe", (folder_ + "\\missing").c_str(), "", ""),
              HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(Files(dir_).empty());
}

TEST_F(ShortcutLinkObject, ThreadWithoutComGetsTheCreationFailure) {
    HRESULT hr = S_OK;
    std::thread([&] { hr = CreateShortcut("C:\\bin\\ls.exe", folder_.c_str(), "", ""); }).join();
    EXPECT_EQ(hr, CO_E_NOTINITIALIZED);
    EXPECT_TRUE(Files(dir_).empty());
}

}  // namespace
