// A bounded reader of ELF section headers: finds a named section's bytes in a file image.
#pragma once

#include "formats/byte_reader.h"

namespace navo::win32 {

// The file bytes of the section called `name` in the ELF file in `file` (32- or 64-bit,
// little-endian). An error when the file is not such an ELF file, when its section table
// or names run past the end, when no section has that name, or when the section has no
// bytes in the file (SHT_NOBITS).
[[nodiscard]] Expected<ByteView> FindElfSection(ByteView file, const char* name);

}  // namespace navo::win32
