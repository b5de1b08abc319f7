// A FIFO (or another file that is not a regular one) where a reader expects a file: every
// reader of the Linux layer refuses it at once with an error, instead of waiting forever
// for a writer. Each test is bounded by an alarm, so a reader that waits fails the run.
#if !defined(_WIN32)

#include <shlobj.h>
#include <windows.h>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "link_object.h"

namespace {

namespace fs = std::filesystem;

class FifoReaders : public ::testing::Test {
protected:
    void SetUp() override {
        alarm(30);
        char pattern[] = "/tmp/navotools-fifo-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = pattern;
        fs::create_directories(home_ / "windows");
        saved_ = getenv("NAVOTOOLS_HOME") ? getenv("NAVOTOOLS_HOME") : "";
        setenv("NAVOTOOLS_HOME", home_.c_str(), 1);
        unsetenv("NAVOTOOLS_OSVERSION");
    }
    void TearDown() override {
        alarm(0);
        fs::remove_all(home_);
        if (saved_.empty()) unsetenv("NAVOTOOLS_HOME");
        else setenv("NAVOTOOLS_HOME", saved_.c_str(), 1);
    }
    std::string Fifo(const fs::path& path) const {
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        return path.string();
    }

    fs::path home_;
    std::string saved_;
};

TEST_F(FifoReaders, InitializationFilesReadAndWrite) {
    const std::string ini = Fifo(home_ / "windows" / "WIN.INI");
    char buffer[32];
    SetLastError(0);
    EXPECT_EQ(GetPrivateProfileStringA("MAIL", "MAPI", "dflt", buffer, sizeof buffer, "WIN.INI"), 4u);
    EXPECT_STREQ(buffer, "dflt");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("MAIL", "MAPI", "1", "WIN.INI"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(fs::is_fifo(ini));
}

TEST_F(FifoReaders, RegistryFileImport) {
    const std::string file = Fifo(home_ / "import.reg");
    char message[128] = "unchanged";
    EXPECT_EQ(NavoRegImportFileA(file.c_str(), message, sizeof message), LSTATUS(ERROR_ACCESS_DENIED));
    EXPECT_STREQ(message, "not a regular file");
}

TEST_F(FifoReaders, ShellLinkLoad) {
    const std::string file = Fifo(home_ / "app.lnk");
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    EXPECT_EQ(ReadThroughLinkObject(file).loaded, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    CoUninitialize();
}

TEST_F(FifoReaders, FileVersion) {
    const std::string file = Fifo(home_ / "app.exe");
    DWORD handle = 1;
    SetLastError(0);
    EXPECT_EQ(GetFileVersionInfoSizeA(file.c_str(), &handle), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}

TEST_F(FifoReaders, EmulatedOsVersionFallsBackToItsDefault) {
    Fifo(home_ / "osversion");
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwMajorVersion, 10u);
    EXPECT_EQ(info.dwBuildNumber, 19045u);
}

}  // namespace

#endif
