// A fixture for the tests of initialization files: a Windows folder of the test's own, and
// the names by which the functions under test reach its files.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class IniFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = std::filesystem::temp_directory_path() /
                ("navotools-ini-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(home_);
        std::filesystem::create_directories(home_ / "windows");
        setenv("NAVOTOOLS_HOME", home_.string().c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(home_); }

    // The argument that names a file of the test's Windows folder: the bare name on the
    // Linux layer, whose Windows folder is that of the state directory; a full path on
    // Windows, where bare names would reach the one Windows folder all tests share.
    std::string Ini(const std::string& name) const {
#if defined(_WIN32)
        return File(name).string();
#else
        return name;
#endif
    }
    // The file itself. Windows maps any file named win.ini to the registry (IniFileMapping),
    // wherever it lies, so there the tests' own WIN.INI goes by another name.
    std::filesystem::path File(std::string name) const {
#if defined(_WIN32)
        std::string upper = name;
        for (char& c : upper) c = char(toupper(static_cast<unsigned char>(c)));
        if (upper == "WIN.INI") name = "navotest.ini";
#endif
        return home_ / "windows" / name;
    }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(File(name), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(File(name), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::filesystem::path home_;
};
