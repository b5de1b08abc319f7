// Reads arbitrary bytes as a file read in pieces (headers, the path to a resource, the
// compact resource image, an ELF section) and checks each answer against the whole-file
// readers: wherever those can read the input, the piecewise readers find the same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/elf_sections.h"
#include "formats/pe_file.h"
#include "formats/pe_image.h"

using namespace navo::win32;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input's length: no slack after it for a read to hide in.
    std::vector<uint8_t> bytes(data, data + size);
    const ByteView view(bytes.data(), bytes.size());
    FileWindow file(view);
    const LANGID languages[] = {1033, 0};

    auto headers = ReadPeFileHeaders(file);
    auto whole = PeImage::Parse(view);
    if (bool(headers) != bool(whole)) __builtin_trap();
    if (headers) {
        auto index = IndexPeResources(*whole);
        for (WORD type : {WORD(16), WORD(6), WORD(3)}) {
            auto path = FindPeFileResource(file, *headers, type, 1, languages, LanguageFallback::FirstLanguage);
            if (path && path->error == ERROR_SUCCESS && (path->offset > size || path->size > size - path->offset))
                __builtin_trap();
            if (!index) continue;
            // The whole tree reads: the path through it reads too, to the same entry.
            if (!path) __builtin_trap();
            auto found = index->Find(ResourceKey::Id(type), ResourceKey::Id(1), languages, LanguageFallback::FirstLanguage);
            if (found.entry ? path->error != ERROR_SUCCESS || path->offset != uint64_t(found.entry->data - bytes.data()) ||
                                  path->size != found.entry->size
                            : path->error != found.error)
                __builtin_trap();
        }
        auto image = ReadPeResourceImage(file);
        if (image) {
            auto compact = ReadPeResources(image->data(), image->size());
            if (compact) {
                if (!index || compact->entries().size() != index->entries().size()) __builtin_trap();
                for (size_t i = 0; i < compact->entries().size(); ++i) {
                    const ResourceEntry& a = compact->entries()[i];
                    const ResourceEntry& b = index->entries()[i];
                    if (a.size != b.size || !(a.type == b.type) || !(a.name == b.name) || a.language != b.language)
                        __builtin_trap();
                    for (DWORD k = 0; k < a.size; ++k)
                        if (a.data[k] != b.data[k]) __builtin_trap();
                }
            }
        }
    }
    auto section = FindElfFileSection(file, ".rsrc");
    auto wholeSection = FindElfSection(view, ".rsrc");
    if (bool(section) != bool(wholeSection)) __builtin_trap();
    if (section && (section->offset != uint64_t(wholeSection->data() - bytes.data()) || section->size != wholeSection->size()))
        __builtin_trap();
    if (!section && section.error().Message() != wholeSection.error().Message()) __builtin_trap();
    return 0;
}
