// The ELF section table of bytes in memory, read by the same reader as a file's
// (formats/pe_file.h), through a window over the bytes.
#include "formats/elf_sections.h"

#include "formats/pe_file.h"

namespace navo::win32 {

Expected<ByteView> FindElfSection(ByteView file, const char* name) {
    FileWindow window(file);
    auto section = FindElfFileSection(window, name);
    if (!section) return section.error();
    return CantFail(file.Sub(size_t(section->offset), size_t(section->size), "section"));
}

}  // namespace navo::win32
