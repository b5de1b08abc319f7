// Bounded reading of version blocks and the ANSI block of GetFileVersionInfoA.
#include "formats/version_block.h"
#include "formats/utf.h"

#include <unicode/uchar.h>
#include "formats/upper_case.h"

#include <algorithm>
#include <cstring>

namespace navo::win32 {
namespace {

constexpr size_t Align4(size_t n) { return (n + 3) & ~size_t(3); }

constexpr char kAnsiSignature[4] = {'F', 'E', '2', 'X'};
constexpr size_t kAnsiHeaderSize = 12;  // signature, count, total size
constexpr size_t kAnsiEntrySize = 12;   // value offset, text offset, text length

void Store32(BYTE* p, DWORD v) {
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
    p[2] = BYTE(v >> 16);
    p[3] = BYTE(v >> 24);
}

// Keys compare as the platform's case-insensitive wide comparison does: unit by unit,
// each folded to its simple case.
bool KeyEquals(ByteView block, const VersionNode& node, std::u16string_view key) {
    if (node.keyUnits != key.size()) return false;
    const std::u16string stored = VersionNodeKey(block, node);
    for (size_t i = 0; i < key.size(); ++i) {
        UChar32 a = stored[i];
        UChar32 b = key[i];
        if (a != b && SimpleFold(char32_t(a)) != SimpleFold(char32_t(b))) return false;
    }
    return true;
}

}  // namespace

Expected<VersionNode> ReadVersionNode(ByteView block, size_t offset, size_t limit) {
    if (limit > block.size()) limit = block.size();
    if (offset > limit || limit - offset < kVersionNodeHeaderSize)
        return ReadError{"version block: node header past its parent", offset};
    auto length = block.U16(offset, "version block: node length");
    if (!length) return length.error();
    auto valueLength = block.U16(offset + 2, "version block: value length");
    if (!valueLength) return valueLength.error();
    auto type = block.U16(offset + 4, "version block: node type");
    if (!type) return type.error();
    // A header and the zero of an empty key.
    if (*length < kVersionNodeHeaderSize + 2) return ReadError{"version block: node shorter than its header", offset};
    if (*length > limit - offset) return ReadError{"version block: node length past its parent", offset};

    VersionNode node;
    node.offset = offset;
    node.end = offset + *length;
    node.keyOffset = offset + kVersionNodeHeaderSize;
    node.isText = *type != 0;
    node.valueLength = *valueLength;
    ByteReader keyReader(CantFail(block.Sub(node.keyOffset, node.end - node.keyOffset, "version block: key")),
                         node.keyOffset);
    auto key = keyReader.SkipUtf16z("version block: key");
    if (!key) return ReadError{"version block: key not terminated inside its node", node.keyOffset};
    node.keyUnits = *key;
    node.valueOffset = std::min(Align4(node.keyOffset + keyReader.offset()), node.end);
    const size_t declared = node.isText ? size_t(*valueLength) * 2 : size_t(*valueLength);
    node.valueBytes = std::min(declared, node.end - node.valueOffset);
    // Children follow the value as declared; a value cut short leaves no room for any.
    const size_t children = Align4(node.valueOffset + declared);
    node.childrenOffset = std::min(children, node.end);
    return node;
}

Expected<VersionNode> ReadVersionRoot(ByteView block) { return ReadVersionNode(block, 0, block.size()); }

std::u16string VersionNodeKey(ByteView block, const VersionNode& node) {
    ByteReader key(block);
    CantFail(key.Seek(node.keyOffset, "version block: key"));
    return CantFail(key.Utf16(node.keyUnits, "version block: key"));
}

Expected<std::vector<VersionNode>> ReadVersionChildren(ByteView block, const VersionNode& parent) {
    std::vector<VersionNode> children;
    size_t at = parent.childrenOffset;
    while (at < parent.end) {
        auto length = block.U16(at, "version block: child length");
        if (!length) return length.error();
        if (*length == 0) break;
        auto child = ReadVersionNode(block, at, parent.end);
        if (!child) return child.error();
        children.push_back(*child);
        at = Align4(child->end);
    }
    return children;
}

Expected<std::optional<VersionNode>> FindVersionNode(ByteView block, const VersionNode& root,
                                                     std::u16string_view path) {
    VersionNode node = root;
    size_t at = 0;
    while (at < path.size()) {
        if (path[at] == u'\\') {
            ++at;
            continue;
        }
        size_t stop = path.find(u'\\', at);
        if (stop == std::u16string_view::npos) stop = path.size();
        const std::u16string_view key = path.substr(at, stop - at);
        auto children = ReadVersionChildren(block, node);
        if (!children) return children.error();
        auto match = std::find_if(children->begin(), children->end(),
                                  [&](const VersionNode& child) { return KeyEquals(block, child, key); });
        if (match == children->end()) return std::optional<VersionNode>();
        node = *match;
        at = stop;
    }
    return std::optional<VersionNode>(node);
}

std::vector<VersionNode> CollectVersionTexts(ByteView block, const VersionNode& root) {
    std::vector<VersionNode> texts;
    texts.reserve(16);
    // Depth first with an explicit stack: nesting is bounded only by the block's size.
    std::vector<VersionNode> pending;
    pending.reserve(16);
    pending.push_back(root);
    while (!pending.empty()) {
        VersionNode node = pending.back();
        pending.pop_back();
        if (node.isText && node.offset != root.offset) texts.push_back(node);
        // The children go on the stack in reverse, so that the first is taken next.
        const size_t first = pending.size();
        size_t at = node.childrenOffset;
        while (at < node.end) {
            auto length = block.U16(at, "version block: child length");
            if (!length || *length == 0) break;
            auto child = ReadVersionNode(block, at, node.end);
            if (!child) break;
            pending.push_back(*child);
            at = Align4(child->end);
        }
        std::reverse(pending.begin() + std::ptrdiff_t(first), pending.end());
    }
    std::sort(texts.begin(), texts.end(),
              [](const VersionNode& a, const VersionNode& b) { return a.valueOffset < b.valueOffset; });
    return texts;
}

std::u16string VersionTextValue(ByteView block, const VersionNode& node) {
    return CantFail(block.Sub(node.valueOffset, node.valueBytes, "version block: value")).Utf16BeforeZero();
}

namespace {

// An ANSI block worked out but not yet written: the raw block, each text's place in the
// table, and the texts themselves, each with its terminating zero, one after the other as
// they follow the table.
struct AnsiBlockPlan {
    struct Entry {
        size_t valueOffset;
        size_t textAt;
        size_t textSize;
        bool empty;
    };
    ByteView raw;
    std::vector<Entry> entries;
    std::string texts;

