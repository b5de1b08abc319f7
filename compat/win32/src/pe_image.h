// A bounded reader of PE images and their resource directories.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace navo::win32 {

// A resource type or name: an integer ID, or a name kept in upper case (names compare
// case-insensitively).
struct ResourceKey {
    bool isId = true;
    WORD id = 0;
    std::u16string name;
    bool operator==(const ResourceKey& o) const { return isId == o.isId && id == o.id && name == o.name; }
};

struct ResourceEntry {
    ResourceKey type;
    ResourceKey name;
    WORD language = 0;
    const BYTE* data = nullptr;
    DWORD size = 0;
};

// Result of reading an image: the entries, or an error with its context.
struct ResourceIndex {
    std::vector<ResourceEntry> entries;
    std::string error;  // empty when the image was read
    bool ok() const { return error.empty(); }
};

// Reads the resource directory of the PE image in [data, data + size). Every offset,
// length and count is checked against the bytes that remain; the entries point into the
// image, which must outlive them. An image without a resource directory reads as empty.
ResourceIndex ReadPeResources(const BYTE* data, size_t size);

// Turns a Win32 resource argument (MAKEINTRESOURCE value, "#123" or a name) into a key.
// False for a "#" string that is not a 16-bit number.
bool MakeResourceKey(LPCSTR value, ResourceKey& key);

}  // namespace navo::win32
