// regedit's text files: "REGEDIT4" (bytes of the ANSI code page) and "Windows Registry
// Editor Version 5.00" (UTF-16LE with a byte-order mark). The reader is bounded: it looks
// at each input byte a fixed number of times, keeps no more than the input's size, and
// refuses input larger than kMaxRegFileBytes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace navo::win32::regfile {

constexpr size_t kMaxRegFileBytes = 64u << 20;

struct Operation {
    enum Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue } kind = kCreateKey;
    int root = 0;       // the store's id of the predefined root
    std::string path;   // below the root; empty for the root itself
    std::string name;   // value name; empty for the default value
    DWORD type = 0;
    std::string data;
};

// Parses a whole file into the operations it asks for, in order. False, with a message
// that names the line, on any malformed input; nothing is applied by the parser.
bool ParseRegFile(std::string_view bytes, std::vector<Operation>& operations, std::string& error);

// One key of an export: its full path below the root and its values in order.
struct ExportValue {
    std::string name;
    DWORD type;
    std::string data;
};
struct ExportKey {
    std::string path;  // "HKEY_CURRENT_USER\\Software\\Example"
    std::vector<ExportValue> values;
};

// Whether a key path can stand in a key line ("[path]") and read back the same: the
// platform documents key names as printable characters other than the backslash, and a
// line break, any other control character or DEL could not be read back (a line break
// would end the key line and start lines of the name's choosing).
bool KeyPathWritable(std::string_view path);

// The file's bytes in the format asked for (NAVO_REG_FORMAT_REGEDIT4 or _REGEDIT5).
// ERROR_SUCCESS; ERROR_BADKEY, with a message, for a key path that a file cannot hold
// (KeyPathWritable); ERROR_NO_UNICODE_TRANSLATION, with a message, when a name or a
// string value is not UTF-8 and the format is the UTF-16 one, which cannot hold such
// bytes unchanged.
DWORD FormatRegFile(const std::vector<ExportKey>& keys, DWORD format, std::string& bytes, std::string& error);

}  // namespace navo::win32::regfile
