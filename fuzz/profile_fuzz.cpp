// Fuzzes the INI reader and writer: parse, list sections and keys, read every key, then
// change one and check that a second parse of the written bytes reads the change back.

#include <cstddef>
#include <cstdint>
#include <string>

#include "kernel/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    navo::win32::Profile profile = navo::win32::Profile::Parse(bytes);
    for (const std::string& section : profile.Sections())
        for (const std::string& key : profile.Keys(section)) (void)profile.Get(section, key);
    const std::string key = "fuzzkey", value = "fuzz value";
    profile.Set("fuzz section", &key, &value);
    navo::win32::Profile again = navo::win32::Profile::Parse(profile.Serialize());
    auto read = again.Get("FUZZ SECTION", "FuzzKey");
    if (!read || *read != value) __builtin_trap();
    return 0;
}
