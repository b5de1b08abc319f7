// Bounded reading of module files in pieces: PE headers, the path to one resource, ELF
// sections.
#include "formats/pe_file.h"
#include "formats/pe_layout.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace navo::win32 {
namespace {

ReadError PastTheEnd(const char* what, uint64_t offset) {
    return ReadError{std::string(what) + ": past the end", size_t(offset)};
}

}  // namespace

uint64_t FileWindow::size() {
    if (!sizeKnown_) {
        struct stat st{};
        // A descriptor that cannot be asked ends where the reads so far found bytes.
        size_ = fstat(fd_, &st) == 0 && st.st_size > 0 ? uint64_t(st.st_size) : reached_;
        sizeKnown_ = true;
    }
    return size_;
}

size_t FileWindow::ReadAt(BYTE* into, uint64_t offset, size_t length) {
    size_t done = 0;
    bool failed = false;
    while (done < length) {
        ssize_t n = pread(fd_, into + done, length - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        failed = n < 0;
        if (n <= 0) break;
        done += size_t(n);
    }
    reached_ = std::max(reached_, offset + done);
    // A read that stops short without an error has met the end of the file; one that
    // found no bytes at all only says the end is no further, so the system is asked.
    if (!sizeKnown_ && done < length && !failed) {
        if (done > 0) {
            size_ = offset + done;
            sizeKnown_ = true;
        } else {
            size();
        }
    }
    return done;
}

void FileWindow::Fill(uint64_t offset, size_t length) {
    // Read ahead to a chunk: the next read is usually just after this one.
    const size_t chunk = sizeKnown_ ? size_t(std::min<uint64_t>(std::max(length, kChunk), size_ - offset))
                                    : std::max(length, kChunk);
    if (chunk > capacity_) {
        large_ = std::make_unique_for_overwrite<BYTE[]>(chunk);
        buffer_ = large_.get();
        capacity_ = chunk;
    }
    bufferAt_ = offset;
    filled_ = ReadAt(buffer_, offset, chunk);
}

Expected<ByteView> FileWindow::Read(uint64_t offset, size_t length, const char* what) {
    if (sizeKnown_ && Past(offset, length)) return PastTheEnd(what, offset);
    if (fd_ < 0) return CantFail(memory_.Sub(size_t(offset), length, what));
    if (!Buffered(offset, length)) {
        if (Within(tailAt_, tailFilled_, offset, length)) return ByteView(tail_ + (offset - tailAt_), length);
        Fill(offset, length);
    }
    if (Buffered(offset, length)) return ByteView(buffer_ + (offset - bufferAt_), length);
    // The size the read found, else a file cut short since its size was taken, which reads
    // as one that ends here.
    return PastTheEnd(what, sizeKnown_ && Past(offset, length) ? offset : offset + filled_);
}

Expected<ByteView> FileWindow::ReadPrefix(size_t length, const char* what) {
    if (!sizeKnown_ && fd_ >= 0 && !Buffered(0, length)) Fill(0, length);
    // Still unknown: the read found `length` bytes or failed, and Read tells which.
    return Read(0, sizeKnown_ ? size_t(std::min<uint64_t>(length, size_)) : length, what);
}

bool FileWindow::Holds(FileRange range) {
    if (range.offset > UINT64_MAX - range.size) return false;
    const uint64_t end = range.offset + range.size;
    if (!sizeKnown_ && end > reached_ && fd_ >= 0) {
        if (range.size <= kChunk) {
            if (!Buffered(range.offset, size_t(range.size))) Fill(range.offset, size_t(range.size));
        } else {
            tailAt_ = end - kChunk;
            tailFilled_ = ReadAt(tail_, tailAt_, kChunk);
        }
    }
    return end <= reached_ || end <= size();
}

Expected<Done> FileWindow::Copy(uint64_t offset, size_t length, std::vector<BYTE>& out, const char* what) {
    auto view = Read(offset, length, what);
    if (!view) return view.error();
    out.assign(view->data(), view->data() + view->size());
    return Done{};
}

namespace {

using namespace pe;  // NOLINT(google-build-using-namespace): the layout constants

struct DirectoryEntry {
    bool isId = true;
    WORD id = 0;
    DWORD target = 0;  // OffsetToData, with the subdirectory flag
};

// Walks the directories on the way to one resource. Offsets are relative to the resource
// directory, bounded by its section's file-backed end; the entries read over the walk are
// capped by what that part could hold, as the whole-tree walk caps them.
class PathWalker {
public:
    PathWalker(FileWindow& file, const PeImage& headers, FileRange directory)
        : file_(file), headers_(headers), dir_(directory), budget_(directory.size / kDirectoryEntrySize) {}

    Expected<std::vector<DirectoryEntry>> ReadDirectory(uint64_t offset, const char* what) {
        if (offset > dir_.size || kDirectoryHeaderSize > dir_.size - offset)
            return ReadError{std::string(what) + ": header past the end", size_t(offset)};
        auto header = file_.Read(dir_.offset + offset, kDirectoryHeaderSize, what);
        if (!header) return header.error();
        const size_t count =
            size_t(CantFail(header->U16(kDirectoryNamedCount, what))) + CantFail(header->U16(kDirectoryIdCount, what));
        if (count * kDirectoryEntrySize > dir_.size - offset - kDirectoryHeaderSize)
            return ReadError{std::string(what) + ": entries past the end", size_t(offset)};
        if (count > budget_) return ReadError{std::string(what) + ": more entries than the directory can hold", size_t(offset)};
        budget_ -= count;
        auto table = file_.Read(dir_.offset + offset + kDirectoryHeaderSize, count * kDirectoryEntrySize, what);
        if (!table) return table.error();
        std::vector<DirectoryEntry> out(count);
        for (size_t i = 0; i < count; ++i) {
            const DWORD nameField = CantFail(table->U32(i * kDirectoryEntrySize, what));
            out[i].target = CantFail(table->U32(i * kDirectoryEntrySize + 4, what));
            // A named entry never matches an integer key: its string need not be read.
            out[i].isId = !(nameField & kHighBit);
            out[i].id = WORD(nameField);
        }
        return out;
    }

    Expected<FileResource> ReadData(DWORD offset, WORD language) {
        if (offset > dir_.size || kDataEntrySize > dir_.size - offset) return ReadError{"data entry: past the end", offset};
        auto data = file_.Read(dir_.offset + offset, kDataEntrySize, "data entry");
        if (!data) return data.error();
        FileResource found;
        const DWORD rva = CantFail(data->U32(0, "data entry"));
        found.size = CantFail(data->U32(4, "data entry"));
        found.language = language;
        auto at = PeFileOffsetOf(file_, headers_, rva, found.size, "resource data");
        if (!at) return at.error();
        found.offset = *at;
        return found;
    }

private:
    FileWindow& file_;
    const PeImage& headers_;
    FileRange dir_;
    size_t budget_;
};

}  // namespace

Expected<PeImage> ReadPeFileHeaders(FileWindow& file) {
    // The headers end with the section table, which the DOS header's e_lfanew and then the
    // COFF header locate. Each step reads what the one before says (a read stops at the end
    // of the file); PeImage::Parse then checks them all, over that prefix, with the errors
    // the whole file would give.
    auto prefix = [&](uint64_t length) -> Expected<ByteView> {
        if (length <= kMaxPeHeaderBytes) return file.ReadPrefix(size_t(length), "PE headers");
        const uint64_t n = std::min(length, file.size());
        if (n > kMaxPeHeaderBytes) return ReadError{"PE headers: more than 16 MiB into the file", kDosLfanew};
        return file.Read(0, size_t(n), "PE headers");
    };
    auto view = prefix(FileWindow::kChunk);
    if (!view) return view.error();
    if (auto lfanew = view->U32(kDosLfanew, "DOS header e_lfanew")) {
        const uint64_t coff = uint64_t(*lfanew) + 4;
        view = prefix(coff + kCoffHeaderSize);
        if (!view) return view.error();
        auto optionalSize = view->U16(size_t(coff) + kCoffOptionalSize, "COFF header");
        auto sectionCount = view->U16(size_t(coff) + kCoffSectionCount, "COFF header");
        if (optionalSize && sectionCount) {
            view = prefix(coff + kCoffHeaderSize + *optionalSize + uint64_t(*sectionCount) * kSectionHeaderSize);
            if (!view) return view.error();
        }
    }
    return PeImage::Parse(*view);
}

namespace {

// SectionRest for a file whose size may not be known yet: the size is used only when the
// file's reads cannot tell that it holds the section's part, and then gives the same error.
Expected<FileRange> FileSectionRest(FileWindow& file, const PeImage& headers, DWORD rva, const char* what) {
    auto rest = SectionRest(headers, UINT64_MAX, rva, what);
    if (!rest || file.Holds(*rest)) return rest;
    return SectionRest(headers, file.size(), rva, what);
}

}  // namespace

Expected<uint64_t> PeFileOffsetOf(FileWindow& file, const PeImage& headers, DWORD rva, DWORD size, const char* what) {
    auto rest = FileSectionRest(file, headers, rva, what);
    if (!rest) return rest.error();
    if (size > rest->size) return ReadError{std::string(what) + ": runs past its section", rva};
    return rest->offset;
}

Expected<FileResource> FindPeFileResource(FileWindow& file, const PeImage& headers, WORD type, WORD name,
                                          std::span<const LANGID> languages, LanguageFallback fallback) {
    return FindPeFileResource(
        file, headers, type, name, [languages] { return std::vector<LANGID>(languages.begin(), languages.end()); },
        fallback);
}

Expected<FileResource> FindPeFileResource(FileWindow& file, const PeImage& headers, WORD type, WORD name,
                                          const std::function<std::vector<LANGID>()>& languages,
                                          LanguageFallback fallback) {
    const PeDataDirectory rsrc = headers.Directory(kPeDirectoryResource);
    if (rsrc.rva == 0 && rsrc.size == 0) return FileResource{ERROR_RESOURCE_DATA_NOT_FOUND};
    if (rsrc.size < kDirectoryHeaderSize) return ReadError{"resource directory: smaller than its header", rsrc.rva};
    // Offsets inside the tree are bounded by the section, not by the directory's declared
    // size: linkers differ in whether that size covers the data that follows the tree.
    auto directory = FileSectionRest(file, headers, rsrc.rva, "resource directory");
    if (!directory) return directory.error();
    if (directory->size < rsrc.size) return ReadError{"resource directory: runs past its section", rsrc.rva};

    PathWalker walker(file, headers, *directory);
    auto types = walker.ReadDirectory(0, "type directory");
    if (!types) return types.error();
    bool typeFound = false;
    std::vector<std::vector<FileResource>> groups;  // the languages of each matching name
    for (const DirectoryEntry& t : *types) {
        if (!t.isId || t.id != type) continue;
        typeFound = true;
        if (!(t.target & kHighBit)) return ReadError{"type entry: not a subdirectory", 0};
        auto names = walker.ReadDirectory(t.target & ~kHighBit, "name directory");
        if (!names) return names.error();
        for (const DirectoryEntry& n : *names) {
            if (!n.isId || n.id != name) continue;
            if (!(n.target & kHighBit)) return ReadError{"name entry: not a subdirectory", t.target & ~kHighBit};
            auto entries = walker.ReadDirectory(n.target & ~kHighBit, "language directory");
            if (!entries) return entries.error();
            std::vector<FileResource>& group = groups.emplace_back();
            for (const DirectoryEntry& l : *entries) {
                if (!l.isId) return ReadError{"language entry: a name, not a language ID", n.target & ~kHighBit};
                if (l.target & kHighBit) return ReadError{"language entry: a subdirectory, not data", n.target & ~kHighBit};
                auto data = walker.ReadData(l.target, l.id);
                if (!data) return data.error();
                group.push_back(*data);
            }
        }
    }
    if (!typeFound) return FileResource{ERROR_RESOURCE_TYPE_NOT_FOUND};
    if (groups.empty()) return FileResource{ERROR_RESOURCE_NAME_NOT_FOUND};
    // One resource and a fallback to the first: it is the answer whatever the languages.
    if (fallback == LanguageFallback::FirstLanguage && groups.size() == 1 && groups.front().size() == 1)
        return groups.front().front();
    for (LANGID language : languages())
        for (const auto& group : groups)
            for (const FileResource& r : group)
                if (r.language == language) return r;
    if (fallback == LanguageFallback::FirstLanguage)
        for (const auto& group : groups)
            if (!group.empty()) return group.front();
    return FileResource{ERROR_RESOURCE_LANG_NOT_FOUND};
}

namespace {

constexpr BYTE kElfClass32 = 1;
constexpr BYTE kElfClass64 = 2;
constexpr BYTE kElfLittleEndian = 1;
constexpr DWORD kSectionNoBits = 8;           // SHT_NOBITS
constexpr WORD kSectionIndexEscape = 0xFFFF;  // SHN_XINDEX: the real index is elsewhere
// A section name table up to this size is read once; a larger one name by name.
constexpr uint64_t kNamesCopyLimit = uint64_t(64) * 1024;

struct ElfLayout {
    size_t headerSize, shoff, shentsize, shnum, shstrndx;
    size_t entrySize, name, type, link, offset, size;
    bool wide;  // 64-bit addresses and sizes
};
constexpr ElfLayout kElf32 = {0x34, 0x20, 0x2E, 0x30, 0x32, 40, 0x00, 0x04, 0x18, 0x10, 0x14, false};
constexpr ElfLayout kElf64 = {0x40, 0x28, 0x3A, 0x3C, 0x3E, 64, 0x00, 0x04, 0x28, 0x18, 0x20, true};

uint64_t Address(ByteView v, size_t at, bool wide) {
    if (!wide) return CantFail(v.U32(at, "ELF address"));
    return CantFail(v.U64(at, "ELF address"));
}

struct ElfSectionHeader {
    DWORD name = 0, type = 0, link = 0;
    uint64_t offset = 0, size = 0;
};

}  // namespace

Expected<FileRange> FindElfFileSection(FileWindow& file, const char* name) {
    const uint64_t fileSize = file.size();
    auto start = file.Read(0, size_t(std::min<uint64_t>(fileSize, 6)), "ELF header");
    if (!start) return start.error();
    if (start->size() < 6 || memcmp(start->data(), "\x7f" "ELF", 4) != 0) return ReadError{"ELF header: no ELF signature", 0};
    const BYTE elfClass = start->data()[4];
    if (elfClass != kElfClass32 && elfClass != kElfClass64) return ReadError{"ELF header: unknown class", 4};
    if (start->data()[5] != kElfLittleEndian) return ReadError{"ELF header: not little-endian", 5};
    const ElfLayout& l = elfClass == kElfClass64 ? kElf64 : kElf32;
    auto header = file.Read(0, l.headerSize, "ELF header");
    if (!header) return header.error();
    const uint64_t tableAt = Address(*header, l.shoff, l.wide);
    const WORD entrySize = CantFail(header->U16(l.shentsize, "ELF header"));
    uint64_t count = CantFail(header->U16(l.shnum, "ELF header"));
    DWORD namesIndex = CantFail(header->U16(l.shstrndx, "ELF header"));
    if (tableAt == 0) return ReadError{"ELF header: no section table", l.shoff};
    if (entrySize < l.entrySize) return ReadError{"ELF header: section header entries too small", l.shentsize};
    if (tableAt > fileSize) return ReadError{"section table: past the end", l.shoff};

    auto readHeader = [&](uint64_t index) -> Expected<ElfSectionHeader> {
        // index < count <= (size - tableAt) / entrySize once checked, so this cannot wrap.
        auto entry = file.Read(tableAt + index * entrySize, l.entrySize, "section header");
        if (!entry) return entry.error();
        ElfSectionHeader s;
        s.name = CantFail(entry->U32(l.name, "section header"));
        s.type = CantFail(entry->U32(l.type, "section header"));
        s.link = CantFail(entry->U32(l.link, "section header"));
        s.offset = Address(*entry, l.offset, l.wide);
        s.size = Address(*entry, l.size, l.wide);
        return s;
    };

    // Very large tables keep their count and the name section's index in section 0.
    if (count == 0 || namesIndex == kSectionIndexEscape) {
        auto first = readHeader(0);
        if (!first) return first.error();
        if (count == 0) count = first->size;
        if (namesIndex == kSectionIndexEscape) namesIndex = first->link;
    }
    if (count > (fileSize - tableAt) / entrySize) return ReadError{"section table: past the end", size_t(tableAt)};
    if (namesIndex >= count) return ReadError{"ELF header: section name table index out of range", l.shstrndx};

    auto namesHeader = readHeader(namesIndex);
    if (!namesHeader) return namesHeader.error();
    if (namesHeader->type == kSectionNoBits || namesHeader->offset > fileSize ||
        namesHeader->size > fileSize - namesHeader->offset)
        return ReadError{"section names: past the end", size_t(tableAt)};
    const FileRange names{namesHeader->offset, namesHeader->size};
    std::vector<BYTE> namesCopy;
    if (names.size <= kNamesCopyLimit) {
        auto copied = file.Copy(names.offset, size_t(names.size), namesCopy, "section names");
        if (!copied) return copied.error();
    }

    const size_t wantedLength = strlen(name);
    for (uint64_t i = 0; i < count; ++i) {
        auto s = readHeader(i);
        if (!s) return s.error();
        // The name must be terminated inside the name table.
        if (s->name > names.size || wantedLength + 1 > names.size - s->name) continue;
        ByteView candidate;
        if (names.size <= kNamesCopyLimit) {
            candidate = CantFail(ByteView(namesCopy.data(), namesCopy.size()).Sub(s->name, wantedLength + 1, "section name"));
        } else {
            auto read = file.Read(names.offset + s->name, wantedLength + 1, "section names");
            if (!read) return read.error();
            candidate = *read;
        }
        if (memcmp(candidate.data(), name, wantedLength) != 0 || CantFail(candidate.U8(wantedLength, "section name")) != 0)
            continue;
        if (s->type == kSectionNoBits) return ReadError{std::string("section ") + name + ": no bytes in the file", 0};
        if (s->offset > fileSize || s->size > fileSize - s->offset)
            return ReadError{std::string("section ") + name + ": past the end", size_t(tableAt)};
        return FileRange{s->offset, s->size};
    }
    return ReadError{std::string("no section ") + name, 0};
}

}  // namespace navo::win32

