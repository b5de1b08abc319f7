// Reading a module file in bounded pieces: its PE headers and section table, the path
// through the resource directory to one resource, an ELF file's section, each read with
// pread into a small buffer. A reader that needs one resource of a large file reads a few
// KiB of it, never the whole file.
#pragma once

#include <cstdint>
#include <span>
#include <functional>
#include <memory>
#include <vector>

#include "formats/pe_image.h"

namespace navo::win32 {

// The bytes of a file, read on demand: through a descriptor with pread, or from bytes in
// memory (tests and fuzzing). Reads are bounded by the file's size, and a read ahead of at
// most one chunk keeps the next small read from costing a system call.
//
// The size is given, or learnt as the file is read: a read that stops short has found the
// end, and only a check that the reads so far cannot answer asks the system (fstat). A
// version read of a typical module then costs its open, two or three reads and the close.
class FileWindow {
public:
    // `fd` stays the caller's and must stay open while the window is used.
    FileWindow(int fd, uint64_t size) : fd_(fd), size_(size), sizeKnown_(true) {}
    // A file whose size is learnt as it is read.
    explicit FileWindow(int fd) : fd_(fd) {}
    explicit FileWindow(ByteView memory) : memory_(memory), size_(memory.size()), sizeKnown_(true) {}
    FileWindow(const FileWindow&) = delete;
    FileWindow& operator=(const FileWindow&) = delete;

    // The file's size: given, found by a read that reached the end, else asked of the system.
    uint64_t size();
    // The bytes [offset, offset + length) of the file, or an error naming `what` when they
    // run past its end or cannot be read. The view is valid until the next Read.
    [[nodiscard]] Expected<ByteView> Read(uint64_t offset, size_t length, const char* what);
    // The first `length` bytes, or the whole file when it is shorter.
    [[nodiscard]] Expected<ByteView> ReadPrefix(size_t length, const char* what);
    // The same bytes as Read, copied into `out`.
    [[nodiscard]] Expected<Done> Copy(uint64_t offset, size_t length, std::vector<BYTE>& out, const char* what);
    // Whether the file holds all of `range`. A range of at most a chunk is read (the read
    // the caller makes next then finds it done). Of a longer one the last chunk is read and
    // kept beside the window's other bytes: a resource section's tail is where a module's
    // version data usually lies, and a read that stops short there tells the file's size.
    bool Holds(FileRange range);

    static constexpr size_t kChunk = 4096;

private:
    // Reads a chunk from `offset` into the buffer, learning the size when it stops short.
    void Fill(uint64_t offset, size_t length);
    // Reads `length` bytes from `offset` into `into` and learns what the read tells of the
    // size; the bytes read.
    size_t ReadAt(BYTE* into, uint64_t offset, size_t length);
    static bool Within(uint64_t at, size_t filled, uint64_t offset, size_t length) {
        return offset >= at && length <= filled && offset - at <= filled - length;
    }
    bool Buffered(uint64_t offset, size_t length) const { return Within(bufferAt_, filled_, offset, length); }
    bool Past(uint64_t offset, size_t length) const { return offset > size_ || length > size_ - offset; }

    int fd_ = -1;
    ByteView memory_;
    uint64_t size_ = 0;
    bool sizeKnown_ = false;
    // How far into the file the reads so far have found bytes.
    uint64_t reached_ = 0;
    // What the last read brought in: filled_ bytes of the file from bufferAt_, in the
    // window's own chunk or, for a longer read, in storage of capacity_ bytes that is
    // reused while reads fit. Neither is cleared first.
    BYTE* buffer_ = chunk_;
    BYTE chunk_[kChunk];
    std::unique_ptr<BYTE[]> large_;
    size_t capacity_ = kChunk;
    size_t filled_ = 0;
    uint64_t bufferAt_ = 0;
    // The last chunk of the latest range longer than a chunk that Holds read: tailFilled_
    // bytes from tailAt_. Only Holds replaces it.
    BYTE tail_[kChunk];
    size_t tailFilled_ = 0;
    uint64_t tailAt_ = 0;
};

// PE headers that lie further into a file than this are refused rather than read.
inline constexpr size_t kMaxPeHeaderBytes = size_t(16) << 20;

// The headers and section table of the PE file in `file`, read from its start. The
// image's bytes() are a view of the window and go stale with its next read: use its
// sections and directories only.
[[nodiscard]] Expected<PeImage> ReadPeFileHeaders(FileWindow& file);

// Where the file bytes of [rva, rva + size) are: they must lie inside one section's raw
// data, and that section's file-backed part inside the file.
[[nodiscard]] Expected<uint64_t> PeFileOffsetOf(FileWindow& file, const PeImage& headers, DWORD rva, DWORD size,
                                                const char* what);

// A resource found in a file: the platform's error for the level a lookup stopped at, or
// ERROR_SUCCESS and where the resource's bytes are.
struct FileResource {
    DWORD error = ERROR_SUCCESS;
    uint64_t offset = 0;
    DWORD size = 0;
    WORD language = 0;
};

// The resource of integer `type` and `name`, found as ResourceIndex::Find finds it (the
// first of `languages` the name has, else, with LanguageFallback::FirstLanguage, its first language;
// repeated types and names count as one) while reading only the directories on the way to
// it. An error for a malformed directory on that way.
[[nodiscard]] Expected<FileResource> FindPeFileResource(FileWindow& file, const PeImage& headers, WORD type,
                                                        WORD name, std::span<const LANGID> languages,
                                                        LanguageFallback fallback);
// The same, with the languages made by `languages` only when the name has more than one
// to choose among: working out the user's languages costs more than the rest of a lookup.
[[nodiscard]] Expected<FileResource> FindPeFileResource(FileWindow& file, const PeImage& headers, WORD type,
                                                        WORD name, const std::function<std::vector<LANGID>()>& languages,
                                                        LanguageFallback fallback);

// The file range of an ELF file's section.
// FindElfSection over a file read in pieces: the section called `name`, with the same
// errors (not such an ELF file, table or names past the end, no such section, no bytes in
// the file).
[[nodiscard]] Expected<FileRange> FindElfFileSection(FileWindow& file, const char* name);

}  // namespace navo::win32

namespace navo::win32 {

// The resources of a PE file in few bytes: its headers, then the file-backed bytes of the
// section that holds its resource directory, with that section's file offset moved to
// follow the headers and the other sections' raw data dropped. An image of it indexes as
// the whole file does when every resource lies in that section; one whose data lies
// elsewhere fails to index, and its reader falls back to the whole file. An error when the
// headers are unreadable or the directory lies in no section inside the file.
[[nodiscard]] Expected<std::vector<BYTE>> ReadPeResourceImage(FileWindow& file);

}  // namespace navo::win32
