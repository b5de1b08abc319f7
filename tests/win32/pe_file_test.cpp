// Reading module files in pieces: the path walk to one resource, the compact resource
// image and the ELF section finder agree with the whole-file readers on real images made
// by the toolchain (and Wine's DLLs where installed), on every cut of a version DLL, and
// on a file that shrinks while it is read; a window that learns the file's size as it
// reads answers as one given the size.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/elf_sections.h"
#include "formats/pe_file.h"
#include "formats/pe_image.h"

namespace {

using namespace navo::win32;

std::vector<BYTE> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

// An open descriptor, closed at the end of the scope.
struct Fd {
    explicit Fd(const std::string& path) : fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~Fd() {
        if (fd >= 0) close(fd);
    }
    int fd;
};

const LANGID kLanguages[] = {1042, 1033, 0};

// The path walk over `file` (whose bytes are `bytes`) finds what the whole-tree index
// finds, wherever the index can be built. Types: version, string, message table.
void ExpectPathWalkAgrees(FileWindow& file, const std::vector<BYTE>& bytes, const std::string& what) {
    auto whole = ReadPeResources(bytes.data(), bytes.size());
    auto headers = ReadPeFileHeaders(file);
    ASSERT_EQ(bool(headers), bool(PeImage::Parse(ByteView(bytes.data(), bytes.size())))) << what;
    if (!headers || !whole) return;
    for (WORD type : {WORD(16), WORD(6), WORD(11)}) {
        for (LanguageFallback fallback : {LanguageFallback::FirstLanguage, LanguageFallback::None}) {
            auto found = whole->Find(ResourceKey::Id(type), ResourceKey::Id(1), kLanguages, fallback);
            auto path = FindPeFileResource(file, *headers, type, 1, kLanguages, fallback);
            ASSERT_TRUE(path) << what << ": " << path.error().Message();
            if (!found.entry) {
                EXPECT_EQ(path->error, found.error) << what << " type " << type;
                continue;
            }
            EXPECT_EQ(path->error, DWORD(ERROR_SUCCESS)) << what << " type " << type;
            EXPECT_EQ(path->offset, uint64_t(found.entry->data - bytes.data())) << what << " type " << type;
            EXPECT_EQ(path->size, found.entry->size) << what << " type " << type;
            EXPECT_EQ(path->language, found.entry->language) << what << " type " << type;
        }
    }
}

// The compact image indexes to the same resources, with the same bytes, as the file.
void ExpectCompactImageAgrees(FileWindow& file, const std::vector<BYTE>& bytes, const std::string& what) {
    auto image = ReadPeResourceImage(file);
    if (!image) return;
    auto compact = ReadPeResources(image->data(), image->size());
    if (!compact) return;  // its reader falls back to the whole file
    EXPECT_LE(image->size(), bytes.size()) << what;
    auto whole = ReadPeResources(bytes.data(), bytes.size());
    ASSERT_TRUE(whole) << what << ": the compact image indexes, the file does not";
    ASSERT_EQ(compact->entries().size(), whole->entries().size()) << what;
    for (size_t i = 0; i < whole->entries().size(); ++i) {
        const ResourceEntry& a = compact->entries()[i];
        const ResourceEntry& b = whole->entries()[i];
        EXPECT_TRUE(a.type == b.type && a.name == b.name && a.language == b.language && a.size == b.size) << what;
        EXPECT_TRUE(std::equal(a.data, a.data + a.size, b.data)) << what << " entry " << i;
    }
}

std::vector<std::string> RealImages() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(NAVOTOOLS_TEST_BINARY_DIR))
        if (entry.path().extension() == ".dll") files.push_back(entry.path().string());
    // Wine's own DLLs, larger and made by another toolchain, where they are installed.
    std::vector<std::string> wine;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows", error))
        if (entry.path().extension() == ".dll") wine.push_back(entry.path().string());
    std::sort(wine.begin(), wine.end());
    if (wine.size() > 60) wine.resize(60);
    files.insert(files.end(), wine.begin(), wine.end());
    return files;
}

