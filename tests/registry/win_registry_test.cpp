// CWinRegistry: access masks per operation, volatile creation, the conversions between
// text and numbers, the buffer limits, and the refusal to delete a whole hive.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#if defined(_WIN32)
#include <windows.h>

#include <sddl.h>
#endif

#include "NavoTools.h"
#include "platform.h"
#include "registry_sandbox.h"

namespace {

// Every key lives in the test's own registry (RegistrySandbox); P() names a key below
// HKEY_CURRENT_USER there.
class WinRegistry : public RegistrySandbox {
protected:
    CString P(const char* below) const { return CString(Path(below).c_str()); }

    // Stores the bytes as given: a byte that is not a NUL follows them, so that no
    // terminator is counted for a string type.
    LONG SetRaw(const char* path, const char* name, DWORD type, const std::string& data) const {
        HKEY key;
        LONG r = RegCreateKeyExA(HKEY_CURRENT_USER, Path(path).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        if (r) return r;
        const std::string guarded = data + 'X';
        r = RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(guarded.data()), DWORD(data.size()));
        RegCloseKey(key);
        return r;
    }

    // Makes a key read-only for everyone, or writable again: on Linux through the layer's
    // read-only mark, on Windows through a DACL that grants KEY_READ alone. The owner may
    // still change the DACL, so the key can be made writable again before it is removed.
    LONG SetReadOnly(const char* path, bool readOnly) const {
#if defined(_WIN32)
        HKEY key;
        LONG r = RegOpenKeyExA(HKEY_CURRENT_USER, Path(path).c_str(), 0, WRITE_DAC, &key);
        if (r) return r;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(readOnly ? "D:P(A;;KR;;;WD)" : "D:P(A;;KA;;;WD)",
                                                                  SDDL_REVISION_1, &descriptor, nullptr)) {
            r = LONG(GetLastError());
        } else {
            r = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
            LocalFree(descriptor);
        }
        RegCloseKey(key);
        return r;
#else
        return NavoRegSetKeyReadOnlyA(HKEY_CURRENT_USER, Path(path).c_str(), readOnly ? TRUE : FALSE);
#endif
    }
};

