// A registry of each test's own, so that tests may run in parallel and leave nothing behind.
//
// On Linux every test gets a fresh, empty state directory (NAVOTOOLS_HOME) and boot id, and
// so an empty store; its keys are named below the roots as they are.
//
// On Windows the registry is the user's own and shared by every process, so each test works
// below a key of its own, HKEY_CURRENT_USER\Software\NavoToolsTests\<pid>-<suite>.<test>,
// which is removed with everything below it when the test ends. Under CTest every test is a
// process of its own and several run at once: the process id and the test's name keep the
// keys apart. Tests name their keys below HKEY_CURRENT_USER through Path().
#pragma once

#include <gtest/gtest.h>

#include <shlwapi.h>
#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

class RegistrySandbox : public ::testing::Test {
protected:
#if defined(_WIN32)
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string leaf = std::to_string(GetCurrentProcessId()) + "-" + info->test_suite_name() + "." + info->name();
        // Key names end at a backslash (a parameterised test's name may hold one) and at 255 characters.
        for (char& c : leaf)
            if (c == '\\') c = '_';
        if (leaf.size() > 255) leaf.resize(255);
        key_ = std::string(kParent) + "\\" + leaf;
        prefix_ = key_ + "\\";
        // A key of a process of an earlier run with the same id, which did not finish.
        RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
        HKEY key = nullptr;
        DWORD disposition = 0;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &key, &disposition),
                  ERROR_SUCCESS)
            << key_;
        root_ = key;
        ASSERT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY)) << key_;
    }
    void TearDown() override {
        if (!root_) return;
        RegCloseKey(root_);
        // The parent stays: another test may be making its key below it at this moment.
        EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str()), ERROR_SUCCESS) << key_;
    }
#else
    void SetUp() override {
        for (int i = 0; i < 2; ++i) {
            const char* value = getenv(kVariables[i]);
            saved_[i] = value ? std::optional<std::string>(value) : std::nullopt;
        }
        char pattern[] = "/tmp/navotools-registry-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        setenv("NAVOTOOLS_HOME", dir_.c_str(), 1);
        setenv("NAVOTOOLS_BOOT_ID", "boot-1", 1);
    }
    void TearDown() override {
        if (!dir_.empty()) {
            std::string command = "rm -rf '" + dir_ + "'";
            EXPECT_EQ(system(command.c_str()), 0);
        }
        for (int i = 0; i < 2; ++i) {
            if (saved_[i]) setenv(kVariables[i], saved_[i]->c_str(), 1);
            else unsetenv(kVariables[i]);
        }
    }

    // The store file of the test's state directory.
    std::string StorePath() const { return dir_ + "/registry.db"; }
#endif

    // The path below HKEY_CURRENT_USER of a key named `below` in the test's registry.
    std::string Path(std::string_view below) const { return prefix_ + std::string(below); }

    // The key the test's registry starts at, as a root for paths that must not be prefixed:
    // HKEY_CURRENT_USER on Linux, an open handle on the test's key on Windows.
    HKEY Root() const { return root_; }

    // How many levels below HKEY_CURRENT_USER the test's registry starts.
    int PrefixDepth() const {
        int depth = 0;
        for (char c : prefix_) depth += c == '\\';
        return depth;
    }

    // Whether the key at a path below HKEY_CURRENT_USER is volatile, as the platform shows it:
    // a non-volatile key cannot be made below a volatile one (ERROR_CHILD_MUST_BE_VOLATILE).
    // The probe key made below a non-volatile key is removed again.
    bool KeyIsVolatile(std::string_view below) const {
        const std::string probe = Path(below) + "\\NonVolatileProbe";
        HKEY key = nullptr;
        LONG r = RegCreateKeyExA(HKEY_CURRENT_USER, probe.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                 nullptr, &key, nullptr);
        if (r == ERROR_SUCCESS) {
            RegCloseKey(key);
            EXPECT_EQ(SHDeleteKeyA(HKEY_CURRENT_USER, probe.c_str()), ERROR_SUCCESS) << probe;
            return false;
        }
        EXPECT_EQ(r, ERROR_CHILD_MUST_BE_VOLATILE) << probe;
        return true;
    }

#if defined(_WIN32)
    static constexpr const char* kParent = "Software\\NavoToolsTests";
    std::string key_;
    HKEY root_ = nullptr;
#else
    HKEY root_ = HKEY_CURRENT_USER;
    static constexpr const char* kVariables[2] = {"NAVOTOOLS_HOME", "NAVOTOOLS_BOOT_ID"};
    std::optional<std::string> saved_[2];
    std::string dir_;  // the state directory
#endif
    std::string prefix_;  // empty on Linux; the test's key and a backslash on Windows
};
