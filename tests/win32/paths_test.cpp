// _splitpath and Win32 file names on Linux.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <windows.h>

#include "system/win_paths.h"

namespace {

struct Parts {
    std::string drive, dir, fname, ext;
    bool operator==(const Parts&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Parts& p) {
    return out << "[" << p.drive << "|" << p.dir << "|" << p.fname << "|" << p.ext << "]";
}

Parts Split(const char* path) {
    char drive[_MAX_DRIVE], dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(path, drive, dir, fname, ext);
    return {drive, dir, fname, ext};
}

TEST(SplitPath, DriveFolderNameAndExtension) {
    EXPECT_EQ(Split("C:\\Program Files\\App\\App.exe"), (Parts{"C:", "\\Program Files\\App\\", "App", ".exe"}));
    EXPECT_EQ(Split("C:\\Tools\\run"), (Parts{"C:", "\\Tools\\", "run", ""}));
    EXPECT_EQ(Split("d:relative.txt"), (Parts{"d:", "", "relative", ".txt"}));
    EXPECT_EQ(Split("/usr/bin/xeyes"), (Parts{"", "/usr/bin/", "xeyes", ""}));
    EXPECT_EQ(Split("mixed/sep\\arated.tar.gz"), (Parts{"", "mixed/sep\\", "arated.tar", ".gz"}));
    EXPECT_EQ(Split("file"), (Parts{"", "", "file", ""}));
    EXPECT_EQ(Split(""), (Parts{"", "", "", ""}));
    // The extension starts at the last dot of the file name, not of a folder.
    EXPECT_EQ(Split("C:\\v1.2\\readme"), (Parts{"C:", "\\v1.2\\", "readme", ""}));
    EXPECT_EQ(Split(".profile"), (Parts{"", "", "", ".profile"}));
    EXPECT_EQ(Split("C:\\dir\\"), (Parts{"C:", "\\dir\\", "", ""}));
}

TEST(SplitPath, NullOutputsAndLongComponents) {
    char fname[_MAX_FNAME];
    _splitpath("C:\\a\\b.c", nullptr, nullptr, fname, nullptr);
    EXPECT_STREQ(fname, "b");
    std::string longName(400, 'n');
    _splitpath(("C:\\" + longName + ".x").c_str(), nullptr, nullptr, fname, nullptr);
    EXPECT_EQ(std::string(fname), std::string(_MAX_FNAME - 1, 'n'));
}

TEST(Win32FileNames, SeparatorsAndDrives) {
    setenv("NAVOTOOLS_HOME", "/state", 1);
    EXPECT_EQ(navo::win32::LinuxPathFromWin32("C:\\Desktop\\App.LNK"), "/state/drive_c/Desktop/App.LNK");
    EXPECT_EQ(navo::win32::LinuxPathFromWin32("d:notes.txt"), "/state/drive_d/notes.txt");
    EXPECT_EQ(navo::win32::LinuxPathFromWin32("/tmp/x\\y.lnk"), "/tmp/x/y.lnk");
    EXPECT_EQ(navo::win32::LinuxPathFromWin32("rel\\a"), "rel/a");
}

}  // namespace
