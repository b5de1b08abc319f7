// Fuzzes the message-table reader: the input is a MESSAGE_RESOURCE_DATA image, read for
// IDs at block edges taken from the input itself and for a few fixed ones.

#include <cstddef>
#include <cstdint>
#include <string>

#include "kernel/format_message_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text;
    DWORD ids[] = {0, 1, 2, 256, 0x7FFFFFFF, 0xFFFFFFFF, 0, 0, 0};
    if (size >= 12) {
        // The first block's bounds and one past them.
        ids[6] = DWORD(data[4] | data[5] << 8 | data[6] << 16 | uint32_t(data[7]) << 24);
        ids[7] = DWORD(data[8] | data[9] << 8 | data[10] << 16 | uint32_t(data[11]) << 24);
        ids[8] = ids[7] + 1;
    }
    for (DWORD id : ids) {
        DWORD result = navo::win32::ReadMessageTable(data, size, id, text);
        if (result == ERROR_SUCCESS && text.size() > size * 3) __builtin_trap();  // never more than the input allows
    }
    return 0;
}
