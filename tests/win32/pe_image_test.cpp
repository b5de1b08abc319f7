// The PE resource reader: a real image, and images cut or damaged at every boundary.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pe_image.h"

namespace {

using navo::win32::ReadPeResources;
using navo::win32::ResourceIndex;

std::vector<BYTE> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

// A resource-only image built by llvm-rc and lld-link from the library's own script.
std::vector<BYTE> LibraryImage() {
    return ReadFile(NAVOTOOLS_RESOURCE_IMAGE);
}

TEST(PeResources, RealImageListsStringBlocksInBothLanguagesAndTheVersion) {
    std::vector<BYTE> image = LibraryImage();
    ASSERT_FALSE(image.empty());
    ResourceIndex index = ReadPeResources(image.data(), image.size());
    ASSERT_TRUE(index.ok()) << index.error;
    int english = 0, korean = 0, version = 0;
    for (const auto& e : index.entries) {
        if (e.type.isId && e.type.id == 6) (e.language == 1033 ? english : korean)++;
        if (e.type.isId && e.type.id == 16 && e.name.id == 1) ++version;
    }
    EXPECT_EQ(english, 7);
    EXPECT_EQ(korean, 7);
    EXPECT_EQ(version, 1);
}

TEST(PeResources, ImageCutAtEveryLengthFailsCleanlyOrStaysInside) {
    std::vector<BYTE> image = LibraryImage();
    ASSERT_FALSE(image.empty());
    for (size_t cut = 0; cut < image.size(); ++cut) {
        std::vector<BYTE> part(image.begin(), image.begin() + cut);
        ResourceIndex index = ReadPeResources(part.data(), part.size());
        for (const auto& e : index.entries) {
            ASSERT_GE(e.data, part.data());
            ASSERT_LE(size_t(e.data - part.data()) + e.size, part.size()) << "cut at " << cut;
        }
    }
}

TEST(PeResources, DamagedFieldsGiveAnErrorNotACrash) {
    std::vector<BYTE> image = LibraryImage();
    ASSERT_FALSE(image.empty());
    int failures = 0;
    // Flip every byte of the headers and the resource directory in turn.
    for (size_t at = 0; at < image.size(); ++at) {
        std::vector<BYTE> bad = image;
        bad[at] ^= 0xFF;
        ResourceIndex index = ReadPeResources(bad.data(), bad.size());
        if (!index.ok()) {
            ++failures;
            EXPECT_TRUE(index.entries.empty());
        }
        for (const auto& e : index.entries) ASSERT_LE(size_t(e.data - bad.data()) + e.size, bad.size());
    }
    EXPECT_GT(failures, 0);
}

TEST(PeResources, NonImagesAreRefusedWithAReason) {
    const BYTE elf[] = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0};
    ResourceIndex index = ReadPeResources(elf, sizeof elf);
    EXPECT_FALSE(index.ok());
    EXPECT_NE(index.error.find("MZ"), std::string::npos);
    EXPECT_FALSE(ReadPeResources(nullptr, 0).ok());
    std::vector<BYTE> mzOnly(64, 0);
    mzOnly[0] = 'M';
    mzOnly[1] = 'Z';
    mzOnly[0x3C] = 0xF0;  // e_lfanew past the end
    EXPECT_FALSE(ReadPeResources(mzOnly.data(), mzOnly.size()).ok());
}

TEST(ResourceKeys, NumbersNamesAndHashStrings) {
    navo::win32::ResourceKey key;
    ASSERT_TRUE(navo::win32::MakeResourceKey(MAKEINTRESOURCEA(501), key));
    EXPECT_TRUE(key.isId);
    EXPECT_EQ(key.id, 501);
    ASSERT_TRUE(navo::win32::MakeResourceKey("#16", key));
    EXPECT_TRUE(key.isId);
    EXPECT_EQ(key.id, 16);
    EXPECT_FALSE(navo::win32::MakeResourceKey("#65536", key));
    EXPECT_FALSE(navo::win32::MakeResourceKey("#1x", key));
    ASSERT_TRUE(navo::win32::MakeResourceKey("MyData", key));
    EXPECT_FALSE(key.isId);
    EXPECT_EQ(key.name, u"MYDATA");
}

}  // namespace
