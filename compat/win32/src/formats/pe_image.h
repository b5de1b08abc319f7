// A bounded reader of PE images and an index of their resource directories.
//
// Every module kind keeps its resources as a PE resource directory: a PE file's is its
// .rsrc data directory, an ELF module's is the resource-only PE image embedded in its
// ".rsrc" section. One reader serves them all. It works on a byte span it does not own,
// checks every offset, length and count against what remains before it uses it, and
// reports a malformed input as an error value with the place it failed.
#pragma once

#include <windows.h>

#include "formats/byte_reader.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace navo::win32 {

inline constexpr DWORD kPeDirectoryResource = 2;
inline constexpr DWORD kPeDirectoryCount = 16;

struct PeSection {
    char name[9] = {};  // the 8 name bytes, terminated
    DWORD virtualAddress = 0;
    DWORD virtualSize = 0;
    DWORD rawSize = 0;
    DWORD rawOffset = 0;
};

struct PeDataDirectory {
    DWORD rva = 0;
    DWORD size = 0;
};

// The headers of a PE32 or PE32+ image and the section table, checked against the bytes.
class PeImage {
public:
    [[nodiscard]] static Expected<PeImage> Parse(ByteView bytes);

    ByteView bytes() const { return bytes_; }
    WORD machine() const { return machine_; }
    bool isPe32Plus() const { return pe32Plus_; }
    const std::vector<PeSection>& sections() const { return sections_; }
    // A data directory; zero when the optional header does not have that many.
    PeDataDirectory Directory(DWORD index) const;
    // The file bytes of [rva, rva + size): the range must lie inside one section's raw data.
    [[nodiscard]] Expected<ByteView> MapRva(DWORD rva, DWORD size, const char* what) const;

private:
    ByteView bytes_;
    WORD machine_ = 0;
    bool pe32Plus_ = false;
    DWORD directoryCount_ = 0;
    PeDataDirectory directories_[kPeDirectoryCount] = {};
    std::vector<PeSection> sections_;
};

// A range of a file's bytes.
struct FileRange {
    uint64_t offset = 0;
    uint64_t size = 0;
};

// The file bytes from `rva` to the end of the file-backed part of the section holding it,
// checked against a file of `fileSize` bytes. An error when no section holds it, when it
// lies in a section's zero-filled part, or when the section's data runs past the file.
[[nodiscard]] Expected<FileRange> SectionRest(const PeImage& headers, uint64_t fileSize, DWORD rva, const char* what);

// A resource type or name: an integer ID, or a string kept in upper case (names compare
// case-insensitively, as the platform's loader upper-cases both sides).
struct ResourceKey {
    bool isId = true;
    WORD id = 0;
    std::u16string name;

    static ResourceKey Id(WORD id) { return ResourceKey{true, id, {}}; }
    static ResourceKey Name(std::u16string_view name);
    bool operator==(const ResourceKey& other) const = default;
};

// One resource: a leaf of the type / name / language tree.
struct ResourceEntry {
    ResourceKey type;
    ResourceKey name;
    WORD language = 0;
    DWORD codePage = 0;
    const BYTE* data = nullptr;  // points into the image
    DWORD size = 0;
};

// What a lookup found: an entry, or the platform's error code for the level it stopped at
// (ERROR_RESOURCE_DATA_NOT_FOUND, _TYPE_, _NAME_ or _LANG_NOT_FOUND).
struct ResourceLookup {
    const ResourceEntry* entry = nullptr;
    DWORD error = ERROR_SUCCESS;
};

// What a lookup settles for when none of the languages asked for is present.
enum class LanguageFallback {
    None,           // nothing: ERROR_RESOURCE_LANG_NOT_FOUND
    FirstLanguage,  // the first language the name has
};

// The resources of one image, in directory order (by type, then name, then language).
// Entries never move once the index is built, so their addresses serve as handles.
class ResourceIndex {
public:
    // The entries of one type and name: entries()[begin, end).
    struct Group {
        ResourceKey type;
        ResourceKey name;
        size_t begin = 0;
        size_t end = 0;
    };

    // An image without a resource directory.
    ResourceIndex() = default;
    ResourceIndex(std::vector<ResourceEntry> entries, std::vector<Group> groups, std::vector<ResourceKey> types)
        : entries_(std::move(entries)), groups_(std::move(groups)), types_(std::move(types)), hasDirectory_(true) {}

    std::span<const ResourceEntry> entries() const { return entries_; }
    bool hasDirectory() const { return hasDirectory_; }
    bool Owns(const void* entry) const;

    // The entry of `type` and `name` in the first of `languages` present; when none is,
    // what `fallback` settles for.
    [[nodiscard]] ResourceLookup Find(const ResourceKey& type, const ResourceKey& name,
                                      std::span<const LANGID> languages, LanguageFallback fallback) const;

private:
    std::vector<ResourceEntry> entries_;
    std::vector<Group> groups_;
    std::vector<ResourceKey> types_;
    bool hasDirectory_ = false;
};

// Indexes the resource directory of a parsed image. An image without a resource directory
// gives an empty index; a malformed directory gives an error.
[[nodiscard]] Expected<ResourceIndex> IndexPeResources(const PeImage& image);

// Parse + IndexPeResources over [data, data + size). The entries point into the bytes,
// which must outlive the index.
[[nodiscard]] Expected<ResourceIndex> ReadPeResources(const BYTE* data, size_t size);

// Turns a Win32 resource argument into a key, as the platform does: an integer resource
// (MAKEINTRESOURCE), "#123" (decimal digits after '#', up to the first non-digit) or a
// name. An error for a "#" number that does not fit in 16 bits, or a name that is not
// valid in the ANSI code page.
[[nodiscard]] Expected<ResourceKey> ResourceKeyFromArgument(LPCSTR value);

}  // namespace navo::win32
