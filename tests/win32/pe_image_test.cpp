// The bounded PE reader and its resource index: real images made by llvm-rc and lld-link,
// small images described field by field and damaged one field at a time, and images cut
// at every length. Also the ELF section reader that finds an executable's resources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "formats/elf_sections.h"
#include "formats/pe_image.h"

namespace {

using navo::win32::ByteView;
using navo::win32::PeImage;
using navo::win32::ReadPeResources;
using navo::win32::ResourceKey;

std::vector<BYTE> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

std::vector<BYTE> Fixture(const char* name) { return ReadFile(std::string(NAVOTOOLS_TEST_BINARY_DIR "/") + name); }

void Put16(std::vector<BYTE>& b, size_t at, WORD v) {
    b[at] = BYTE(v);
    b[at + 1] = BYTE(v >> 8);
}
void Put32(std::vector<BYTE>& b, size_t at, DWORD v) {
    for (int i = 0; i < 4; ++i) b[at + i] = BYTE(v >> (8 * i));
}

// A resource directory with one resource, laid out at fixed offsets so that a test can
// name the field it damages.
struct TreeLayout {
    static constexpr size_t kRootIdCount = 14;
    static constexpr size_t kTypeEntry = 16;        // ID, then target at +4
    static constexpr size_t kNameDirectory = 24;
    static constexpr size_t kNameEntry = 40;
    static constexpr size_t kLanguageDirectory = 48;
    static constexpr size_t kLanguageEntry = 64;
    static constexpr size_t kDataEntry = 72;        // RVA, size, code page, reserved
    static constexpr size_t kNameString = 88;       // count, then UTF-16 units
    static constexpr size_t kData = 128;
    static constexpr size_t kSize = 160;
};

constexpr DWORD kRsrcRva = 0x1000;
constexpr DWORD kRawOffset = 0x200;

// type 10 (RT_RCDATA), name "DATA" (or ID 1), language 1033, the bytes "abc".
std::vector<BYTE> OneResourceTree(bool namedResource = true) {
    using L = TreeLayout;
    std::vector<BYTE> t(L::kSize, 0);
    Put16(t, L::kRootIdCount, 1);
    Put32(t, L::kTypeEntry, 10);
    Put32(t, L::kTypeEntry + 4, 0x80000000u | L::kNameDirectory);
    Put16(t, L::kNameDirectory + (namedResource ? 12 : 14), 1);
    Put32(t, L::kNameEntry, namedResource ? 0x80000000u | L::kNameString : 1);
    Put32(t, L::kNameEntry + 4, 0x80000000u | L::kLanguageDirectory);
    Put16(t, L::kLanguageDirectory + 14, 1);
    Put32(t, L::kLanguageEntry, 1033);
    Put32(t, L::kLanguageEntry + 4, L::kDataEntry);
    Put32(t, L::kDataEntry, kRsrcRva + L::kData);
    Put32(t, L::kDataEntry + 4, 3);
    Put16(t, L::kNameString, 4);
    const char16_t name[] = u"Data";  // stored as written: the reader upper-cases it
    for (int i = 0; i < 4; ++i) Put16(t, L::kNameString + 2 + 2 * i, WORD(name[i]));
    memcpy(&t[L::kData], "abc", 3);
    return t;
}

// The headers of a one-section image. Each field a test may damage is named here.
struct ImageDescription {
    DWORD lfanew = 0x40;
    WORD optionalMagic = 0x20B;  // PE32+; 0x10B is PE32
    DWORD rvaCount = 16;
    int optionalSizeDelta = 0;   // added to the size the directories need
    WORD sectionCount = 1;
    DWORD directoryRva = kRsrcRva;
    DWORD directorySize = TreeLayout::kSize;
    DWORD sectionVirtualSize = TreeLayout::kSize;
    DWORD sectionRawSize = 0x200;
    DWORD sectionRawSizeInHeader = 0;  // 0: sectionRawSize; more claims bytes the file lacks
    std::vector<BYTE> tree = OneResourceTree();
};

std::vector<BYTE> BuildImage(const ImageDescription& d) {
    const bool plus = d.optionalMagic == 0x20B;
    const size_t directoriesAt = plus ? 112 : 96;
    const size_t optionalSize = size_t(int(directoriesAt + 16 * 8) + d.optionalSizeDelta);
    std::vector<BYTE> b(kRawOffset + d.sectionRawSize, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, d.lfanew);
    if (d.lfanew + 4 + 20 + optionalSize + 40 > kRawOffset) return b;  // headers no longer fit: only e_lfanew matters
    memcpy(&b[d.lfanew], "PE\0\0", 4);
    const size_t coff = d.lfanew + 4;
    Put16(b, coff, 0x8664);
    Put16(b, coff + 2, d.sectionCount);
    Put16(b, coff + 16, WORD(optionalSize));
    const size_t opt = coff + 20;
    Put16(b, opt, d.optionalMagic);
    Put32(b, opt + (plus ? 108 : 92), d.rvaCount);
    if (optionalSize >= directoriesAt + 3 * 8) {
        Put32(b, opt + directoriesAt + 2 * 8, d.directoryRva);
        Put32(b, opt + directoriesAt + 2 * 8 + 4, d.directorySize);
    }
    const size_t section = opt + optionalSize;
    memcpy(&b[section], ".rsrc", 5);
    Put32(b, section + 8, d.sectionVirtualSize);
    Put32(b, section + 12, kRsrcRva);
    Put32(b, section + 16, d.sectionRawSizeInHeader ? d.sectionRawSizeInHeader : d.sectionRawSize);
    Put32(b, section + 20, kRawOffset);
    std::copy(d.tree.begin(), d.tree.begin() + std::min(d.tree.size(), size_t(d.sectionRawSize)), b.begin() + kRawOffset);
    return b;
}

TEST(PeImageReader, DescribedImageIndexesItsOneNamedResource) {
    for (WORD magic : {WORD(0x20B), WORD(0x10B)}) {
        ImageDescription d;
        d.optionalMagic = magic;
        std::vector<BYTE> image = BuildImage(d);
        auto index = ReadPeResources(image.data(), image.size());
        ASSERT_TRUE(index) << index.error().Message();
        ASSERT_EQ(index->entries().size(), 1u);
        const auto& e = index->entries()[0];
        EXPECT_EQ(e.type, ResourceKey::Id(10));
        EXPECT_EQ(e.name, ResourceKey::Name(u"DATA"));
        EXPECT_EQ(e.language, 1033);
        ASSERT_EQ(e.size, 3u);
        EXPECT_EQ(e.data, image.data() + kRawOffset + TreeLayout::kData);
        EXPECT_EQ(memcmp(e.data, "abc", 3), 0);
    }
}

TEST(PeImageReader, ImageWithoutResourceDirectoryHasNoResources) {
    ImageDescription d;
    d.directoryRva = 0;
    d.directorySize = 0;
    std::vector<BYTE> image = BuildImage(d);
    auto index = ReadPeResources(image.data(), image.size());
    ASSERT_TRUE(index) << index.error().Message();
    EXPECT_FALSE(index->hasDirectory());
    EXPECT_TRUE(index->entries().empty());
    // Fewer than three data directories: the resource directory is absent, not misread.
    d = ImageDescription();
    d.rvaCount = 2;
    image = BuildImage(d);
    index = ReadPeResources(image.data(), image.size());
    ASSERT_TRUE(index) << index.error().Message();
    EXPECT_FALSE(index->hasDirectory());
}

struct Damage {
    const char* name;
    std::function<void(ImageDescription&)> describe;
    const char* errorMentions;
};

TEST(PeImageReader, EachDamagedFieldFailsWithItsOwnReason) {
    using L = TreeLayout;
    const Damage cases[] = {
        {"e_lfanew past the end", [](ImageDescription& d) { d.lfanew = 0x7FFFFFF0; }, "PE signature"},
        {"unknown optional magic", [](ImageDescription& d) { d.optionalMagic = 0x107; }, "unknown magic"},
        {"directories past the optional header", [](ImageDescription& d) { d.optionalSizeDelta = -8 * 14; },
         "data directories"},
        {"section table past the end", [](ImageDescription& d) { d.sectionCount = 0xFFFF; }, "section table"},
        {"directory in no section", [](ImageDescription& d) { d.directoryRva = 0x9000; }, "no section"},
        {"directory smaller than a header", [](ImageDescription& d) { d.directorySize = 8; }, "smaller than its header"},
        {"directory larger than its section", [](ImageDescription& d) { d.directorySize = 0x10000; },
         "runs past its section"},
        {"type count past the end", [](ImageDescription& d) { Put16(d.tree, L::kRootIdCount, 0xFFFF); },
         "type directory: entries past the end"},
        {"type entry is not a subdirectory", [](ImageDescription& d) { Put32(d.tree, L::kTypeEntry + 4, L::kNameDirectory); },
         "not a subdirectory"},
        {"name directory past the end",
         [](ImageDescription& d) { Put32(d.tree, L::kTypeEntry + 4, 0x80000000u | 0x7FFFFFF0u); },
         "name directory: header past the end"},
        {"name string past the end", [](ImageDescription& d) { Put16(d.tree, L::kNameString, 0x7FFF); },
         "name string past the end"},
        {"name string offset past the end",
         [](ImageDescription& d) { Put32(d.tree, L::kNameEntry, 0x80000000u | 0x7FFFFFFFu); }, "name string past the end"},
        {"language entry names a subdirectory",
         [](ImageDescription& d) { Put32(d.tree, L::kLanguageEntry + 4, 0x80000000u | L::kLanguageDirectory); },
         "language entry: a subdirectory"},
        {"language entry is a name",
         [](ImageDescription& d) { Put32(d.tree, L::kLanguageEntry, 0x80000000u | L::kNameString); },
         "language entry: a name"},
        {"data entry past the end", [](ImageDescription& d) { Put32(d.tree, L::kLanguageEntry + 4, 0x7FFFFFF0u); },
         "data entry: past the end"},
        {"data in no section", [](ImageDescription& d) { Put32(d.tree, L::kDataEntry, 0x50000); }, "RVA in no section"},
        {"data longer than its section", [](ImageDescription& d) { Put32(d.tree, L::kDataEntry + 4, 0xFFFFFFFFu); },
         "runs past its section"},
        {"section raw data past the file",
         [](ImageDescription& d) {
             d.sectionVirtualSize = 0x10000;
             d.sectionRawSizeInHeader = 0x10000;
         },
         "section data past the end of the file"},
    };
    for (const Damage& c : cases) {
        ImageDescription d;
        c.describe(d);
        std::vector<BYTE> image = BuildImage(d);
        auto index = ReadPeResources(image.data(), image.size());
        ASSERT_FALSE(index) << c.name;
        EXPECT_NE(index.error().what.find(c.errorMentions), std::string::npos)
                << c.name << ": " << index.error().Message();
    }
}

TEST(PeImageReader, NonImagesAreRefusedWithAReason) {
    const BYTE elf[] = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0};
    auto index = ReadPeResources(elf, sizeof elf);
    ASSERT_FALSE(index);
    EXPECT_NE(index.error().what.find("MZ"), std::string::npos);
    EXPECT_FALSE(ReadPeResources(nullptr, 0));
    const BYTE mz[] = {'M', 'Z'};
    EXPECT_FALSE(ReadPeResources(mz, sizeof mz));
}

