// Bounded reading of PE headers and the three-level resource directory.
#include "pe_image.h"

#include <cstring>

namespace navo::win32 {
namespace {

// Little-endian reads at checked offsets of one byte span.
class Reader {
public:
    Reader(const BYTE* data, size_t size) : data_(data), size_(size) {}
    bool Has(size_t offset, size_t length) const { return offset <= size_ && length <= size_ - offset; }
    bool U16(size_t offset, WORD& v) const {
        if (!Has(offset, 2)) return false;
        v = WORD(data_[offset] | (data_[offset + 1] << 8));
        return true;
    }
    bool U32(size_t offset, DWORD& v) const {
        if (!Has(offset, 4)) return false;
        v = DWORD(data_[offset]) | (DWORD(data_[offset + 1]) << 8) | (DWORD(data_[offset + 2]) << 16) |
            (DWORD(data_[offset + 3]) << 24);
        return true;
    }
    const BYTE* At(size_t offset) const { return data_ + offset; }
    size_t Size() const { return size_; }

private:
    const BYTE* data_;
    size_t size_;
};

struct Section {
    DWORD rva, virtualSize, rawOffset, rawSize;
};

constexpr DWORD kSubdirectoryFlag = 0x80000000u;
constexpr DWORD kNameIsStringFlag = 0x80000000u;
constexpr size_t kDirectoryHeader = 16;  // Characteristics .. NumberOfIdEntries
constexpr size_t kDirectoryEntry = 8;    // Name, OffsetToData
constexpr size_t kDataEntry = 16;        // OffsetToData (RVA), Size, CodePage, Reserved
constexpr int kMaxEntriesPerDirectory = 0x10000;

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; }

class ResourceWalker {
public:
    ResourceWalker(const Reader& image, const std::vector<Section>& sections, size_t rsrcOffset, size_t rsrcSize)
        : image_(image), sections_(sections), dir_(image.At(rsrcOffset), rsrcSize) {}

    bool Walk(ResourceIndex& out) {
        std::vector<std::pair<ResourceKey, DWORD>> types, names, langs;
        if (!Entries(0, types, "type directory")) return Fail(out);
        for (auto& [type, typeOffset] : types) {
            if (!(typeOffset & kSubdirectoryFlag)) return Fail(out, "type entry is not a directory");
            names.clear();
            if (!Entries(typeOffset & ~kSubdirectoryFlag, names, "name directory")) return Fail(out);
            for (auto& [name, nameOffset] : names) {
                if (!(nameOffset & kSubdirectoryFlag)) return Fail(out, "name entry is not a directory");
                langs.clear();
                if (!Entries(nameOffset & ~kSubdirectoryFlag, langs, "language directory")) return Fail(out);
                for (auto& [lang, dataOffset] : langs) {
                    if ((dataOffset & kSubdirectoryFlag) || !lang.isId)
                        return Fail(out, "language entry is not a data entry");
                    ResourceEntry entry{type, name, lang.id, nullptr, 0};
                    if (!Data(dataOffset, entry)) return Fail(out);
                    out.entries.push_back(std::move(entry));
                }
            }
        }
        return true;
    }

private:
    bool Fail(ResourceIndex& out, const char* what = nullptr) {
        out.entries.clear();
        out.error = std::string("resource directory: ") + (what ? what : error_);
        return false;
    }

    bool Entries(DWORD offset, std::vector<std::pair<ResourceKey, DWORD>>& out, const char* where) {
        WORD named = 0, ids = 0;
        if (!dir_.U16(size_t(offset) + 12, named) || !dir_.U16(size_t(offset) + 14, ids)) {
            error_ = std::string(where) + " header past the end";
            return false;
        }
        size_t count = size_t(named) + ids;
        if (count > size_t(kMaxEntriesPerDirectory) ||
            !dir_.Has(size_t(offset) + kDirectoryHeader, count * kDirectoryEntry)) {
            error_ = std::string(where) + " entries past the end";
            return false;
        }
        for (size_t i = 0; i < count; ++i) {
            size_t at = size_t(offset) + kDirectoryHeader + i * kDirectoryEntry;
            DWORD nameField = 0, target = 0;
            dir_.U32(at, nameField);
            dir_.U32(at + 4, target);
            ResourceKey key;
            if (nameField & kNameIsStringFlag) {
                size_t s = nameField & ~kNameIsStringFlag;
                WORD length = 0;
                if (!dir_.U16(s, length) || !dir_.Has(s + 2, size_t(length) * 2)) {
                    error_ = std::string(where) + ": name string past the end";
                    return false;
                }
                key.isId = false;
                key.name.resize(length);
                for (WORD k = 0; k < length; ++k) {
                    WORD c = 0;
                    dir_.U16(s + 2 + size_t(k) * 2, c);
                    key.name[k] = Upper(char16_t(c));
                }
            } else {
                key.id = WORD(nameField & 0xFFFF);
            }
            out.emplace_back(std::move(key), target);
        }
        return true;
    }

