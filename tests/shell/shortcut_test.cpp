// CreateShortcut: the link's name, place and contents, read back by lnkinfo and by the
// shell link object.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <string>
#include <thread>

#include "NavoTools.h"
#include "link_object.h"
#include "lnkinfo.h"

namespace {

std::set<std::string> FilesIn(const std::string& dir) {
    std::set<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

void MakeDirs(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos) break;
    }
}

class Shortcut : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        char pattern[] = "/tmp/navo-shortcut-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        // Drive C of the emulated system lives in the state directory, one per test so
        // that tests running side by side do not share it.
        home_ = dir_ + "-home";
        setenv("NAVOTOOLS_HOME", home_.c_str(), 1);
        driveC_ = home_ + "/drive_c";
        MakeDirs(driveC_ + "/Desktop");
    }
    void TearDown() override {
        CoUninitialize();
        std::string command = "rm -rf '" + dir_ + "' '" + home_ + "'";
        if (system(command.c_str()) != 0) ADD_FAILURE() << command;
    }

    // Reads the link back through the shell link object.
    static LinkContents Load(const std::string& win32Path) {
        LinkContents c = ReadThroughLinkObject(win32Path);
        EXPECT_EQ(c.loaded, S_OK) << win32Path;
        return c;
    }

    std::string dir_;
    std::string home_;
    std::string driveC_;
};

TEST_F(Shortcut, EmptyTargetOrFolderIsInvalidAndCreatesNothing) {
    EXPECT_EQ(CreateShortcut("", dir_.c_str(), "d", "a"), HRESULT(0x80070057));
    EXPECT_EQ(CreateShortcut("/usr/bin/env", "", "d", "a"), HRESULT(0x80070057));
    EXPECT_EQ(CreateShortcut("", "", "", ""), E_INVALIDARG);
    EXPECT_TRUE(FilesIn(dir_).empty());
    // The check comes before any COM call: it holds on a thread without COM as well.
    HRESULT onOtherThread = S_OK;
    std::thread([&] { onOtherThread = CreateShortcut("", dir_.c_str(), "", ""); }).join();
    EXPECT_EQ(onOtherThread, E_INVALIDARG);
}

TEST_F(Shortcut, DriveLetterTargetInDriveFolder) {
    ASSERT_EQ(CreateShortcut("C:\\Program Files\\App\\App.exe", "C:\\Desktop", "", ""), S_OK);
    EXPECT_EQ(FilesIn(driveC_ + "/Desktop"), std::set<std::string>{"App.LNK"});
    LnkInfo info = ReadWithLnkinfo(driveC_ + "/Desktop/App.LNK");
    ASSERT_TRUE(info.ran);
    EXPECT_EQ(info["Local path"], "C:\\Program Files\\App\\App.exe");
    EXPECT_EQ(info["Working directory"], "C:\\Program Files\\App\\");
    // An empty description and no arguments: neither string is in the link.
    EXPECT_FALSE(info.Has("Description"));
    EXPECT_FALSE(info.Has("Command line arguments"));
    LinkContents c = Load("C:\\Desktop\\App.LNK");
    EXPECT_EQ(c.target, "C:\\Program Files\\App\\App.exe");
    EXPECT_EQ(c.workingDirectory, "C:\\Program Files\\App\\");
    EXPECT_EQ(c.description, "");
    EXPECT_EQ(c.arguments, "");
}

TEST_F(Shortcut, DescriptionAndArgumentsAreRecorded) {
    ASSERT_EQ(CreateShortcut("/usr/bin/xeyes", dir_.c_str(), "Eyes that follow", "-geometry 100x100 -fg red"), S_OK);
    LnkInfo info = ReadWithLnkinfo(dir_ + "/xeyes.LNK");
    ASSERT_TRUE(info.ran);
    EXPECT_EQ(info["Local path"], "/usr/bin/xeyes");
    EXPECT_EQ(info["Working directory"], "/usr/bin/");
    EXPECT_EQ(info["Description"], "Eyes that follow");
    EXPECT_EQ(info["Command line arguments"], "-geometry 100x100 -fg red");
    LinkContents c = Load(dir_ + "\\xeyes.LNK");
    EXPECT_EQ(c.arguments, "-geometry 100x100 -fg red");
    EXPECT_EQ(c.description, "Eyes that follow");
}

TEST_F(Shortcut, QuotedTargetLosesQuotesAndTrailingBlanks) {
    ASSERT_EQ(CreateShortcut("\"C:\\My Apps\\Tool.exe\"   \t", dir_.c_str(), "quoted", ""), S_OK);
    EXPECT_EQ(FilesIn(dir_), std::set<std::string>{"Tool.LNK"});
    LnkInfo info = ReadWithLnkinfo(dir_ + "/Tool.LNK");
    ASSERT_TRUE(info.ran);
    EXPECT_EQ(info["Local path"], "C:\\My Apps\\Tool.exe");
    EXPECT_EQ(info["Working directory"], "C:\\My Apps\\");
    EXPECT_EQ(info["Description"], "quoted");
}

TEST_F(Shortcut, OpeningQuoteWithoutClosingOneCostsTheLastCharacter) {
    ASSERT_EQ(CreateShortcut("\"C:\\Tools\\runx", dir_.c_str(), "", ""), S_OK);
    EXPECT_EQ(FilesIn(dir_), std::set<std::string>{"run.LNK"});
    LnkInfo info = ReadWithLnkinfo(dir_ + "/run.LNK");
    ASSERT_TRUE(info.ran);
    EXPECT_EQ(info["Local path"], "C:\\Tools\\run");
}