namespace navo::win32 {

Expected<std::vector<BYTE>> ReadPeResourceImage(FileWindow& file) {
    auto headers = ReadPeFileHeaders(file);
    if (!headers) return headers.error();
    // The headers' view ends with the section table; copied before the window moves on.
    std::vector<BYTE> image(headers->bytes().data(), headers->bytes().data() + headers->bytes().size());
    const PeDataDirectory rsrc = headers->Directory(kPeDirectoryResource);
    if (rsrc.rva == 0 && rsrc.size == 0) return image;
    const std::vector<PeSection>& sections = headers->sections();
    size_t holding = sections.size();
    for (size_t i = 0; i < sections.size() && holding == sections.size(); ++i) {
        const PeSection& s = sections[i];
        const DWORD extent = s.virtualSize ? s.virtualSize : s.rawSize;
        if (rsrc.rva >= s.virtualAddress && rsrc.rva - s.virtualAddress < extent) holding = i;
    }
    if (holding == sections.size()) return ReadError{"resource directory: RVA in no section", rsrc.rva};
    const PeSection& s = sections[holding];
    const DWORD extent = s.virtualSize ? s.virtualSize : s.rawSize;
    const DWORD fileBacked = extent < s.rawSize ? extent : s.rawSize;
    const size_t movedTo = image.size();
    if (movedTo > 0xFFFFFFFFu - fileBacked) return ReadError{"resource section: too large", s.rawOffset};
    std::vector<BYTE> data;
    auto copied = file.Copy(s.rawOffset, fileBacked, data, "resource section");
    if (!copied) return copied.error();
    image.insert(image.end(), data.begin(), data.end());
    // The section table ends the headers: 40 bytes a section, SizeOfRawData at 16 and
    // PointerToRawData at 20.
    const size_t table = movedTo - sections.size() * kSectionHeaderSize;
    auto store32 = [&](size_t at, DWORD value) {
        for (int b = 0; b < 4; ++b) image[at + size_t(b)] = BYTE(value >> (8 * b));
    };
    for (size_t i = 0; i < sections.size(); ++i) {
        const size_t entry = table + i * kSectionHeaderSize;
        if (i == holding) {
            store32(entry + 16, fileBacked);
            store32(entry + 20, DWORD(movedTo));
        } else {
            store32(entry + 16, 0);
        }
    }
    return image;
}

}  // namespace navo::win32
