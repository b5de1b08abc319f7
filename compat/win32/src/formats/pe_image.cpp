// Bounded reading of PE headers and the three-level resource directory.
#include "formats/pe_image.h"
#include "formats/pe_layout.h"

#include "formats/upper_case.h"

#include <cstdio>
#include <cstring>

namespace navo::win32 {

using namespace pe;  // NOLINT(google-build-using-namespace): the layout constants

Expected<PeImage> PeImage::Parse(ByteView bytes) {
    PeImage image;
    image.bytes_ = bytes;
    auto magic = bytes.U16(0, "DOS header");
    if (!magic) return magic.error();
    if (*magic != kDosMagic) return ReadError{"DOS header: no MZ signature", 0};
    auto lfanew = bytes.U32(kDosLfanew, "DOS header e_lfanew");
    if (!lfanew) return lfanew.error();
    auto signature = bytes.U32(*lfanew, "PE signature");
    if (!signature) return signature.error();
    if (*signature != kPeSignature) return ReadError{"PE signature: not \"PE\\0\\0\"", *lfanew};

    const size_t coff = size_t(*lfanew) + 4;
    auto coffHeader = bytes.Sub(coff, kCoffHeaderSize, "COFF header");
    if (!coffHeader) return coffHeader.error();
    image.machine_ = CantFail(coffHeader->U16(kCoffMachine, "COFF header"));
    const WORD sectionCount = CantFail(coffHeader->U16(kCoffSectionCount, "COFF header"));
    const WORD optionalSize = CantFail(coffHeader->U16(kCoffOptionalSize, "COFF header"));

    const size_t optionalAt = coff + kCoffHeaderSize;
    auto optional = bytes.Sub(optionalAt, optionalSize, "optional header");
    if (!optional) return optional.error();
    auto optionalMagic = optional->U16(0, "optional header magic");
    if (!optionalMagic) return optionalMagic.error();
    size_t rvaCountAt, directoriesAt;
    if (*optionalMagic == kPe32Magic) {
        rvaCountAt = kPe32RvaCount;
        directoriesAt = kPe32Directories;
    } else if (*optionalMagic == kPe32PlusMagic) {
        image.pe32Plus_ = true;
        rvaCountAt = kPe32PlusRvaCount;
        directoriesAt = kPe32PlusDirectories;
    } else {
        return ReadError{"optional header: unknown magic", optionalAt};
    }
    auto rvaCount = optional->U32(rvaCountAt, "optional header NumberOfRvaAndSizes");
    if (!rvaCount) return ReadError{rvaCount.error().what, optionalAt + rvaCountAt};
    // The loader reads at most 16 directories, whatever the count says; those it reads must
    // lie inside the optional header.
    image.directoryCount_ = *rvaCount < kPeDirectoryCount ? *rvaCount : kPeDirectoryCount;
    auto directories =
        optional->Sub(directoriesAt, size_t(image.directoryCount_) * kDataDirectorySize, "data directories");
    if (!directories) return ReadError{"data directories: past the optional header", optionalAt + directoriesAt};
    ByteReader directory(*directories, optionalAt + directoriesAt);
    for (DWORD i = 0; i < image.directoryCount_; ++i) {
        image.directories_[i].rva = CantFail(directory.U32("data directory"));
        image.directories_[i].size = CantFail(directory.U32("data directory"));
    }

    const size_t tableAt = optionalAt + optionalSize;
    auto table = bytes.Sub(tableAt, size_t(sectionCount) * kSectionHeaderSize, "section table");
    if (!table) return table.error();
    image.sections_.reserve(sectionCount);
    ByteReader header(*table, tableAt);
    for (WORD i = 0; i < sectionCount; ++i) {
        PeSection s;
        const ByteView name = CantFail(header.Take(kSectionNameSize, "section header"));
        memcpy(s.name, name.data(), kSectionNameSize);
        s.virtualSize = CantFail(header.U32("section header"));
        s.virtualAddress = CantFail(header.U32("section header"));
        s.rawSize = CantFail(header.U32("section header"));
        s.rawOffset = CantFail(header.U32("section header"));
        CantFail(header.Skip(kSectionHeaderSize - kSectionNameSize - 16, "section header"));
        image.sections_.push_back(s);
    }
    return image;
}

PeDataDirectory PeImage::Directory(DWORD index) const {
    return index < directoryCount_ ? directories_[index] : PeDataDirectory{};
}

Expected<FileRange> SectionRest(const PeImage& headers, uint64_t fileSize, DWORD rva, const char* what) {
    for (const PeSection& s : headers.sections()) {
        // Bytes past VirtualSize are not part of the mapped section; a VirtualSize of 0
        // means the raw size, as some linkers leave it.
        const DWORD extent = s.virtualSize ? s.virtualSize : s.rawSize;
        if (rva < s.virtualAddress || rva - s.virtualAddress >= extent) continue;
        const DWORD within = rva - s.virtualAddress;
        const DWORD fileBacked = extent < s.rawSize ? extent : s.rawSize;
        if (within >= fileBacked) return ReadError{std::string(what) + ": in the section's zero-filled part", rva};
        const uint64_t start = uint64_t(s.rawOffset) + within;
        const uint64_t length = fileBacked - within;
        if (start > fileSize || length > fileSize - start)
            return ReadError{std::string(what) + ": section data past the end of the file", s.rawOffset};
        return FileRange{start, length};
    }
    return ReadError{std::string(what) + ": RVA in no section", rva};
}


namespace {

// The file bytes from `rva` to the end of the file-backed part of the section holding it.
Expected<ByteView> MapRvaToSectionEnd(const PeImage& image, DWORD rva, const char* what) {
    auto rest = SectionRest(image, image.bytes().size(), rva, what);
    if (!rest) return rest.error();
    return CantFail(image.bytes().Sub(size_t(rest->offset), size_t(rest->size), what));
}

}  // namespace

Expected<ByteView> PeImage::MapRva(DWORD rva, DWORD size, const char* what) const {
    auto rest = MapRvaToSectionEnd(*this, rva, what);
    if (!rest) return rest.error();
    if (size > rest->size()) return ReadError{std::string(what) + ": runs past its section", rva};
    return ByteView(rest->data(), size);
}

ResourceKey ResourceKey::Name(std::u16string_view name) {
    ResourceKey key{false, 0, std::u16string(name)};
    // Simple per-unit case mapping, as the loader's upper-casing of resource names.
    for (char16_t& c : key.name)
        if (c < 0xD800 || c > 0xDFFF) c = char16_t(SimpleUpper(c));
    return key;
}

namespace {

struct DirectoryEntry {
    ResourceKey key;
    DWORD target = 0;  // OffsetToData, with the subdirectory flag
};

// Walks the type / name / language tree. The depth is fixed; the entries read over the
// whole walk are capped by what the directory could hold without sharing subdirectories,
// so a directory whose entries all point at one another cannot make the walk explode.
class ResourceWalker {
public:
    ResourceWalker(const PeImage& image, ByteView directory)
        : image_(image), dir_(directory), budget_(directory.size() / kDirectoryEntrySize) {}