TEST_F(Shortcut, UnquotedTargetKeepsItsBlanks) {
    ASSERT_EQ(CreateShortcut("/opt/app/run.sh  ", dir_.c_str(), "", ""), S_OK);
    // The extension is ".sh  ": the link is named after the base name alone.
    EXPECT_EQ(FilesIn(dir_), std::set<std::string>{"run.LNK"});
    EXPECT_EQ(Load(dir_ + "/run.LNK").target, "/opt/app/run.sh  ");
}

TEST_F(Shortcut, TargetWithoutExtensionOrFolder) {
    ASSERT_EQ(CreateShortcut("C:\\Tools\\run", dir_.c_str(), "", "--fast"), S_OK);
    ASSERT_EQ(CreateShortcut("notes.txt", dir_.c_str(), "bare", ""), S_OK);
    EXPECT_EQ(FilesIn(dir_), (std::set<std::string>{"run.LNK", "notes.LNK"}));
    LnkInfo run = ReadWithLnkinfo(dir_ + "/run.LNK");
    ASSERT_TRUE(run.ran);
    EXPECT_EQ(run["Local path"], "C:\\Tools\\run");
    EXPECT_EQ(run["Working directory"], "C:\\Tools\\");
    EXPECT_EQ(run["Command line arguments"], "--fast");
    // No drive and no folder: an empty working directory, which the link leaves out.
    LnkInfo notes = ReadWithLnkinfo(dir_ + "/notes.LNK");
    ASSERT_TRUE(notes.ran);
    EXPECT_EQ(notes["Local path"], "notes.txt");
    EXPECT_FALSE(notes.Has("Working directory"));
    EXPECT_EQ(notes["Description"], "bare");
}

TEST_F(Shortcut, FolderEndingInBackslashStillGetsOne) {
    // "C:\Desktop\" + "\" + "App.LNK": the doubled separator names the same folder.
    ASSERT_EQ(CreateShortcut("C:\\Apps\\App.exe", "C:\\Desktop\\", "", ""), S_OK);
    EXPECT_EQ(FilesIn(driveC_ + "/Desktop"), std::set<std::string>{"App.LNK"});
    LnkInfo info = ReadWithLnkinfo(driveC_ + "/Desktop/App.LNK");
    ASSERT_TRUE(info.ran);
    EXPECT_EQ(info["Local path"], "C:\\Apps\\App.exe");
}

TEST_F(Shortcut, NonAsciiTextsSurviveInUtf16) {
    const std::string target = "/srv/caf\xC3\xA9/\xED\x95\x9C\xEA\xB8\x80.bin";
    ASSERT_EQ(CreateShortcut(target.c_str(), dir_.c_str(), "na\xC3\xAFve \xE2\x80\x93 test", "--n\xC3\xA4me"), S_OK);
    const std::string link = dir_ + "/\xED\x95\x9C\xEA\xB8\x80.LNK";
    LnkInfo info = ReadWithLnkinfo(link);
    ASSERT_TRUE(info.ran);
    EXPECT_EQ(info["Local path"], target);
    EXPECT_EQ(info["Working directory"], "/srv/caf\xC3\xA9/");
    EXPECT_EQ(info["Description"], "na\xC3\xAFve \xE2\x80\x93 test");
    EXPECT_EQ(info["Command line arguments"], "--n\xC3\xA4me");
    EXPECT_EQ(Load(link).target, target);
}

TEST_F(Shortcut, LinkPathMustFitMaxPath) {
    // Folder + "\" + "x.LNK" of exactly 259 characters fits with its terminator; one more
    // does not, and nothing is written.
    std::string folder = dir_ + "/";
    folder += std::string(259 - folder.size() - 6, 'f');
    ASSERT_EQ(folder.size() + 6, 259u);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    EXPECT_EQ(CreateShortcut("/bin/x", folder.c_str(), "", ""), S_OK);
    EXPECT_EQ(FilesIn(folder), std::set<std::string>{"x.LNK"});
    EXPECT_EQ(CreateShortcut("/bin/xy", folder.c_str(), "", ""), HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(FilesIn(folder), std::set<std::string>{"x.LNK"});
    // Characters are counted in UTF-16: a two-byte character is one of them.
    EXPECT_EQ(CreateShortcut("/bin/\xC3\xA9", folder.c_str(), "", ""), S_OK);
    EXPECT_EQ(FilesIn(folder), (std::set<std::string>{"x.LNK", "\xC3\xA9.LNK"}));
}

TEST_F(Shortcut, MissingFolderFailsWithPathNotFoundAndLeavesNothing) {
    EXPECT_EQ(CreateShortcut("/bin/ls", (dir_ + "/missing").c_str(), "", ""), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(FilesIn(dir_).empty());
}

TEST_F(Shortcut, ExistingLinkIsReplacedWhole) {
    ASSERT_EQ(CreateShortcut("/bin/ls", dir_.c_str(), std::string(500, 'd').c_str(), "-l -a -h"), S_OK);
    ASSERT_EQ(CreateShortcut("/bin/ls", dir_.c_str(), "short", ""), S_OK);
    EXPECT_EQ(FilesIn(dir_), std::set<std::string>{"ls.LNK"});
    LnkInfo info = ReadWithLnkinfo(dir_ + "/ls.LNK");
    ASSERT_TRUE(info.ran);
    EXPECT_EQ(info["Description"], "short");
    EXPECT_FALSE(info.Has("Command line arguments"));
}

TEST_F(Shortcut, ThreadWithoutComGetsTheCreationFailure) {
    HRESULT hr = S_OK;
    std::thread([&] { hr = CreateShortcut("/bin/ls", dir_.c_str(), "", ""); }).join();
    EXPECT_EQ(hr, CO_E_NOTINITIALIZED);
    EXPECT_TRUE(FilesIn(dir_).empty());
}

}  // namespace