TEST(PeImageReader, SharedSubdirectoriesCannotMultiplyTheWalk) {
    // 100 types that all point at one name directory of 100 names that all point at one
    // language directory: ten thousand leaves from a tree of a few kilobytes.
    constexpr size_t kCount = 100;
    const size_t nameDir = 16 + kCount * 8;
    const size_t langDir = nameDir + 16 + kCount * 8;
    const size_t dataEntry = langDir + 16 + 8;
    std::vector<BYTE> tree(dataEntry + 16 + 16, 0);
    Put16(tree, 14, kCount);
    Put16(tree, nameDir + 14, kCount);
    for (size_t i = 0; i < kCount; ++i) {
        Put32(tree, 16 + i * 8, DWORD(i + 1));
        Put32(tree, 16 + i * 8 + 4, 0x80000000u | DWORD(nameDir));
        Put32(tree, nameDir + 16 + i * 8, DWORD(i + 1));
        Put32(tree, nameDir + 16 + i * 8 + 4, 0x80000000u | DWORD(langDir));
    }
    Put16(tree, langDir + 14, 1);
    Put32(tree, langDir + 16, 1033);
    Put32(tree, langDir + 20, DWORD(dataEntry));
    Put32(tree, dataEntry, kRsrcRva + DWORD(dataEntry) + 16);
    Put32(tree, dataEntry + 4, 4);
    ImageDescription d;
    d.tree = tree;
    d.directorySize = d.sectionVirtualSize = DWORD(tree.size());
    d.sectionRawSize = DWORD((tree.size() + 0x1FF) & ~size_t(0x1FF));
    std::vector<BYTE> image = BuildImage(d);
    auto index = ReadPeResources(image.data(), image.size());
    ASSERT_FALSE(index);
    EXPECT_NE(index.error().what.find("more entries than the directory can hold"), std::string::npos)
        << index.error().Message();
}