TEST(PeFile, RealImagesReadInPiecesAsWhole) {
    const auto files = RealImages();
    ASSERT_GE(files.size(), 10u);
    size_t withVersion = 0;
    for (const std::string& path : files) {
        const std::vector<BYTE> bytes = ReadFile(path);
        Fd fd(path);
        ASSERT_GE(fd.fd, 0) << path;
        FileWindow file(fd.fd, bytes.size());
        ExpectPathWalkAgrees(file, bytes, path);
        ExpectCompactImageAgrees(file, bytes, path);
        auto headers = ReadPeFileHeaders(file);
        if (headers) {
            auto version = FindPeFileResource(file, *headers, 16, 1, kLanguages, LanguageFallback::FirstLanguage);
            withVersion += version && version->error == ERROR_SUCCESS;
        }
    }
    EXPECT_GE(withVersion, 8u) << "the version fixtures have versions";
}

// Every cut of a version DLL, read through a descriptor whose size is taken as the cut:
// the same answers as the whole-file readers over the cut bytes.
TEST(PeFile, EveryCutAgreesWithTheWholeFileReaders) {
    const std::string path = NAVOTOOLS_TEST_BINARY_DIR "/version_1_2_3_4.dll";
    const std::vector<BYTE> bytes = ReadFile(path);
    ASSERT_FALSE(bytes.empty());
    Fd fd(path);
    for (size_t length = 0; length <= bytes.size(); ++length) {
        const std::vector<BYTE> cut(bytes.begin(), bytes.begin() + std::ptrdiff_t(length));
        FileWindow file(fd.fd, length);
        ExpectPathWalkAgrees(file, cut, "cut at " + std::to_string(length));
        ExpectCompactImageAgrees(file, cut, "cut at " + std::to_string(length));
        if (HasFatalFailure()) return;
    }
}

// What a reader of one file makes of it: each step's answer, or its error's message.
std::string Answers(FileWindow& file) {
    std::string out;
    auto headers = ReadPeFileHeaders(file);
    if (!headers) return "headers: " + headers.error().Message();
    for (WORD type : {WORD(16), WORD(6), WORD(11)}) {
        auto found = FindPeFileResource(file, *headers, type, 1, kLanguages, LanguageFallback::FirstLanguage);
        out += found ? std::to_string(found->error) + "@" + std::to_string(found->offset) + "+" + std::to_string(found->size)
                     : found.error().Message();
        if (found && found->error == ERROR_SUCCESS) {
            auto data = file.Read(found->offset, found->size, "data");
            out += data ? " read" : " " + data.error().Message();
        }
        out += "; ";
    }
    auto image = ReadPeResourceImage(file);
    return out + (image ? std::to_string(image->size()) : image.error().Message());
}

// Every cut of a version DLL, and of a Wine DLL where installed: a window over the cut file
// that learns its size gives the answers, errors and all, of one given the size.
TEST(PeFile, ALearntSizeAnswersAsAGivenOne) {
    std::vector<std::string> files{NAVOTOOLS_TEST_BINARY_DIR "/version_1_2_3_4_x86.dll"};
    if (std::filesystem::exists("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/cards.dll"))
        files.emplace_back("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/cards.dll");
    const std::string path = testing::TempDir() + "navo_pe_file_learnt.dll";
    for (const std::string& source : files) {
        const std::vector<BYTE> bytes = ReadFile(source);
        ASSERT_FALSE(bytes.empty()) << source;
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        }
        Fd fd(path);
        // Every cut of a small file; of a large one, the headers, the resource section and
        // spread lengths.
        std::vector<size_t> lengths;
        for (size_t length = 0; length <= bytes.size(); length += bytes.size() < 65536 ? 1 : 97) lengths.push_back(length);
        lengths.push_back(bytes.size());
        std::sort(lengths.rbegin(), lengths.rend());
        for (size_t length : lengths) {
            ASSERT_EQ(truncate(path.c_str(), off_t(length)), 0);
            FileWindow given(fd.fd, length);
            FileWindow learnt(fd.fd);
            ASSERT_EQ(Answers(learnt), Answers(given)) << source << " cut at " << length;
        }
    }
    std::remove(path.c_str());
}

