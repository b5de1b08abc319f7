// Initialization files that cannot be read or written: a folder in place of the file, a file
// in a missing folder, null arguments, and a buffer too small for anything but the end of a list.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ini_folder.h"

namespace {

namespace fs = std::filesystem;

class ProfileErrors : public IniFolderTest {};

TEST_F(ProfileErrors, AFolderInPlaceOfTheFileIsAccessDenied) {
    fs::create_directories(home_ / "windows" / Ini("FOLDER.INI").c_str());
    char buffer[16];
    SetLastError(0);
    GetPrivateProfileStringA("s", "k", "dflt", buffer, sizeof buffer, Ini("FOLDER.INI").c_str());
    EXPECT_STREQ(buffer, "dflt");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", Ini("FOLDER.INI").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(fs::is_directory(home_ / "windows" / Ini("FOLDER.INI").c_str()));
}

TEST_F(ProfileErrors, AFileInAMissingFolderIsPathNotFound) {
    const std::string path = (home_ / "no-such-folder" / "app.ini").string();
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", path.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(fs::exists(home_ / "no-such-folder"));
}

TEST_F(ProfileErrors, NullArgumentsAreRefused) {
    SetLastError(0);
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "d", nullptr, 10, Ini("WIN.INI").c_str()), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "k", "v", Ini("WIN.INI").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(ProfileErrors, AOneByteBufferHoldsOnlyTheListTerminator) {
    Write("WIN.INI", "[A]\r\n[B]\r\n");
    char one[1] = {'x'};
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", one, 1, Ini("WIN.INI").c_str()), 0u);
    EXPECT_EQ(one[0], '\0');
}

}  // namespace