// The first byte past which the file must extend for its resources to be read: the end of
// the file-backed part of the section holding the resource directory.
size_t ResourceSectionEnd(const std::vector<BYTE>& file) {
    auto image = PeImage::Parse(ByteView(file.data(), file.size()));
    if (!image) return 0;
    const DWORD rva = image->Directory(navo::win32::kPeDirectoryResource).rva;
    for (const auto& s : image->sections()) {
        DWORD extent = s.virtualSize ? s.virtualSize : s.rawSize;
        if (rva >= s.virtualAddress && rva - s.virtualAddress < extent)
            return size_t(s.rawOffset) + std::min(extent, s.rawSize);
    }
    return 0;
}

TEST(PeImageReader, FixtureCutAtEveryLengthFailsUntilItsResourcesAreWhole) {
    for (const char* name : {"strings_by_language.dll", "named_resources.dll"}) {
        std::vector<BYTE> file = Fixture(name);
        ASSERT_FALSE(file.empty()) << name;
        auto whole = ReadPeResources(file.data(), file.size());
        ASSERT_TRUE(whole) << whole.error().Message();
        const size_t needed = ResourceSectionEnd(file);
        ASSERT_GT(needed, 0u);
        ASSERT_LE(needed, file.size());
        for (size_t cut = 0; cut < file.size(); ++cut) {
            // A copy of exactly `cut` bytes, so that a read past its end is caught by ASan.
            std::vector<BYTE> part(file.begin(), file.begin() + cut);
            auto index = ReadPeResources(part.data(), part.size());
            if (cut < needed) {
                ASSERT_FALSE(index) << name << " cut at " << cut;
                EXPECT_FALSE(index.error().what.empty());
            } else {
                ASSERT_TRUE(index) << name << " cut at " << cut << ": " << index.error().Message();
                EXPECT_EQ(index->entries().size(), whole->entries().size());
            }
        }
    }
}

