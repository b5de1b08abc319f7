// .reg files: every type through both formats byte for byte, the reader's refusals, and
// an import that fails as a whole.
#include <gtest/gtest.h>

#include <shlwapi.h>
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "advapi/reg_file.h"
#include "registry_support.h"

namespace {

using navo::win32::regfile::Operation;
using navo::win32::regfile::ParseRegFile;
using RegFile = RegistryTest;

struct Value {
    std::string name;
    DWORD type;
    std::string data;
};

const std::vector<Value>& AllKinds() {
    static const std::vector<Value> values = {
        {"", REG_SZ, std::string("default\0", 8)},
        {"quoted \"name\" \\ here", REG_SZ, std::string("text with \"quotes\" and \\\0", 26)},
        {"unterminated", REG_SZ, "abc"},
        {"inner nul", REG_SZ, std::string("a\0b\0", 4)},
        {"utf8 \xC3\xA9", REG_SZ, std::string("caf\xC3\xA9\0", 6)},
        {"expand", REG_EXPAND_SZ, std::string("%PATH%;x\0", 9)},
        {"multi", REG_MULTI_SZ, std::string("one\0two\0\0", 9)},
        {"binary", REG_BINARY, std::string("\x00\x01\xfe\xff", 4)},
        {"long binary", REG_BINARY, std::string(300, '\xab')},
        {"empty", REG_BINARY, ""},
        {"dword", REG_DWORD, std::string("\x78\x56\x34\x12", 4)},
        {"short dword", REG_DWORD, std::string("\x01\x02", 2)},
        {"qword", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
        {"none", REG_NONE, std::string("\0", 1)},
        {"odd type", 0x80001234u, "xyz"},
    };
    return values;
}

void Store(const char* path, const std::vector<Value>& values) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const Value& v : values) {
        // Followed by a byte that is not a NUL, so that RegSetValueExA counts no terminator
        // and every value is stored as given, the unterminated string too.
        const std::string guarded = v.data + 'X';
        ASSERT_EQ(RegSetValueExA(key, v.name.c_str(), 0, v.type, reinterpret_cast<const BYTE*>(guarded.data()),
                                 DWORD(v.data.size())),
                  ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

std::vector<Value> Load(const char* path) {
    std::vector<Value> values;
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key), ERROR_SUCCESS);
    for (DWORD i = 0;; ++i) {
        char name[256];
        char data[1024];
        DWORD nameLength = sizeof name, size = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<LPBYTE>(data), &size)) break;
        values.push_back({name, type, std::string(data, size)});
    }
    RegCloseKey(key);
    return values;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

