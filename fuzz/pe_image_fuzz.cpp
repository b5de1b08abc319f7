// Feeds arbitrary bytes to the PE resource reader and walks every entry it reports.
#include <cstddef>
#include <cstdint>

#include "pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    navo::win32::ResourceIndex index = navo::win32::ReadPeResources(data, size);
    unsigned sum = 0;
    for (const auto& e : index.entries) {
        // Every entry must lie inside the input.
        if (e.data < data || e.size > size || size_t(e.data - data) > size - e.size) __builtin_trap();
        for (DWORD i = 0; i < e.size; ++i) sum += e.data[i];
    }
    return int(sum & 0);
}