TEST(PeImageReader, FixtureWithAnyByteFlippedStaysInsideTheImage) {
    std::vector<BYTE> file = Fixture("named_resources.dll");
    ASSERT_FALSE(file.empty());
    const size_t end = std::min(ResourceSectionEnd(file), file.size());
    int failures = 0;
    for (size_t at = 0; at < end; ++at) {
        std::vector<BYTE> bad = file;
        bad[at] ^= 0xFF;
        auto index = ReadPeResources(bad.data(), bad.size());
        if (!index) {
            ++failures;
            continue;
        }
        for (const auto& e : index->entries()) {
            ASSERT_GE(e.data, bad.data()) << "flip at " << at;
            ASSERT_LE(size_t(e.data - bad.data()), bad.size() - e.size) << "flip at " << at;
        }
    }
    EXPECT_GT(failures, 0);
}

TEST(PeImageReader, RealImageListsItsResourcesInDirectoryOrder) {
    std::vector<BYTE> file = Fixture("named_resources.dll");
    auto index = ReadPeResources(file.data(), file.size());
    ASSERT_TRUE(index) << index.error().Message();
    // Two languages of GREETING, LONGERNAME, 7 of RT_RCDATA, the version, the named type.
    int greeting = 0, version = 0, custom = 0;
    for (const auto& e : index->entries()) {
        if (e.type == ResourceKey::Id(10) && e.name == ResourceKey::Name(u"greeting")) ++greeting;
        if (e.type == ResourceKey::Id(16) && e.name == ResourceKey::Id(1)) ++version;
        if (e.type == ResourceKey::Name(u"NavoData")) ++custom;
    }
    EXPECT_EQ(greeting, 2);
    EXPECT_EQ(version, 1);
    EXPECT_EQ(custom, 1);
    // Directories list named entries before IDs; the index keeps the directory's order.
    const auto entries = index->entries();
    for (size_t i = 1; i < entries.size(); ++i)
        if (entries[i].type == entries[i - 1].type && !entries[i].name.isId) {
            EXPECT_FALSE(entries[i - 1].name.isId) << "entry " << i;
        }
}