    Expected<ResourceIndex> Walk() {
        std::vector<ResourceEntry> entries;
        std::vector<ResourceIndex::Group> groups;
        std::vector<ResourceKey> types;
        auto typeEntries = ReadDirectory(0, "type directory");
        if (!typeEntries) return typeEntries.error();
        for (DirectoryEntry& type : *typeEntries) {
            if (!(type.target & kHighBit)) return ReadError{"type entry: not a subdirectory", 0};
            types.push_back(type.key);
            auto nameEntries = ReadDirectory(type.target & ~kHighBit, "name directory");
            if (!nameEntries) return nameEntries.error();
            for (DirectoryEntry& name : *nameEntries) {
                if (!(name.target & kHighBit))
                    return ReadError{"name entry: not a subdirectory", type.target & ~kHighBit};
                auto languageEntries = ReadDirectory(name.target & ~kHighBit, "language directory");
                if (!languageEntries) return languageEntries.error();
                ResourceIndex::Group group{type.key, name.key, entries.size(), entries.size()};
                for (DirectoryEntry& language : *languageEntries) {
                    if (!language.key.isId)
                        return ReadError{"language entry: a name, not a language ID", name.target & ~kHighBit};
                    if (language.target & kHighBit)
                        return ReadError{"language entry: a subdirectory, not data", name.target & ~kHighBit};
                    auto entry = ReadData(language.target);
                    if (!entry) return entry.error();
                    entry->type = type.key;
                    entry->name = name.key;
                    entry->language = language.key.id;
                    entries.push_back(std::move(*entry));
                }
                group.end = entries.size();
                groups.push_back(std::move(group));
            }
        }
        return ResourceIndex(std::move(entries), std::move(groups), std::move(types));
    }

private:
    Expected<std::vector<DirectoryEntry>> ReadDirectory(size_t offset, const char* what) {
        auto header = dir_.Sub(offset, kDirectoryHeaderSize, what);
        if (!header) return ReadError{std::string(what) + ": header past the end", offset};
        const size_t count = size_t(CantFail(header->U16(kDirectoryNamedCount, what))) +
                             CantFail(header->U16(kDirectoryIdCount, what));
        auto table = dir_.Sub(offset + kDirectoryHeaderSize, count * kDirectoryEntrySize, what);
        if (!table) return ReadError{std::string(what) + ": entries past the end", offset};
        if (count > budget_) return ReadError{std::string(what) + ": more entries than the directory can hold", offset};
        budget_ -= count;
        std::vector<DirectoryEntry> out(count);
        ByteReader entry(*table, offset + kDirectoryHeaderSize);
        for (size_t i = 0; i < count; ++i) {
            const DWORD nameField = CantFail(entry.U32(what));
            out[i].target = CantFail(entry.U32(what));
            if (!(nameField & kHighBit)) {
                out[i].key = ResourceKey::Id(WORD(nameField));
                continue;
            }
            // A counted UTF-16 string, its offset relative to the directory's start.
            const size_t at = nameField & ~kHighBit;
            auto length = dir_.U16(at, what);
            if (!length) return ReadError{std::string(what) + ": name string past the end", at};
            auto units = dir_.Sub(at + 2, size_t(*length) * 2, what);
            if (!units) return ReadError{std::string(what) + ": name string past the end", at};
            out[i].key = ResourceKey::Name(CantFail(ByteReader(*units, at + 2).Utf16(*length, what)));
        }
        return out;
    }