TEST_F(RegFile, EveryTypeRoundTripsThroughBothFormats) {
    Store("Software\\Trip", AllKinds());
    Store("Software\\Trip\\Sub Key\\Deeper", {{"x", REG_DWORD, std::string("\0\0\0\0", 4)}});
    for (DWORD format : {DWORD(NAVO_REG_FORMAT_REGEDIT4), DWORD(NAVO_REG_FORMAT_REGEDIT5)}) {
        SCOPED_TRACE(format);
        std::string file = dir_ + "/trip.reg";
        ASSERT_EQ(NavoRegExportFileA(HKEY_CURRENT_USER, "Software\\Trip", file.c_str(), format), ERROR_SUCCESS);
        std::string bytes = ReadFile(file);
        if (format == NAVO_REG_FORMAT_REGEDIT5) {
            EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFEW\0", 4)) << "UTF-16LE with its mark";
        } else {
            EXPECT_EQ(bytes.substr(0, 10), "REGEDIT4\r\n");
        }
        ASSERT_EQ(SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Trip"), ERROR_SUCCESS);
        char message[200];
        ASSERT_EQ(NavoRegImportFileA(file.c_str(), message, sizeof message), ERROR_SUCCESS) << message;
        std::vector<Value> back = Load("Software\\Trip");
        ASSERT_EQ(back.size(), AllKinds().size());
        for (size_t i = 0; i < back.size(); ++i) {
            EXPECT_EQ(back[i].name, AllKinds()[i].name);
            EXPECT_EQ(back[i].type, AllKinds()[i].type) << back[i].name;
            EXPECT_EQ(back[i].data, AllKinds()[i].data) << back[i].name;
        }
        EXPECT_EQ(Open("Software\\Trip\\Sub Key\\Deeper"), ERROR_SUCCESS);
    }
}

TEST_F(RegFile, BytesThatAreNotUtf8GoOnlyToRegedit4) {
    Store("Software\\Raw", {{"raw", REG_SZ, std::string("\xff\xfe\0", 3)}});
    std::string file = dir_ + "/raw.reg";
    EXPECT_EQ(NavoRegExportFileA(HKEY_CURRENT_USER, "Software\\Raw", file.c_str(), NAVO_REG_FORMAT_REGEDIT5),
              ERROR_NO_UNICODE_TRANSLATION);
    ASSERT_EQ(NavoRegExportFileA(HKEY_CURRENT_USER, "Software\\Raw", file.c_str(), NAVO_REG_FORMAT_REGEDIT4),
              ERROR_SUCCESS);
    ASSERT_EQ(SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Raw"), ERROR_SUCCESS);
    ASSERT_EQ(NavoRegImportFileA(file.c_str(), nullptr, 0), ERROR_SUCCESS);
    EXPECT_EQ(Load("Software\\Raw")[0].data, std::string("\xff\xfe\0", 3));
}

TEST_F(RegFile, TheReaderTakesRegeditsOwnForms) {
    const std::string text =
        "REGEDIT4\r\n\r\n"
        "; a comment\r\n"
        "[HKEY_CURRENT_USER\\Software\\Hand]\r\n"
        "@=\"dflt\"\r\n"
        "\"wrapped\"=hex:01,02,\\\r\n"
        "  03,04\r\n"
        "\"num\"=dword:0000002a\r\n"
        "\"gone\"=-\r\n"
        "[-HKCU\\Software\\Absent]\r\n";
    std::vector<Operation> ops;
    std::string error;
    ASSERT_TRUE(ParseRegFile(text, ops, error)) << error;
    ASSERT_EQ(ops.size(), 6u);
    EXPECT_EQ(ops[0].kind, Operation::kCreateKey);
    EXPECT_EQ(ops[0].path, "Software\\Hand");
    EXPECT_EQ(ops[1].name, "");
    EXPECT_EQ(ops[1].data, std::string("dflt\0", 5));
    EXPECT_EQ(ops[2].data, "\x01\x02\x03\x04");
    EXPECT_EQ(ops[3].data, std::string("\x2a\0\0\0", 4));
    EXPECT_EQ(ops[4].kind, Operation::kDeleteValue);
    EXPECT_EQ(ops[5].kind, Operation::kDeleteKey);
}

TEST_F(RegFile, MalformedFilesAreRefusedWithTheirLine) {
    const char* const bad[] = {
        "",
        "REGEDIT3\r\n",
        "REGEDIT4\r\n\"v\"=\"before any key\"\r\n",
        "REGEDIT4\r\n[HKEY_NOWHERE\\x]\r\n",
        "REGEDIT4\r\n[HKCU\\x\r\n",
        "REGEDIT4\r\n[HKCU\\x]\r\n\"v\"=hex:1\r\n",
        "REGEDIT4\r\n[HKCU\\x]\r\n\"v\"=hex:01,\r\n",
        "REGEDIT4\r\n[HKCU\\x]\r\n\"v\"=dword:123456789\r\n",
        "REGEDIT4\r\n[HKCU\\x]\r\n\"v\"=\"open\r\n",
        "REGEDIT4\r\n[HKCU\\x]\r\n\"v\"=\"a\\q\"\r\n",
        "REGEDIT4\r\n[HKCU\\x]\r\n\"v\"=hex(zz):00\r\n",
        "REGEDIT4\r\n[HKCU\\x]\r\n\"v\"=\"x\" trailing\r\n",
        "REGEDIT4\r\n[HKCU\\x]\r\nnonsense\r\n",
        "\xFF\xFEW",  // odd UTF-16
    };
    for (const char* text : bad) {
        std::vector<Operation> ops;
        std::string error;
        EXPECT_FALSE(ParseRegFile(text, ops, error)) << text;
        EXPECT_EQ(error.substr(0, 5) == "line " || error.find("UTF-16") != std::string::npos, true) << error;
        EXPECT_TRUE(ops.empty());
    }
}

TEST_F(RegFile, AnImportThatFailsChangesNothing) {
    MakeKey("Software\\Locked");
    ASSERT_EQ(NavoRegSetKeyReadOnlyA(HKEY_CURRENT_USER, "Software\\Locked", TRUE), ERROR_SUCCESS);
    std::string file = dir_ + "/partial.reg";
    WriteFile(file,
              "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Fresh]\r\n\"a\"=dword:00000001\r\n"
              "[HKEY_CURRENT_USER\\Software\\Locked]\r\n\"b\"=dword:00000002\r\n");
    EXPECT_EQ(NavoRegImportFileA(file.c_str(), nullptr, 0), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open("Software\\Fresh"), ERROR_FILE_NOT_FOUND);
    char message[100];
    WriteFile(file, "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Fresh]\r\n\"a\"=oops\r\n");
    EXPECT_EQ(NavoRegImportFileA(file.c_str(), message, sizeof message), ERROR_INVALID_DATA);
    EXPECT_EQ(std::string(message).substr(0, 7), "line 3:");
    EXPECT_EQ(Open("Software\\Fresh"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(NavoRegImportFileA((dir_ + "/none.reg").c_str(), nullptr, 0), ERROR_FILE_NOT_FOUND);
}

// Key names go into "[...]" lines: one with a line break would end its line there and
// add keys and values of its own making. The export refuses such names (the platform
// documents key names as printable characters) and writes nothing; names of any other
// characters, and value names with line breaks (quoted), read back exactly.
TEST_F(RegFile, ExportNeverWritesAFileThatImportsDifferently) {
    const std::string injected =
        "]\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
        "\"Updater\"=\"/tmp/evil.sh\"";
    std::vector<navo::win32::regfile::ExportKey> keys = {{"HKEY_CURRENT_USER\\Software\\Victim\\" + injected, {}}};
    std::string bytes, why;
    EXPECT_EQ(navo::win32::regfile::FormatRegFile(keys, NAVO_REG_FORMAT_REGEDIT4, bytes, why), DWORD(ERROR_BADKEY));
    EXPECT_NE(why.find("control character"), std::string::npos) << why;
    for (char c : {'\t', '\x01', '\x1f', '\x7f'}) {
        keys[0].path = std::string("HKEY_CURRENT_USER\\a") + c;
        EXPECT_EQ(navo::win32::regfile::FormatRegFile(keys, NAVO_REG_FORMAT_REGEDIT5, bytes, why), DWORD(ERROR_BADKEY))
            << int(c);
    }

    HKEY key;
    const std::string victim = "Software\\Victim\\" + injected;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, victim.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        RegCloseKey(key);
        for (DWORD format : {DWORD(NAVO_REG_FORMAT_REGEDIT4), DWORD(NAVO_REG_FORMAT_REGEDIT5)}) {
            const std::string file = dir_ + "/victim" + std::to_string(format) + ".reg";
            EXPECT_EQ(NavoRegExportFileA(HKEY_CURRENT_USER, "Software\\Victim", file.c_str(), format),
                      LSTATUS(ERROR_BADKEY));
            EXPECT_FALSE(std::ifstream(file).good()) << "nothing is written";
        }
    }

    const std::vector<std::string> odd = {"a]b]", "x]", " blanks ", "-dash", ";semi", "[open", "=eq", "\"q\"", "@"};
    for (const std::string& name : odd) MakeKey(("Software\\Odd\\" + name).c_str());
    const std::string breaking = "a\r\n[HKEY_CURRENT_USER\\Software\\Evil]\r\n";
    Store("Software\\Odd", {{breaking, REG_SZ, std::string("v\r\n[HKEY_CURRENT_USER\\Software\\Evil2]") + '\0'}});
    for (DWORD format : {DWORD(NAVO_REG_FORMAT_REGEDIT4), DWORD(NAVO_REG_FORMAT_REGEDIT5)}) {
        SCOPED_TRACE(format);
        const std::string file = dir_ + "/odd.reg";
        ASSERT_EQ(NavoRegExportFileA(HKEY_CURRENT_USER, "Software\\Odd", file.c_str(), format), ERROR_SUCCESS);
        ASSERT_EQ(SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Odd"), ERROR_SUCCESS);
        char message[200] = "";
        ASSERT_EQ(NavoRegImportFileA(file.c_str(), message, sizeof message), ERROR_SUCCESS) << message;
        for (const std::string& name : odd) EXPECT_EQ(Open(("Software\\Odd\\" + name).c_str()), ERROR_SUCCESS) << name;
        std::vector<Value> back = Load("Software\\Odd");
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0].name, breaking);
        EXPECT_EQ(Open("Software\\Evil"), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(Open("Software\\Evil2"), ERROR_FILE_NOT_FOUND);
    }
    // The Run key is a standard key of a new store; what must not appear is a value in it.
    HKEY run = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, KEY_READ, &run) ==
        ERROR_SUCCESS) {
        EXPECT_EQ(RegQueryValueExA(run, "Updater", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
        RegCloseKey(run);
    }
}

}  // namespace