    bool Data(DWORD offset, ResourceEntry& entry) {
        DWORD rva = 0, size = 0;
        if (!dir_.Has(offset, kDataEntry)) {
            error_ = "data entry past the end";
            return false;
        }
        dir_.U32(offset, rva);
        dir_.U32(size_t(offset) + 4, size);
        for (const Section& s : sections_) {
            DWORD extent = s.virtualSize ? s.virtualSize : s.rawSize;
            if (rva < s.rva || rva - s.rva >= extent) continue;
            DWORD within = rva - s.rva;
            if (size > extent - within || size_t(within) + size > s.rawSize) break;
            size_t fileOffset = size_t(s.rawOffset) + within;
            if (!image_.Has(fileOffset, size)) break;
            entry.data = image_.At(fileOffset);
            entry.size = size;
            return true;
        }
        error_ = "data outside the image's sections";
        return false;
    }

    const Reader& image_;
    const std::vector<Section>& sections_;
    Reader dir_;
    std::string error_;
};

}  // namespace

ResourceIndex ReadPeResources(const BYTE* data, size_t size) {
    ResourceIndex out;
    Reader r(data, size);
    WORD magic = 0;
    DWORD peOffset = 0, signature = 0;
    if (!r.U16(0, magic) || magic != 0x5A4D) return {{}, "not a PE image: no MZ header"};
    if (!r.U32(0x3C, peOffset) || !r.U32(peOffset, signature) || signature != 0x00004550)
        return {{}, "not a PE image: no PE signature"};
    size_t coff = size_t(peOffset) + 4;
    WORD sectionCount = 0, optionalSize = 0, optionalMagic = 0;
    if (!r.U16(coff + 2, sectionCount) || !r.U16(coff + 16, optionalSize))
        return {{}, "COFF header past the end"};
    size_t optional = coff + 20;
    if (!r.Has(optional, optionalSize) || !r.U16(optional, optionalMagic))
        return {{}, "optional header past the end"};
    size_t directories;
    if (optionalMagic == 0x10B) directories = 96;       // PE32
    else if (optionalMagic == 0x20B) directories = 112;  // PE32+
    else return {{}, "unknown optional header magic"};
    DWORD directoryCount = 0;
    if (directories < 4 || !r.U32(optional + directories - 4, directoryCount))
        return {{}, "optional header too short"};
    std::vector<Section> sections;
    size_t sectionTable = optional + optionalSize;
    if (!r.Has(sectionTable, size_t(sectionCount) * 40)) return {{}, "section table past the end"};
    for (WORD i = 0; i < sectionCount; ++i) {
        size_t at = sectionTable + size_t(i) * 40;
        Section s{};
        r.U32(at + 8, s.virtualSize);
        r.U32(at + 12, s.rva);
        r.U32(at + 16, s.rawSize);
        r.U32(at + 20, s.rawOffset);
        sections.push_back(s);
    }
    constexpr DWORD kResourceDirectory = 2;
    if (directoryCount <= kResourceDirectory) return out;
    size_t entry = optional + directories + kResourceDirectory * 8;
    if (entry + 8 > optional + optionalSize) return out;
    DWORD rsrcRva = 0, rsrcSize = 0;
    r.U32(entry, rsrcRva);
    r.U32(entry + 4, rsrcSize);
    if (rsrcRva == 0 || rsrcSize == 0) return out;
    for (const Section& s : sections) {
        DWORD extent = s.virtualSize ? s.virtualSize : s.rawSize;
        if (rsrcRva < s.rva || rsrcRva - s.rva >= extent) continue;
        DWORD within = rsrcRva - s.rva;
        size_t available = s.rawSize > within ? s.rawSize - within : 0;
        size_t length = rsrcSize < available ? rsrcSize : available;
        size_t offset = size_t(s.rawOffset) + within;
        if (!r.Has(offset, length)) return {{}, "resource directory outside the file"};
        ResourceWalker walker(r, sections, offset, length);
        walker.Walk(out);
        return out;
    }
    return {{}, "resource directory outside the image's sections"};
}

bool MakeResourceKey(LPCSTR value, ResourceKey& key) {
    key = ResourceKey{};
    if (IS_INTRESOURCE(value)) {
        key.isId = true;
        key.id = LOWORD(reinterpret_cast<ULONG_PTR>(value));
        return true;
    }
    if (value[0] == '#') {
        unsigned long n = 0;
        const char* p = value + 1;
        if (!*p) return false;
        for (; *p; ++p) {
            if (*p < '0' || *p > '9') return false;
            n = n * 10 + unsigned(*p - '0');
            if (n > 0xFFFF) return false;
        }
        key.isId = true;
        key.id = WORD(n);
        return true;
    }
    key.isId = false;
    int n = MultiByteToWideChar(CP_UTF8, 0, value, -1, nullptr, 0);
    if (n <= 0) return false;
    std::u16string name(size_t(n), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, value, -1, reinterpret_cast<LPWSTR>(name.data()), n);
    name.resize(size_t(n - 1));
    for (char16_t& c : name) c = Upper(c);
    key.name = std::move(name);
    return true;
}

}  // namespace navo::win32