TEST(ResourceArguments, IntegersHashNumbersAndNames) {
    auto id = navo::win32::ResourceKeyFromArgument(MAKEINTRESOURCEA(501));
    ASSERT_TRUE(id);
    EXPECT_EQ(*id, ResourceKey::Id(501));
    auto hash = navo::win32::ResourceKeyFromArgument("#16");
    ASSERT_TRUE(hash);
    EXPECT_EQ(*hash, ResourceKey::Id(16));
    // The number ends at the first non-digit, as the platform reads it.
    auto partial = navo::win32::ResourceKeyFromArgument("#12x");
    ASSERT_TRUE(partial);
    EXPECT_EQ(*partial, ResourceKey::Id(12));
    EXPECT_FALSE(navo::win32::ResourceKeyFromArgument("#65536"));
    EXPECT_FALSE(navo::win32::ResourceKeyFromArgument("#99999999999"));
    auto name = navo::win32::ResourceKeyFromArgument("MyData");
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, ResourceKey::Name(u"MYDATA"));
    EXPECT_EQ(*navo::win32::ResourceKeyFromArgument("caf\xc3\xa9"), ResourceKey::Name(u"CAF\u00c9"));
}

TEST(ElfSections, FindsSectionsOfThisExecutableAndRefusesCutCopies) {
    std::vector<BYTE> self = ReadFile("/proc/self/exe");
    ASSERT_FALSE(self.empty());
    auto text = navo::win32::FindElfSection(ByteView(self.data(), self.size()), ".text");
    ASSERT_TRUE(text) << text.error().Message();
    EXPECT_GT(text->size(), 0u);
    EXPECT_GE(text->data(), self.data());
    EXPECT_LE(size_t(text->data() - self.data()), self.size() - text->size());
    auto missing = navo::win32::FindElfSection(ByteView(self.data(), self.size()), ".no-such-section");
    ASSERT_FALSE(missing);
    // .bss has no bytes in the file.
    EXPECT_FALSE(navo::win32::FindElfSection(ByteView(self.data(), self.size()), ".bss"));
    // The section table sits at the end of the file: every shorter copy loses it.
    for (size_t cut : {size_t(0), size_t(4), size_t(63), size_t(64), self.size() / 2, self.size() - 1}) {
        std::vector<BYTE> part(self.begin(), self.begin() + cut);
        EXPECT_FALSE(navo::win32::FindElfSection(ByteView(part.data(), part.size()), ".text")) << cut;
    }
    EXPECT_FALSE(navo::win32::FindElfSection(ByteView(), ".text"));
}

}  // namespace
