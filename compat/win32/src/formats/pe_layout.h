// The layout of a PE file's headers and resource directory, shared by the reader of an
// image in memory (pe_image.cpp) and the reader of a file in pieces (pe_file.cpp).
#pragma once

#include <windows.h>

#include <cstddef>

namespace navo::win32::pe {

// Layout of the headers, offsets from the start of each structure.
constexpr WORD kDosMagic = 0x5A4D;           // "MZ"
constexpr size_t kDosLfanew = 0x3C;          // e_lfanew
constexpr DWORD kPeSignature = 0x00004550;   // "PE\0\0"
constexpr size_t kCoffHeaderSize = 20;       // Machine .. Characteristics
constexpr size_t kCoffMachine = 0;
constexpr size_t kCoffSectionCount = 2;
constexpr size_t kCoffOptionalSize = 16;
constexpr WORD kPe32Magic = 0x10B;
constexpr WORD kPe32PlusMagic = 0x20B;
constexpr size_t kPe32RvaCount = 92;         // NumberOfRvaAndSizes
constexpr size_t kPe32Directories = 96;
constexpr size_t kPe32PlusRvaCount = 108;
constexpr size_t kPe32PlusDirectories = 112;
constexpr size_t kSectionHeaderSize = 40;    // Name[8], VirtualSize, VirtualAddress, SizeOfRawData, PointerToRawData, ...
constexpr size_t kSectionNameSize = 8;
constexpr size_t kDataDirectorySize = 8;     // VirtualAddress, Size

// Resource directory: a header of 16 bytes (Characteristics, TimeDateStamp, MajorVersion,
// MinorVersion, NumberOfNamedEntries at 12, NumberOfIdEntries at 14) followed by entries of
// 8 bytes (Name or ID, OffsetToData); leaves are data entries of 16 bytes (OffsetToData as
// an RVA, Size, CodePage, Reserved).
constexpr size_t kDirectoryHeaderSize = 16;
constexpr size_t kDirectoryNamedCount = 12;
constexpr size_t kDirectoryIdCount = 14;
constexpr size_t kDirectoryEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr DWORD kHighBit = 0x80000000u;

}  // namespace navo::win32::pe