    Expected<ResourceEntry> ReadData(DWORD offset) {
        auto data = dir_.Sub(offset, kDataEntrySize, "data entry");
        if (!data) return ReadError{"data entry: past the end", offset};
        ResourceEntry entry;
        ByteReader field(*data, offset);
        const DWORD rva = CantFail(field.U32("data entry"));
        entry.size = CantFail(field.U32("data entry"));
        entry.codePage = CantFail(field.U32("data entry"));
        auto bytes = image_.MapRva(rva, entry.size, "resource data");
        if (!bytes) return bytes.error();
        entry.data = bytes->data();
        return entry;
    }

    const PeImage& image_;
    ByteView dir_;
    size_t budget_;
};

}  // namespace

bool ResourceIndex::Owns(const void* entry) const {
    if (entries_.empty()) return false;
    auto* p = static_cast<const ResourceEntry*>(entry);
    // Compare as integers: a pointer from outside the array has no defined order with it.
    const auto begin = reinterpret_cast<uintptr_t>(entries_.data());
    const auto at = reinterpret_cast<uintptr_t>(p);
    return at >= begin && at - begin < entries_.size() * sizeof(ResourceEntry) &&
           (at - begin) % sizeof(ResourceEntry) == 0;
}

ResourceLookup ResourceIndex::Find(const ResourceKey& type, const ResourceKey& name,
                                   std::span<const LANGID> languages, LanguageFallback fallback) const {
    if (!hasDirectory_) return {nullptr, ERROR_RESOURCE_DATA_NOT_FOUND};
    bool typeFound = false;
    for (const ResourceKey& t : types_)
        if (t == type) typeFound = true;
    if (!typeFound) return {nullptr, ERROR_RESOURCE_TYPE_NOT_FOUND};
    // A malformed directory may list a type or name twice; the lookup treats all the
    // groups of one type and name as one.
    auto matches = [&](const Group& g) { return g.type == type && g.name == name; };
    bool nameFound = false;
    for (const Group& g : groups_) nameFound = nameFound || matches(g);
    if (!nameFound) return {nullptr, ERROR_RESOURCE_NAME_NOT_FOUND};
    for (LANGID language : languages)
        for (const Group& g : groups_)
            if (matches(g))
                for (size_t i = g.begin; i < g.end; ++i)
                    if (entries_[i].language == language) return {&entries_[i], ERROR_SUCCESS};
    if (fallback == LanguageFallback::FirstLanguage)
        for (const Group& g : groups_)
            if (matches(g) && g.begin < g.end) return {&entries_[g.begin], ERROR_SUCCESS};
    return {nullptr, ERROR_RESOURCE_LANG_NOT_FOUND};
}

Expected<ResourceIndex> IndexPeResources(const PeImage& image) {
    const PeDataDirectory rsrc = image.Directory(kPeDirectoryResource);
    if (rsrc.rva == 0 && rsrc.size == 0) return ResourceIndex();
    if (rsrc.size < kDirectoryHeaderSize) return ReadError{"resource directory: smaller than its header", rsrc.rva};
    // Offsets inside the tree are bounded by the section, not by the directory's declared
    // size: linkers differ in whether that size covers the data that follows the tree.
    auto rest = MapRvaToSectionEnd(image, rsrc.rva, "resource directory");
    if (!rest) return rest.error();
    if (rest->size() < rsrc.size) return ReadError{"resource directory: runs past its section", rsrc.rva};
    return ResourceWalker(image, *rest).Walk();
}

Expected<ResourceIndex> ReadPeResources(const BYTE* data, size_t size) {
    auto image = PeImage::Parse(ByteView(data, size));
    if (!image) return image.error();
    return IndexPeResources(*image);
}

Expected<ResourceKey> ResourceKeyFromArgument(LPCSTR value) {
    if (IS_INTRESOURCE(value)) return ResourceKey::Id(LOWORD(reinterpret_cast<ULONG_PTR>(value)));
    if (value[0] == '#') {
        // As the platform's RtlCharToInteger: decimal digits up to the first other
        // character; a value that needs more than 16 bits is an invalid parameter.
        DWORD n = 0;
        for (const char* p = value + 1; *p >= '0' && *p <= '9'; ++p) {
            n = n * 10 + DWORD(*p - '0');
            if (n > 0xFFFF) return ReadError{"resource ID after '#' does not fit in 16 bits", size_t(p - value)};
        }
        return ResourceKey::Id(WORD(n));
    }
    const int units = MultiByteToWideChar(CP_ACP, 0, value, -1, nullptr, 0);
    if (units <= 0) return ReadError{"resource name is not valid text", 0};
    std::u16string name(size_t(units), u'\0');
    MultiByteToWideChar(CP_ACP, 0, value, -1, reinterpret_cast<LPWSTR>(name.data()), units);
    name.resize(size_t(units) - 1);
    return ResourceKey::Name(name);
}

}  // namespace navo::win32
