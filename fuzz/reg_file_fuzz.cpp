// Fuzzes the .reg reader: any bytes, as a file of either format. Whatever it accepts must
// write back out and read again to the same operations.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "advapi/reg_file.h"

using navo::win32::regfile::ExportKey;
using navo::win32::regfile::Operation;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<Operation> ops;
    std::string error;
    if (!navo::win32::regfile::ParseRegFile(std::string_view(reinterpret_cast<const char*>(data), size), ops, error)) {
        if (!ops.empty() || error.empty()) __builtin_trap();
        return 0;
    }
    // The values set, written out as REGEDIT4 (which keeps any bytes), read back the same.
    std::vector<ExportKey> keys;
    std::vector<Operation> sets;
    for (const Operation& op : ops) {
        if (op.kind != Operation::kSetValue) continue;
        keys.push_back({"HKEY_CURRENT_USER\\" + op.path, {{op.name, op.type, op.data}}});
        if (op.path.empty()) keys.back().path = "HKEY_CURRENT_USER";
        sets.push_back(op);
    }
    std::string bytes;
    // Every key path the reader accepts can be written back.
    if (navo::win32::regfile::FormatRegFile(keys, NAVO_REG_FORMAT_REGEDIT4, bytes, error) != ERROR_SUCCESS)
        __builtin_trap();
    std::vector<Operation> again;
    if (!navo::win32::regfile::ParseRegFile(bytes, again, error)) __builtin_trap();
    size_t j = 0;
    for (const Operation& op : again) {
        if (op.kind != Operation::kSetValue) continue;
        if (j >= sets.size() || op.name != sets[j].name || op.type != sets[j].type || op.data != sets[j].data)
            __builtin_trap();
        ++j;
    }
    if (j != sets.size()) __builtin_trap();
    return 0;
}
