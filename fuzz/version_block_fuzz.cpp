// Feeds arbitrary bytes to the version-block reader as the data of an RT_VERSION
// resource: builds the block GetFileVersionInfoA hands out, then asks VerQueryValueA for
// the fixed paths and for every path the input's own keys spell, three levels deep. Each
// answer must lie inside the built block, so a range check that lets a value or a text
// leave it is caught here or by the address sanitizer.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/version_block.h"

namespace {

using navo::win32::ByteView;
using navo::win32::VersionNode;

std::string Utf8(const std::u16string& key) {
    int n = WideCharToMultiByte(CP_ACP, 0, key.data(), int(key.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, key.data(), int(key.size()), out.data(), n, nullptr, nullptr);
    return out;
}

void Query(const std::vector<BYTE>& block, const std::string& path, unsigned& sum) {
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), path.c_str(), &value, &length)) {
        if (length != 0) __builtin_trap();
        return;
    }
    const BYTE* p = static_cast<const BYTE*>(value);
    if (p < block.data() || size_t(p - block.data()) > block.size() || length > block.size() - size_t(p - block.data()))
        __builtin_trap();
    for (UINT i = 0; i < length; ++i) sum += p[i];
}

// Paths of the nodes below `node`, at most `depth` levels down.
void Walk(ByteView raw, const VersionNode& node, const std::string& prefix, int depth, std::vector<std::string>& paths) {
    if (depth == 0) return;
    auto children = navo::win32::ReadVersionChildren(raw, node);
    if (!children) {
        if (children.error().what.empty()) __builtin_trap();
        return;
    }
    for (size_t i = 0; i < children->size() && i < 16; ++i) {
        const VersionNode& child = (*children)[i];
        if (child.offset < node.childrenOffset || child.end > node.end || child.valueOffset > child.end ||
            child.valueBytes > child.end - child.valueOffset)
            __builtin_trap();
        std::string path = prefix + "\\" + Utf8(navo::win32::VersionNodeKey(raw, child));
        paths.push_back(path);
        Walk(raw, child, path, depth - 1, paths);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input's length: no slack after it for a read to hide in.
    std::vector<BYTE> resource(data, data + size);
    auto built = navo::win32::BuildAnsiVersionBlock(ByteView(resource.data(), resource.size()));
    if (!built) {
        if (built.error().what.empty()) __builtin_trap();
        return 0;
    }
    // Exactly as large as GetFileVersionInfoSizeA would report.
    std::vector<BYTE> block = std::move(*built);
    unsigned sum = 0;
    for (const char* path : {"\\", "", "\\VarFileInfo\\Translation", "\\StringFileInfo",
                             "\\StringFileInfo\\040904b0\\FileVersion", "\\\\stringfileinfo\\\\040904B0\\\\"})
        Query(block, path, sum);
    const ByteView raw(block.data(), size_t(block[0] | (block[1] << 8)));
    auto root = navo::win32::ReadVersionRoot(raw);
    if (!root) __builtin_trap();  // the builder accepted it
    std::vector<std::string> paths;
    Walk(raw, *root, "", 3, paths);
    for (const std::string& path : paths) Query(block, path, sum);
    for (const VersionNode& text : navo::win32::CollectVersionTexts(raw, *root))
        sum += unsigned(navo::win32::VersionTextValue(raw, text).size());
    // The block cut to smaller buffers, as GetFileVersionInfoA hands it to one: every
    // answer must lie inside the cut block. Each cut is exactly as large as the buffer.
    const size_t cuts[] = {2, block.size() / 2, block.size() - 1, 2 + (size ? data[size - 1] * 13u : 0u) % block.size()};
    for (size_t cutSize : cuts) {
        if (cutSize < 2 || cutSize >= block.size()) continue;
        const std::vector<BYTE> cut = navo::win32::CutAnsiVersionBlock(block, cutSize);
        if (cut.size() != cutSize || size_t(cut[0] | (cut[1] << 8)) > cutSize) __builtin_trap();
        for (const char* path : {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904b0\\FileVersion"})
            Query(cut, path, sum);
        for (const std::string& path : paths) Query(cut, path, sum);
    }
    return int(sum & 0);
}