TEST_F(WinRegistry, SetNumValueCreatesTheWholePathVolatile) {
    CWinRegistry reg(HKEY_CURRENT_USER, P("Software\\Navo\\New\\Path"));
    ASSERT_EQ(reg.SetNumValue("Seven", 7), ERROR_SUCCESS);
    unsigned int n = 0;
    EXPECT_EQ(reg.GetNumValue("Seven", n), ERROR_SUCCESS);
    EXPECT_EQ(n, 7u);
    CString text;
    EXPECT_EQ(reg.GetStrValue("seven", text), ERROR_SUCCESS);
    EXPECT_EQ(text, "7");
    for (const char* path : {"Software\\Navo", "Software\\Navo\\New", "Software\\Navo\\New\\Path"})
        EXPECT_TRUE(KeyIsVolatile(path)) << path;
#if !defined(_WIN32)
    // The Linux layer reports the kind, and a restart, simulated by a new boot id, drops
    // them all. HKCU\Software is a standard key there, as on the platform: it existed
    // before the write, stable, and stays.
    EXPECT_FALSE(KeyIsVolatile("Software"));
    for (const char* path : {"Software\\Navo", "Software\\Navo\\New", "Software\\Navo\\New\\Path"}) {
        DWORD flags = 0;
        ASSERT_EQ(NavoRegGetKeyFlagsA(HKEY_CURRENT_USER, path, &flags), ERROR_SUCCESS);
        EXPECT_EQ(flags, DWORD(NAVO_REG_KEY_VOLATILE)) << path;
    }
    setenv("NAVOTOOLS_BOOT_ID", "second-start", 1);
    EXPECT_EQ(reg.TestOpenKey(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CWinRegistry(HKEY_CURRENT_USER, "Software\\Navo").TestOpenKey(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CWinRegistry(HKEY_CURRENT_USER, "Software").TestOpenKey(), ERROR_SUCCESS);
#endif
}

TEST_F(WinRegistry, AnExistingKeyKeepsItsKind) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Path("Software\\Lasting").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    CWinRegistry reg(HKEY_CURRENT_USER, P("Software\\Lasting"));
    ASSERT_EQ(reg.SetStrValue("s", "kept", REG_SZ), ERROR_SUCCESS);
    EXPECT_FALSE(KeyIsVolatile("Software\\Lasting"));
#if !defined(_WIN32)
    // It outlasts a restart, simulated on Linux by a new boot id.
    setenv("NAVOTOOLS_BOOT_ID", "second-start", 1);
    CString text;
    EXPECT_EQ(reg.GetStrValue("s", text), ERROR_SUCCESS);
    EXPECT_EQ(text, "kept");
#endif
}

TEST_F(WinRegistry, TextAndNumbersConvertBothWays) {
    CWinRegistry reg(HKEY_CURRENT_USER, P("Software\\Conv"));
    ASSERT_EQ(reg.SetStrValue("abc", "abc", REG_SZ), ERROR_SUCCESS);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Path("Software\\Conv").c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExA(key, "abc", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    // Passed without its terminator: 3 bytes on Linux; Windows NT's RegSetValueExA counts
    // the terminator that follows the text in.
#if defined(_WIN32)
    EXPECT_EQ(size, 4u);
#else
    EXPECT_EQ(size, 3u);
#endif
    RegCloseKey(key);
    CString text;
    EXPECT_EQ(reg.GetStrValue("abc", text), ERROR_SUCCESS);
    EXPECT_EQ(text, "abc");

    struct Case {
        const char* text;
        unsigned int number;
    };
    for (Case c : {Case{"42", 42u}, Case{"12abc", 12u}, Case{"no digits", 0u}, Case{"-1", 4294967295u},
                   Case{"  +8", 8u}, Case{"99999999999", 4294967295u}, Case{"4294967295", 4294967295u},
                   Case{"-4294967296", 4294967295u}}) {
        ASSERT_EQ(reg.SetStrValue("n", c.text, REG_SZ), ERROR_SUCCESS);
        unsigned int n = 5;
        EXPECT_EQ(reg.GetNumValue("n", n), ERROR_SUCCESS) << c.text;
        EXPECT_EQ(n, c.number) << c.text;
    }
    ASSERT_EQ(reg.SetNumValue("max", 0xFFFFFFFFu), ERROR_SUCCESS);
    EXPECT_EQ(reg.GetStrValue("max", text), ERROR_SUCCESS);
    EXPECT_EQ(text, "-1");
    unsigned int n = 0;
    EXPECT_EQ(reg.GetNumValue("max", n), ERROR_SUCCESS);
    EXPECT_EQ(n, 4294967295u);
    // A string with a NUL inside reads up to the NUL.
    ASSERT_EQ(SetRaw("Software\\Conv", "nul", REG_SZ, std::string("12\0" "34", 5)), ERROR_SUCCESS);
    EXPECT_EQ(reg.GetStrValue("nul", text), ERROR_SUCCESS);
    EXPECT_EQ(text, "12");
    EXPECT_EQ(reg.GetNumValue("nul", n), ERROR_SUCCESS);
    EXPECT_EQ(n, 12u);
}

TEST_F(WinRegistry, OtherTypesRaiseNotSupportedAndLeaveTheOutputs) {
    CWinRegistry reg(HKEY_CURRENT_USER, P("Software\\Types"));
    ASSERT_EQ(reg.SetStrValue("expand", "%PATH%", REG_EXPAND_SZ), ERROR_SUCCESS);
    ASSERT_EQ(reg.SetStrValue("binary", "xy", REG_BINARY), ERROR_SUCCESS);
    ASSERT_EQ(reg.SetStrValue("multi", "a", REG_MULTI_SZ), ERROR_SUCCESS);
    for (const char* name : {"expand", "binary", "multi"}) {
        CString text = "before";
        unsigned int n = 9;
        bool raised = false;
        try {
            reg.GetStrValue(name, text);
        } catch (CNotSupportedException* e) {
            raised = true;
            e->Delete();
        }
        EXPECT_TRUE(raised) << name;
        raised = false;
        try {
            reg.GetNumValue(name, n);
        } catch (CNotSupportedException* e) {
            raised = true;
            e->Delete();
        }
        EXPECT_TRUE(raised) << name;
        EXPECT_EQ(text, "before");
        EXPECT_EQ(n, 9u);
    }
    // The key was closed on the way out: it can still be deleted and written.
    EXPECT_EQ(reg.DeleteValue("expand"), ERROR_SUCCESS);
}

TEST_F(WinRegistry, TheBufferLimits) {
    CWinRegistry reg(HKEY_CURRENT_USER, P("Software\\Limits"));
    CString text;
    // The buffers are 1,024 and 512 bytes. On Linux SetStrValue stores the text without a
    // terminator, so a text may use every byte; Windows NT stores the terminator too,
    // which takes one of them.
#if defined(_WIN32)
    const int stringLimit = 1023, numberLimit = 511;
#else
    const int stringLimit = 1024, numberLimit = 512;
#endif
    ASSERT_EQ(reg.SetStrValue("s", CString('x', stringLimit), REG_SZ), ERROR_SUCCESS);
    EXPECT_EQ(reg.GetStrValue("s", text), ERROR_SUCCESS);
    EXPECT_EQ(text, CString('x', stringLimit));
    ASSERT_EQ(reg.SetStrValue("s", CString('x', stringLimit + 1), REG_SZ), ERROR_SUCCESS);
    EXPECT_EQ(reg.GetStrValue("s", text), ERROR_MORE_DATA);
    // A string stored without a terminator may use every byte, on either platform.
    ASSERT_EQ(SetRaw("Software\\Limits", "raw", REG_SZ, std::string(1024, 'y')), ERROR_SUCCESS);
    EXPECT_EQ(reg.GetStrValue("raw", text), ERROR_SUCCESS);
    EXPECT_EQ(text, CString('y', 1024));
    ASSERT_EQ(SetRaw("Software\\Limits", "raw", REG_SZ, std::string(1025, 'y')), ERROR_SUCCESS);
    EXPECT_EQ(reg.GetStrValue("raw", text), ERROR_MORE_DATA);
    unsigned int n = 3;
    ASSERT_EQ(reg.SetStrValue("n", CString('1', numberLimit), REG_SZ), ERROR_SUCCESS);
    EXPECT_EQ(reg.GetNumValue("n", n), ERROR_SUCCESS);
    EXPECT_EQ(n, 4294967295u);
    ASSERT_EQ(reg.SetStrValue("n", CString('0', numberLimit - 2) + "42", REG_SZ), ERROR_SUCCESS);
    EXPECT_EQ(reg.GetNumValue("n", n), ERROR_SUCCESS);
    EXPECT_EQ(n, 42u);
    n = 3;
    ASSERT_EQ(reg.SetStrValue("n", CString('1', numberLimit + 1), REG_SZ), ERROR_SUCCESS);
    EXPECT_EQ(reg.GetNumValue("n", n), ERROR_MORE_DATA);
    EXPECT_EQ(n, 3u);
    ASSERT_EQ(SetRaw("Software\\Limits", "n", REG_SZ, std::string(512, '2')), ERROR_SUCCESS);
    EXPECT_EQ(reg.GetNumValue("n", n), ERROR_SUCCESS);
    EXPECT_EQ(n, 4294967295u);
}

TEST_F(WinRegistry, SubKeysAndMissingKeys) {
    CWinRegistry missing(HKEY_CURRENT_USER, P("Software\\Nowhere"));
    DWORD count = 7;
    EXPECT_EQ(missing.GetSubKeyCount(count), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(count, 0u);
    CString name = "stale";
    EXPECT_EQ(missing.GetSubKeyName(0, name), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(name.IsEmpty());
    CString text = "unchanged";
    EXPECT_EQ(missing.GetStrValue("x", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text, "unchanged");

    CWinRegistry parent(HKEY_CURRENT_USER, P("Software\\Parent"));
    ASSERT_EQ(CWinRegistry(HKEY_CURRENT_USER, P("Software\\Parent\\Beta")).SetNumValue("v", 1), ERROR_SUCCESS);
    ASSERT_EQ(CWinRegistry(HKEY_CURRENT_USER, P("Software\\Parent\\alpha")).SetNumValue("v", 1), ERROR_SUCCESS);
    ASSERT_EQ(parent.GetSubKeyCount(count), ERROR_SUCCESS);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(parent.GetSubKeyName(0, name), ERROR_SUCCESS);
    EXPECT_EQ(name, "alpha");
    EXPECT_EQ(parent.GetSubKeyName(1, name), ERROR_SUCCESS);
    EXPECT_EQ(name, "Beta");
    EXPECT_EQ(parent.GetSubKeyName(LONG(count), name), ERROR_NO_MORE_ITEMS);
    EXPECT_TRUE(name.IsEmpty());
    unsigned int n = 0;
    EXPECT_EQ(parent.GetNumValue("absent", n), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(parent.DeleteValue("absent"), ERROR_FILE_NOT_FOUND);
}

TEST_F(WinRegistry, AReadOnlyKeyMayBeReadButNotCounted) {
    CWinRegistry reg(HKEY_CURRENT_USER, P("Software\\ReadOnly"));
    ASSERT_EQ(reg.SetNumValue("v", 3), ERROR_SUCCESS);
    ASSERT_EQ(SetReadOnly("Software\\ReadOnly", true), ERROR_SUCCESS);
    EXPECT_EQ(reg.TestOpenKey(), ERROR_SUCCESS);
    unsigned int n = 0;
    EXPECT_EQ(reg.GetNumValue("v", n), ERROR_SUCCESS);
    EXPECT_EQ(n, 3u);
    DWORD count = 9;
    EXPECT_EQ(reg.GetSubKeyCount(count), ERROR_ACCESS_DENIED);
    CString name;
    EXPECT_EQ(reg.GetSubKeyName(0, name), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.SetNumValue("v", 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.DeleteValue("v"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.GetNumValue("v", n), ERROR_SUCCESS);
    EXPECT_EQ(n, 3u) << "nothing was stored";
    EXPECT_EQ(SetReadOnly("Software\\ReadOnly", false), ERROR_SUCCESS);
    EXPECT_EQ(reg.SetNumValue("v", 4), ERROR_SUCCESS);
}

TEST_F(WinRegistry, DeleteKeyRemovesTheTreeButNeverAWholeHive) {
    ASSERT_EQ(CWinRegistry(HKEY_CURRENT_USER, P("Software\\Tree\\A\\B")).SetNumValue("v", 1), ERROR_SUCCESS);
    ASSERT_EQ(CWinRegistry(HKEY_CURRENT_USER, P("Software\\Tree")).SetNumValue("w", 1), ERROR_SUCCESS);
#if defined(_WIN32)
    // Were the refusal to fail, it would take the user's whole HKEY_CURRENT_USER with it: on
    // Windows it is tried only under Wine, whose registry is a prefix of the build tree's.
    if (RunningUnderWine())
#endif
    {
        EXPECT_EQ(CWinRegistry(HKEY_CURRENT_USER, "").DeleteKey(), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(CWinRegistry(HKEY_CURRENT_USER, "\\").DeleteKey(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(CWinRegistry(HKEY_CURRENT_USER, P("Software\\Tree\\A\\B")).TestOpenKey(), ERROR_SUCCESS);
    CWinRegistry tree(HKEY_CURRENT_USER, P("Software\\Tree"));
    EXPECT_EQ(tree.DeleteKey(), ERROR_SUCCESS);
    EXPECT_EQ(tree.TestOpenKey(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CWinRegistry(HKEY_CURRENT_USER, P("Software")).TestOpenKey(), ERROR_SUCCESS);
    EXPECT_EQ(tree.DeleteKey(), ERROR_FILE_NOT_FOUND);
}

TEST_F(WinRegistry, AHandleWithAnEmptyPathDeletesItsOwnKey) {
    ASSERT_EQ(CWinRegistry(HKEY_CURRENT_USER, P("Software\\Child")).SetNumValue("v", 1), ERROR_SUCCESS);
    // An open handle with an empty path names its own key, which may go.
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Path("Software").c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(CWinRegistry(key, "").DeleteKey(), ERROR_SUCCESS);
    RegCloseKey(key);
    TodoWine("SHDeleteKeyA with an empty path (RegDeleteTreeW) empties the key and leaves it", [&] {
        EXPECT_EQ(CWinRegistry(HKEY_CURRENT_USER, P("Software")).TestOpenKey(), ERROR_FILE_NOT_FOUND);
    });
}

TEST_F(WinRegistry, CopiesNameTheSameKeyAndMoveApart) {
    CWinRegistry first(HKEY_CURRENT_USER, P("Software\\One"));
    ASSERT_EQ(first.SetNumValue("v", 1), ERROR_SUCCESS);
    CWinRegistry copy(first);
    CWinRegistry assigned(HKEY_LOCAL_MACHINE, "Elsewhere");
    assigned = first;
    unsigned int n = 0;
    EXPECT_EQ(copy.GetNumValue("v", n), ERROR_SUCCESS);
    EXPECT_EQ(assigned.GetNumValue("v", n), ERROR_SUCCESS);
    copy.SetLocation(HKEY_CURRENT_USER, P("Software\\Two"));
    EXPECT_EQ(copy.GetNumValue("v", n), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(first.GetNumValue("v", n), ERROR_SUCCESS);
    EXPECT_EQ(CWinRegistry(reinterpret_cast<HKEY>(uintptr_t(0x4444)), "x").TestOpenKey(), ERROR_INVALID_HANDLE);
}

}  // namespace
