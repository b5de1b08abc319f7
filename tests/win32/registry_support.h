// A fresh, empty state directory (and so a fresh registry store) for each registry test of
// the Linux layer's own: its store file, its .reg reader, its sharing between processes.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include "registry_sandbox.h"

class RegistryTest : public RegistrySandbox {
protected:
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
};
