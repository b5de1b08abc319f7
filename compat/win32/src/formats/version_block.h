// A bounded reader of version blocks (the VS_VERSIONINFO tree of an RT_VERSION resource)
// and the ANSI block that GetFileVersionInfoA hands out.
//
// A block is a tree of nodes. Each node, at an offset that is a multiple of 4 from the
// start of the block:
//   0  WORD  wLength       bytes of the node with its value and children
//   2  WORD  wValueLength  bytes of a binary value, characters of a text value
//   4  WORD  wType         0 binary, otherwise text
//   6  WCHAR szKey[]       zero-terminated
//      padding to a multiple of 4, the value, padding to a multiple of 4, the children
// The next sibling starts at the node's end rounded up to a multiple of 4.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/byte_reader.h"

namespace navo::win32 {

inline constexpr size_t kVersionNodeHeaderSize = 6;

// One node, checked against its parent: every offset lies inside [offset, end).
struct VersionNode {
    size_t offset = 0;
    size_t end = 0;             // offset + wLength
    size_t keyOffset = 0;       // offset + 6
    size_t keyUnits = 0;        // UTF-16 units of the key, without its terminating zero
    bool isText = false;
    WORD valueLength = 0;       // as stored
    size_t valueOffset = 0;     // at most `end`
    size_t valueBytes = 0;      // the stored length in bytes, cut at the node's end
    size_t childrenOffset = 0;  // at most `end`; equal to `end` when there are none
};

// The node at `offset`, which must end at or before `limit`. An error when the header,
// the key or the node's declared length leaves [offset, limit), or when the length is
// too small for a header and an empty key. A value that claims more than the node holds
// is cut at the node's end, as some compilers count a text value's bytes rather than its
// characters.
[[nodiscard]] Expected<VersionNode> ReadVersionNode(ByteView block, size_t offset, size_t limit);

// The root node at offset 0, bounded by the view.
[[nodiscard]] Expected<VersionNode> ReadVersionRoot(ByteView block);

// The key of a node, as UTF-16 code units.
std::u16string VersionNodeKey(ByteView block, const VersionNode& node);

// The children of `parent`, in order, up to the first child of length 0 (the end of the
// list, as the platform reads it). An error for a malformed child.
[[nodiscard]] Expected<std::vector<VersionNode>> ReadVersionChildren(ByteView block, const VersionNode& parent);

// The node a sub-block path names below `root`: components separated by one or more
// backslashes, each a child's key compared case-insensitively; an empty path names the
// root. Empty when a component is missing, an error when a node on the way is malformed.
[[nodiscard]] Expected<std::optional<VersionNode>> FindVersionNode(ByteView block, const VersionNode& root,
                                                                   std::u16string_view path);

// Every text node whose value can be reached through well-formed nodes, in block order.
// A malformed node ends the list of its siblings; nodes before it still count.
std::vector<VersionNode> CollectVersionTexts(ByteView block, const VersionNode& root);

// The characters of a text value, up to its first zero.
std::u16string VersionTextValue(ByteView block, const VersionNode& node);

// The block GetFileVersionInfoA fills: the raw block (the root's wLength bytes of
// `resource`), padding to a multiple of 4, and a table of the ANSI copies of its texts:
//   0  "FE2X"
//   4  DWORD count
//   8  DWORD total size of the whole block
//   12 count entries of 12 bytes, ordered by value offset:
//        DWORD value offset, DWORD text offset, DWORD text length (with its zero; 0 for
//        a value stored with no characters)
//      the texts, each zero-terminated
// An error when the root node is malformed or longer than `resource`.
[[nodiscard]] Expected<std::vector<BYTE>> BuildAnsiVersionBlock(ByteView resource);
// The same block, written straight into the `room` bytes at `out` when it fits there, else
// whole into `spill` (and nothing at `out`): its size comes back either way.
[[nodiscard]] Expected<size_t> BuildAnsiVersionBlockInto(ByteView resource, BYTE* out, size_t room,
                                                         std::vector<BYTE>& spill);

// The first `size` bytes of a block made by BuildAnsiVersionBlock, as GetFileVersionInfoA
// hands out a block to a buffer too small for it, made consistent so that queries of the
// cut block stay inside it: the root's length and the text table shrink to what fits, and
// whatever was cut away is not found.
[[nodiscard]] std::vector<BYTE> CutAnsiVersionBlock(const std::vector<BYTE>& block, size_t size);

// The root of a block that GetFileVersionInfoA handed out, which comes without its size:
// the root's length, read from the block itself, is its extent.
ByteView VersionBlockRoot(const void* block);

// The ANSI copy of the text value at `valueOffset` in a block made by
// BuildAnsiVersionBlock, whose root is `rootLength` bytes long. The block's extent is
// taken from its table. Null when the block has no table or the table lacks the value.
struct AnsiText {
    const char* text = nullptr;
    DWORD length = 0;
};
[[nodiscard]] std::optional<AnsiText> FindAnsiText(const BYTE* block, size_t rootLength, size_t valueOffset);

}  // namespace navo::win32