// A range longer than a chunk is checked by reading its last chunk, which a later read
// finds kept (here the file is emptied in between); a last chunk cut short tells the size.
TEST(PeFile, ALongRangeIsCheckedByItsLastChunk) {
    const std::string path = testing::TempDir() + "navo_pe_file_tail.bin";
    std::vector<BYTE> bytes(FileWindow::kChunk * 5 / 2);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = BYTE(i * 7 + i / 256);
    const auto write = [&] {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    };
    write();
    {
        Fd fd(path);
        FileWindow window(fd.fd);
        EXPECT_TRUE(window.Holds({100, bytes.size() - 100}));
        ASSERT_EQ(truncate(path.c_str(), 0), 0);
        auto tail = window.Read(bytes.size() - 300, 200, "tail");
        ASSERT_TRUE(tail) << tail.error().Message();
        EXPECT_TRUE(std::equal(tail->data(), tail->data() + 200, bytes.end() - 300));
    }
    write();
    {
        Fd fd(path);
        FileWindow window(fd.fd);
        EXPECT_FALSE(window.Holds({0, bytes.size() + 1}));
        ASSERT_EQ(truncate(path.c_str(), 0), 0);
        EXPECT_EQ(window.size(), bytes.size());
    }
    std::remove(path.c_str());
}

TEST(PeFile, ElfSectionFoundAsInTheWholeFile) {
    const std::string path = NAVOTOOLS_TEST_BINARY_DIR "/../libNavoTools.so";
    const std::vector<BYTE> bytes = ReadFile(path);
    ASSERT_GT(bytes.size(), 4096u);
    Fd fd(path);
    // The whole file, then cuts spread over it and every cut of its last 3 KiB, where the
    // section table lies.
    std::vector<size_t> lengths{bytes.size(), 0, 5, 6, 63, 64};
    for (size_t i = 1; i < 64; ++i) lengths.push_back(bytes.size() / 64 * i);
    for (size_t back = 1; back < 3072; ++back) lengths.push_back(bytes.size() - back);
    for (size_t length : lengths) {
        FileWindow file(fd.fd, length);
        for (const char* name : {".rsrc", ".text", ".bss", ".nosuch"}) {
            auto inPieces = FindElfFileSection(file, name);
            auto whole = FindElfSection(ByteView(bytes.data(), length), name);
            ASSERT_EQ(bool(inPieces), bool(whole)) << name << " cut at " << length;
            if (whole) {
                EXPECT_EQ(inPieces->offset, uint64_t(whole->data() - bytes.data())) << name << " cut at " << length;
                EXPECT_EQ(inPieces->size, whole->size()) << name;
            } else {
                EXPECT_EQ(inPieces.error().Message(), whole.error().Message()) << name << " cut at " << length;
            }
        }
    }
}

// A file cut short after its size was taken reads as past its end, not as stale bytes.
TEST(PeFile, AFileThatShrinksReadsAsCut) {
    const std::vector<BYTE> bytes = ReadFile(NAVOTOOLS_TEST_BINARY_DIR "/version_1_2_3_4.dll");
    const std::string path = testing::TempDir() + "navo_pe_file_shrinks.dll";
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    Fd fd(path);
    ASSERT_EQ(truncate(path.c_str(), 512), 0);
    FileWindow file(fd.fd, bytes.size());  // the size taken before the cut
    auto headers = ReadPeFileHeaders(file);
    if (headers) {
        auto version = FindPeFileResource(file, *headers, 16, 1, kLanguages, LanguageFallback::FirstLanguage);
        EXPECT_FALSE(version && version->error == ERROR_SUCCESS);
    }
    auto tail = file.Read(bytes.size() - 16, 16, "tail");
    ASSERT_FALSE(tail);
    EXPECT_EQ(tail.error().offset, bytes.size() - 16) << "nothing read at the tail";
    EXPECT_FALSE(file.Read(bytes.size(), 1, "past the size"));
    std::remove(path.c_str());
}

}  // namespace
