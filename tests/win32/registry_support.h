// A fresh, empty state directory (and so a fresh registry store) for each registry test.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>

class RegistryTest : public ::testing::Test {
protected:
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
        std::string command = "rm -rf '" + dir_ + "'";
        EXPECT_EQ(system(command.c_str()), 0);
        for (int i = 0; i < 2; ++i) {
            if (saved_[i]) setenv(kVariables[i], saved_[i]->c_str(), 1);
            else unsetenv(kVariables[i]);
        }
    }

    std::string StorePath() const { return dir_ + "/registry.db"; }

    // Creates a key below HKEY_CURRENT_USER and closes it.
    static void MakeKey(const char* path, DWORD options = REG_OPTION_NON_VOLATILE) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS)
            << path;
        RegCloseKey(key);
    }

    static LONG Open(const char* path, REGSAM sam = KEY_READ) {
        HKEY key = nullptr;
        LONG r = RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, sam, &key);
        if (r == ERROR_SUCCESS) RegCloseKey(key);
        return r;
    }

    static constexpr const char* kVariables[2] = {"NAVOTOOLS_HOME", "NAVOTOOLS_BOOT_ID"};
    std::optional<std::string> saved_[2];
    std::string dir_;
};
