// Bounded reading of the ELF section header table.
#include "formats/elf_sections.h"

#include <cstdint>
#include <cstring>

namespace navo::win32 {
namespace {

constexpr DWORD kElfMagic = 0x464C457F;  // "\x7f" "ELF", read little-endian
constexpr BYTE kElfClass32 = 1;
constexpr BYTE kElfClass64 = 2;
constexpr BYTE kElfLittleEndian = 1;
constexpr DWORD kSectionNoBits = 8;     // SHT_NOBITS
constexpr WORD kSectionIndexEscape = 0xFFFF;  // SHN_XINDEX: the real index is elsewhere

// Field offsets of the file header and of one section header, per class.
struct Layout {
    size_t headerSize, shoff, shentsize, shnum, shstrndx;
    size_t entrySize, name, type, link, offset, size;
    bool wide;  // 64-bit addresses and sizes
};
constexpr Layout kElf32 = {0x34, 0x20, 0x2E, 0x30, 0x32, 40, 0x00, 0x04, 0x18, 0x10, 0x14, false};
constexpr Layout kElf64 = {0x40, 0x28, 0x3A, 0x3C, 0x3E, 64, 0x00, 0x04, 0x28, 0x18, 0x20, true};

Expected<uint64_t> Address(ByteView v, size_t at, bool wide, const char* what) {
    if (wide) {
        auto n = v.U64(at, what);
        if (!n) return n.error();
        return uint64_t(*n);
    }
    auto n = v.U32(at, what);
    if (!n) return n.error();
    return uint64_t(*n);
}

struct SectionHeader {
    DWORD name = 0, type = 0, link = 0;
    uint64_t offset = 0, size = 0;
};

}  // namespace

Expected<ByteView> FindElfSection(ByteView file, const char* name) {
    if (!file.Contains(0, 6) || CantFail(file.U32(0, "ELF header")) != kElfMagic)
        return ReadError{"ELF header: no ELF signature", 0};
    const BYTE elfClass = CantFail(file.U8(4, "ELF header"));
    if (elfClass != kElfClass32 && elfClass != kElfClass64) return ReadError{"ELF header: unknown class", 4};
    if (CantFail(file.U8(5, "ELF header")) != kElfLittleEndian) return ReadError{"ELF header: not little-endian", 5};
    const Layout& l = elfClass == kElfClass64 ? kElf64 : kElf32;
    auto header = file.Sub(0, l.headerSize, "ELF header");
    if (!header) return header.error();
    const uint64_t tableAt = CantFail(Address(*header, l.shoff, l.wide, "ELF header"));
    const WORD entrySize = CantFail(header->U16(l.shentsize, "ELF header"));
    uint64_t count = CantFail(header->U16(l.shnum, "ELF header"));
    DWORD namesIndex = CantFail(header->U16(l.shstrndx, "ELF header"));
    if (tableAt == 0) return ReadError{"ELF header: no section table", l.shoff};
    if (entrySize < l.entrySize) return ReadError{"ELF header: section header entries too small", l.shentsize};
    if (tableAt > file.size()) return ReadError{"section table: past the end", l.shoff};

    auto readHeader = [&](uint64_t index) -> Expected<SectionHeader> {
        // index < count <= size / entrySize, so the product stays inside the file.
        auto entry = file.Sub(size_t(tableAt) + size_t(index) * entrySize, l.entrySize, "section header");
        if (!entry) return entry.error();
        SectionHeader s;
        s.name = CantFail(entry->U32(l.name, "section header"));
        s.type = CantFail(entry->U32(l.type, "section header"));
        s.link = CantFail(entry->U32(l.link, "section header"));
        s.offset = CantFail(Address(*entry, l.offset, l.wide, "section header"));
        s.size = CantFail(Address(*entry, l.size, l.wide, "section header"));
        return s;
    };

    // Very large tables keep their count and the name section's index in section 0.
    if (count == 0 || namesIndex == kSectionIndexEscape) {
        auto first = readHeader(0);
        if (!first) return first.error();
        if (count == 0) count = first->size;
        if (namesIndex == kSectionIndexEscape) namesIndex = first->link;
    }
    if (count > (file.size() - size_t(tableAt)) / entrySize) return ReadError{"section table: past the end", size_t(tableAt)};
    if (namesIndex >= count) return ReadError{"ELF header: section name table index out of range", l.shstrndx};

    auto namesHeader = readHeader(namesIndex);
    if (!namesHeader) return namesHeader.error();
    if (namesHeader->type == kSectionNoBits || namesHeader->offset > file.size() ||
        namesHeader->size > file.size() - namesHeader->offset)
        return ReadError{"section names: past the end", size_t(tableAt)};
    const ByteView names =
        CantFail(file.Sub(size_t(namesHeader->offset), size_t(namesHeader->size), "section names"));

    const size_t wantedLength = strlen(name);
    for (uint64_t i = 0; i < count; ++i) {
        auto s = readHeader(i);
        if (!s) return s.error();
        // The name must be terminated inside the name table.
        auto candidate = names.Sub(s->name, wantedLength + 1, "section name");
        if (!candidate || memcmp(candidate->data(), name, wantedLength) != 0 ||
            CantFail(candidate->U8(wantedLength, "section name")) != 0)
            continue;
        if (s->type == kSectionNoBits) return ReadError{std::string("section ") + name + ": no bytes in the file", 0};
        if (s->offset > file.size() || s->size > file.size() - s->offset)
            return ReadError{std::string("section ") + name + ": past the end", size_t(tableAt)};
        return CantFail(file.Sub(size_t(s->offset), size_t(s->size), "section"));
    }
    return ReadError{std::string("no section ") + name, 0};
}

}  // namespace navo::win32