    size_t TableOffset() const { return Align4(raw.size()); }
    size_t TextsOffset() const { return TableOffset() + kAnsiHeaderSize + entries.size() * kAnsiEntrySize; }
    size_t Size() const { return TextsOffset() + texts.size(); }

    // Writes all Size() bytes of the block, padding included.
    void WriteTo(BYTE* out) const {
        const size_t tableOffset = TableOffset();
        const size_t textsOffset = TextsOffset();
        memcpy(out, raw.data(), raw.size());
        memset(out + raw.size(), 0, tableOffset - raw.size());
        BYTE* table = out + tableOffset;
        memcpy(table, kAnsiSignature, sizeof kAnsiSignature);
        Store32(table + 4, DWORD(entries.size()));
        Store32(table + 8, DWORD(Size()));
        for (size_t i = 0; i < entries.size(); ++i) {
            const Entry& c = entries[i];
            BYTE* entry = table + kAnsiHeaderSize + i * kAnsiEntrySize;
            Store32(entry, DWORD(c.valueOffset));
            Store32(entry + 4, DWORD(textsOffset + c.textAt));
            Store32(entry + 8, c.empty ? 0 : DWORD(c.textSize + 1));
        }
        if (!texts.empty()) memcpy(out + textsOffset, texts.data(), texts.size());
    }
};

Expected<AnsiBlockPlan> PlanAnsiVersionBlock(ByteView resource) {
    auto rootLength = resource.U16(0, "version block: root length");
    if (!rootLength) return rootLength.error();
    if (*rootLength > resource.size())
        return ReadError{"version block: root length past the end of the resource", 0};
    AnsiBlockPlan plan;
    plan.raw = CantFail(resource.Sub(0, *rootLength, "version block"));
    auto root = ReadVersionRoot(plan.raw);
    if (!root) return root.error();

    const std::vector<VersionNode> nodes = CollectVersionTexts(plan.raw, *root);
    plan.entries.reserve(nodes.size());
    // Room for texts of one byte a unit, the usual case.
    plan.texts.reserve(plan.raw.size() / 2);
    for (const VersionNode& node : nodes) {
        // A text value shares no bytes with another one, but two nodes may point to the
        // same offset when their values are empty; one entry serves them both.
        if (!plan.entries.empty() && plan.entries.back().valueOffset == node.valueOffset) continue;
        const ByteView value = CantFail(plan.raw.Sub(node.valueOffset, node.valueBytes, "version block: value"));
        // The ANSI code page is UTF-8, and WideCharToMultiByte without flags replaces what
        // is ill-formed: the same conversion, in one pass over the units before the zero.
        const size_t at = plan.texts.size();
        utf::AppendUtf8OfUtf16Le(plan.texts, value.Utf16LeBeforeZero(), utf::kReplace);
        plan.entries.push_back({node.valueOffset, at, plan.texts.size() - at, node.valueLength == 0});
        plan.texts.push_back('\0');
    }
    return plan;
}

}  // namespace

Expected<size_t> BuildAnsiVersionBlockInto(ByteView resource, BYTE* out, size_t room, std::vector<BYTE>& spill) {
    auto plan = PlanAnsiVersionBlock(resource);
    if (!plan) return plan.error();
    const size_t size = plan->Size();
    if (size <= room) {
        plan->WriteTo(out);
    } else {
        spill.resize(size);
        plan->WriteTo(spill.data());
    }
    return size;
}

Expected<std::vector<BYTE>> BuildAnsiVersionBlock(ByteView resource) {
    // No room at all: the whole block goes to the vector.
    std::vector<BYTE> block;
    auto built = BuildAnsiVersionBlockInto(resource, nullptr, 0, block);
    if (!built) return built.error();
    return block;
}

std::vector<BYTE> CutAnsiVersionBlock(const std::vector<BYTE>& block, size_t size) {
    std::vector<BYTE> cut(block.begin(), block.begin() + std::ptrdiff_t(std::min(size, block.size())));
    if (size >= block.size() || block.size() < 2) return cut;
    const ByteView whole(block.data(), block.size());
    const size_t rootLength = CantFail(whole.U16(0, "version block: root length"));
    if (size >= Align4(rootLength) + kAnsiHeaderSize) {
        // The root is whole: the table keeps the entries that fit, and its extent, which
        // bounds every text it gives out, ends with the buffer.
        BYTE* table = cut.data() + Align4(rootLength);
        const size_t room = (size - Align4(rootLength) - kAnsiHeaderSize) / kAnsiEntrySize;
        const DWORD count = CantFail(whole.U32(Align4(rootLength) + 4, "version block: text count"));
        Store32(table + 4, DWORD(std::min<size_t>(count, room)));
        Store32(table + 8, DWORD(size));
        return cut;
    }
    if (size < kAnsiHeaderSize + 4) {
        // No room for a root and a table: a root of no length, which no query reads into.
        if (size >= 2) cut[0] = cut[1] = 0;
        return cut;
    }
    // The root keeps the whole 4-byte units that leave room for an empty table after it.
    const size_t kept = (size - kAnsiHeaderSize) & ~size_t(3);
    cut[0] = BYTE(kept & 0xFF);
    cut[1] = BYTE(kept >> 8);
    BYTE* table = cut.data() + kept;
    memcpy(table, kAnsiSignature, sizeof kAnsiSignature);
    Store32(table + 4, 0);
    Store32(table + 8, DWORD(size));
    return cut;
}

ByteView VersionBlockRoot(const void* block) {
    const auto* bytes = static_cast<const BYTE*>(block);
    return ByteView(bytes, CantFail(ByteView(bytes, 2).U16(0, "version block: root length")));
}

std::optional<AnsiText> FindAnsiText(const BYTE* block, size_t rootLength, size_t valueOffset) {
    // The caller's buffer holds the root and the table's header (a cut block keeps both);
    // the extent of the rest is what the header declares.
    const size_t tableOffset = Align4(rootLength);
    ByteReader header(CantFail(ByteView(block, tableOffset + kAnsiHeaderSize).From(tableOffset, "text table")),
                      tableOffset);
    const ByteView signature = CantFail(header.Take(sizeof kAnsiSignature, "text table: signature"));
    if (memcmp(signature.data(), kAnsiSignature, sizeof kAnsiSignature) != 0) return std::nullopt;
    const size_t count = CantFail(header.U32("text table: count"));
    const size_t total = CantFail(header.U32("text table: total size"));
    // A table that does not fit the extent it declares was not made here.
    if (total < tableOffset + kAnsiHeaderSize || count > (total - tableOffset - kAnsiHeaderSize) / kAnsiEntrySize)
        return std::nullopt;
    const ByteView whole(block, total);
    const size_t entriesOffset = tableOffset + kAnsiHeaderSize;
    size_t low = 0, high = count;
    while (low < high) {
        const size_t mid = low + (high - low) / 2;
        ByteReader entry(CantFail(whole.Sub(entriesOffset + mid * kAnsiEntrySize, kAnsiEntrySize, "text table entry")));
        const DWORD at = CantFail(entry.U32("text table entry: value offset"));
        if (at < valueOffset) {
            low = mid + 1;
        } else if (at > valueOffset) {
            high = mid;
        } else {
            const size_t textOffset = CantFail(entry.U32("text table entry: text offset"));
            const DWORD length = CantFail(entry.U32("text table entry: text length"));
            // The text and its terminating zero lie inside the block.
            if (textOffset >= total || length > total - textOffset) return std::nullopt;
            const ByteView rest = CantFail(whole.From(textOffset, "text"));
            if (rest.BeforeZero().size() == rest.size()) return std::nullopt;
            return AnsiText{reinterpret_cast<const char*>(rest.data()), length};
        }
    }
    return std::nullopt;
}

}  // namespace navo::win32
