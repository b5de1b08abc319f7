// GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA over real PE32 and
// PE32+ files: the fixed information, the translation table, texts as ANSI copies inside
// the caller's block, the platform's errors, and damaged files that must fail cleanly.
#include <gtest/gtest.h>

#include <windows.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include "platform.h"
#include "test_constants.h"


namespace {


std::string FixturePath(const std::string& name) { return std::string(NAVOTOOLS_TEST_BINARY_DIR "/") + name; }

std::vector<BYTE> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// True for a PE32+ image, false for PE32: the optional header's magic, read straight from
// the file's bytes (e_lfanew at 0x3C, the magic 24 bytes past the "PE\0\0" signature).
bool IsPe32Plus(const std::vector<BYTE>& bytes) {
    EXPECT_GE(bytes.size(), 0x40u);
    if (bytes.size() < 0x40) return false;
    const size_t header = size_t(bytes[0x3C]) | size_t(bytes[0x3D]) << 8 | size_t(bytes[0x3E]) << 16 |
                          size_t(bytes[0x3F]) << 24;
    EXPECT_LT(header + 26, bytes.size());
    if (header + 26 >= bytes.size()) return false;
    EXPECT_EQ(std::memcmp(&bytes[header], "PE\0\0", 4), 0);
    return (size_t(bytes[header + 24]) | size_t(bytes[header + 25]) << 8) == 0x20B;
}

void WriteFile(const std::string& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A scratch file in the tests' binary folder, removed at the end of the test.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& name, const std::vector<BYTE>& bytes = {})
        : path_(FixturePath("scratch_" + name)) {
        WriteFile(path_, bytes);
    }
    ~ScratchFile() { unlink(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The version block of a file, read the way a caller does: the size, then the block into
// a buffer of exactly that size with a canary past its end.
struct Block {
    std::vector<BYTE> bytes;  // the block, then one canary byte
    size_t size = 0;
    void* data() { return bytes.data(); }
    const BYTE* begin() const { return bytes.data(); }
    const BYTE* end() const { return bytes.data() + size; }
};

Block ReadBlock(const std::string& file) {
    Block block;
    DWORD handle = kUntouched;
    SetLastError(kUntouched);
    block.size = GetFileVersionInfoSizeA(file.c_str(), &handle);
    EXPECT_NE(block.size, 0u) << file << ": error " << GetLastError();
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(handle, 0u);
    block.bytes.assign(block.size + 1, kCanary);
    if (block.size == 0) return block;
    SetLastError(kUntouched);
    EXPECT_TRUE(GetFileVersionInfoA(file.c_str(), 0, DWORD(block.size), block.data())) << GetLastError();
    EXPECT_EQ(block.bytes[block.size], kCanary) << "write past the reported size";
    return block;
}

// A text value of a block, checked to lie inside it and to be as long as it says.
std::string QueryText(Block& block, const char* path) {
    LPVOID value = reinterpret_cast<LPVOID>(uintptr_t(kUntouched));
    UINT length = kUntouched;
    if (!VerQueryValueA(block.data(), path, &value, &length)) {
        ADD_FAILURE() << path << ": error " << GetLastError();
        return {};
    }
    const char* text = static_cast<const char*>(value);
    EXPECT_GE(static_cast<const void*>(text), static_cast<const void*>(block.begin())) << path;
    EXPECT_LE(static_cast<const void*>(text + length), static_cast<const void*>(block.end())) << path;
    EXPECT_EQ(length, strlen(text) + 1) << path;
    return text;
}

const VS_FIXEDFILEINFO* QueryFixed(Block& block, UINT* lengthOut = nullptr) {
    LPVOID value = nullptr;
    UINT length = 0;
    EXPECT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
    EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    if (lengthOut) *lengthOut = length;
    return static_cast<const VS_FIXEDFILEINFO*>(value);
}

// --- Which files and names are read, and what the failures report ------------------------

struct SizeFailure {
    DWORD size;
    DWORD error;
    DWORD handle;
};

SizeFailure SizeOf(const char* name) {
    DWORD handle = kUntouched;
    SetLastError(kUntouched);
    DWORD size = GetFileVersionInfoSizeA(name, &handle);
    return {size, GetLastError(), handle};
}

TEST(FileVersionSize, FailuresReportThePlatformsErrors) {
    SizeFailure f = SizeOf(nullptr);
    EXPECT_EQ(f.size, 0u);
    EXPECT_EQ(f.error, DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(f.handle, 0u) << "the handle is cleared even on failure";
    EXPECT_EQ(SizeOf("").error, DWORD(ERROR_BAD_PATHNAME));
    EXPECT_EQ(SizeOf(FixturePath("no_such_file.dll").c_str()).error, DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(SizeOf(FixturePath("no_such_folder/x.dll").c_str()).error, DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(SizeOf("navotools_no_such_module.dll").error, DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(SizeOf(NAVOTOOLS_TEST_BINARY_DIR).error, DWORD(ERROR_ACCESS_DENIED)) << "a folder";
}

TEST(FileVersionSize, FilesWithoutVersionResourceSayWhatIsMissing) {
    // Resources, but none of the version type.
    for (const char* name : {"no_version.dll", "no_version_x86.dll"}) {
        SizeFailure f = SizeOf(FixturePath(name).c_str());
        EXPECT_EQ(f.size, 0u) << name;
        TodoWine("a file without a version resource fails with ERROR_RESOURCE_DATA_NOT_FOUND",
                 [&] { EXPECT_EQ(f.error, DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND)) << name; });
    }
    // Not an image at all, or an empty file: no resource data.
    ScratchFile text("notes.txt", std::vector<BYTE>{'h', 'e', 'l', 'l', 'o', '\n'});
    EXPECT_EQ(SizeOf(text.path().c_str()).error, DWORD(ERROR_RESOURCE_DATA_NOT_FOUND));
    ScratchFile empty("empty.dll");
    EXPECT_EQ(SizeOf(empty.path().c_str()).error, DWORD(ERROR_RESOURCE_DATA_NOT_FOUND));
    // The test program itself: an ELF file without a resource section.
    char self[4096];
    ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
    EXPECT_EQ(SizeOf(self).error, DWORD(ERROR_RESOURCE_DATA_NOT_FOUND));
}

TEST(FileVersionSize, NamesResolveAsTheLoaderResolvesThem) {
    const DWORD direct = GetFileVersionInfoSizeA(FixturePath("version_2_10_0_150.dll").c_str(), nullptr);
    ASSERT_NE(direct, 0u);
    // Backslashes divide folders; a file name that differs in case is found in its folder.
    std::string backslashed = FixturePath("version_2_10_0_150.dll");
    backslashed[backslashed.find_last_of('/')] = '\\';
    EXPECT_EQ(GetFileVersionInfoSizeA(backslashed.c_str(), nullptr), direct);
    EXPECT_EQ(GetFileVersionInfoSizeA(FixturePath("VERSION_2_10_0_150.DLL").c_str(), nullptr), direct);
    // A bare name is looked for in the application's folder, which holds the fixtures, and
    // gets ".dll" when it has no extension.
    EXPECT_EQ(GetFileVersionInfoSizeA("version_2_10_0_150.dll", nullptr), direct);
    EXPECT_EQ(GetFileVersionInfoSizeA("Version_2_10_0_150", nullptr), direct);
}

// --- The fixed information, PE32 and PE32+ alike ----------------------------------------

struct FixtureVersion {
    const char* stem;
    DWORD ms;
    DWORD ls;
};

class FixedInfo : public testing::TestWithParam<std::tuple<FixtureVersion, const char*>> {};

TEST_P(FixedInfo, RootBlockHoldsTheCompiledNumbers) {
    const auto& [fixture, suffix] = GetParam();
    const std::string file = FixturePath(std::string(fixture.stem) + suffix + ".dll");
    // The two variants really are of the two formats.
    std::vector<BYTE> bytes = ReadFile(file);
    EXPECT_EQ(IsPe32Plus(bytes), std::string(suffix).empty());

    Block block = ReadBlock(file);
    ASSERT_NE(block.size, 0u);
    const VS_FIXEDFILEINFO* fixed = QueryFixed(block);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(fixed) % 4, 0u) << "the record is aligned in the block";
    EXPECT_EQ(fixed->dwSignature, DWORD(VS_FFI_SIGNATURE));
    EXPECT_EQ(fixed->dwStrucVersion, DWORD(VS_FFI_STRUCVERSION));
    EXPECT_EQ(fixed->dwFileVersionMS, fixture.ms);
    EXPECT_EQ(fixed->dwFileVersionLS, fixture.ls);
    EXPECT_EQ(fixed->dwFileOS, DWORD(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_DLL));
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, FixedInfo,
    testing::Combine(testing::Values(FixtureVersion{"version_1_2_3_4", 0x00010002, 0x00030004},
                                     FixtureVersion{"version_2_10_0_150", 0x0002000A, 0x00000096},
                                     FixtureVersion{"version_1_10_0_0", 0x0001000A, 0},
                                     FixtureVersion{"version_2_0_0_0", 0x00020000, 0},
                                     FixtureVersion{"version_4_123_0_5", 0x0004007B, 5}),
                     testing::Values("", "_x86")),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).stem) + (std::string(std::get<1>(info.param)).empty() ? "_pe32plus" : "_pe32");
    });

TEST(FixedInfo, FlagsAndProductVersionComeThrough) {
    Block block = ReadBlock(FixturePath("version_1_2_3_4.dll"));
    const VS_FIXEDFILEINFO* fixed = QueryFixed(block);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileFlags, DWORD(VS_FF_PRERELEASE | VS_FF_SPECIALBUILD));
    EXPECT_EQ(fixed->dwFileFlagsMask, DWORD(VS_FFI_FILEFLAGSMASK));
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
}

// --- Paths of VerQueryValueA ------------------------------------------------------------

class VersionQuery : public testing::Test {
protected:
    void SetUp() override {
        block = ReadBlock(FixturePath("version_1_2_3_4.dll"));
        ASSERT_NE(block.size, 0u);
    }
    Block block;
};

TEST_F(VersionQuery, EmptyOrMissingPathMeansTheRoot) {
    LPVOID root = nullptr, empty = nullptr, none = nullptr;
    UINT a = 0, b = 0, c = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &root, &a));
    ASSERT_TRUE(VerQueryValueA(block.data(), "", &empty, &b));
    ASSERT_TRUE(VerQueryValueA(block.data(), nullptr, &none, &c));
    EXPECT_EQ(root, empty);
    EXPECT_EQ(root, none);
    EXPECT_EQ(a, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(b, a);
    EXPECT_EQ(c, a);
}

TEST_F(VersionQuery, TranslationListsLanguageAndCodePagePairs) {
    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 8u);
    WORD pairs[4];
    memcpy(pairs, value, sizeof pairs);
    EXPECT_EQ(pairs[0], 0x0409);
    EXPECT_EQ(pairs[1], 1200);
    EXPECT_EQ(pairs[2], 0x040C);
    EXPECT_EQ(pairs[3], 1200);
}

TEST_F(VersionQuery, TextsAreAnsiCopiesInsideTheBlock) {
    EXPECT_EQ(QueryText(block, "\\StringFileInfo\\040904b0\\FileVersion"), "1.2.3.4");
    EXPECT_EQ(QueryText(block, "\\StringFileInfo\\040904b0\\FileDescription"), "Version fixture 1.2.3.4");
    EXPECT_EQ(QueryText(block, "\\StringFileInfo\\040904b0\\SpecialBuild"), "fixture");
    EXPECT_EQ(QueryText(block, "\\StringFileInfo\\040c04b0\\FileDescription"), "Fichier d'essai, version 1.2.3.4");
    // Outside ASCII, when the ANSI code page is UTF-8 (always on the Linux layer).
    if (GetACP() == CP_UTF8) {
        EXPECT_EQ(QueryText(block, "\\StringFileInfo\\040904b0\\CompanyName"), "Soci\xC3\xA9t\xC3\xA9 \xED\x95\x9C\xEA\xB8\x80");
    }
    // A text of no characters but its zero.
    EXPECT_EQ(QueryText(block, "\\StringFileInfo\\040904b0\\Comments"), "");
}

TEST_F(VersionQuery, KeysIgnoreCaseAndRepeatedBackslashes) {
    const std::string expected = "1.2.3.4";
    EXPECT_EQ(QueryText(block, "\\stringfileinfo\\040904B0\\FILEVERSION"), expected);
    EXPECT_EQ(QueryText(block, "StringFileInfo\\040904b0\\FileVersion"), expected);
    EXPECT_EQ(QueryText(block, "\\\\StringFileInfo\\\\040904b0\\\\FileVersion\\"), expected);
    LPVOID value = nullptr;
    UINT length = kUntouched;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\\\", &value, &length)) << "only separators: the root";
    EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
}

TEST_F(VersionQuery, BlockNamesGiveTheirEmptyValue) {
    for (const char* path : {"\\StringFileInfo", "StringFileInfo", "\\StringFileInfo\\040904b0", "\\VarFileInfo"}) {
        LPVOID value = reinterpret_cast<LPVOID>(uintptr_t(kUntouched));
        UINT length = kUntouched;
        EXPECT_TRUE(VerQueryValueA(block.data(), path, &value, &length)) << path;
        EXPECT_EQ(length, 0u) << path;
        EXPECT_NE(value, reinterpret_cast<LPVOID>(uintptr_t(kUntouched))) << path;
    }
}

TEST_F(VersionQuery, MissingKeysFailWithoutTouchingTheResult) {
    for (const char* path : {"\\StringFileInfo\\040904b0\\FileVersio", "\\StringFileInfo\\040904b0\\FileVersionX",
                             "\\StringFileInfo\\04090000\\FileVersion", "\\String", "\\StringFileInfo\\040904b0\\FileVersion\\More",
                             "\\VS_VERSION_INFO"}) {
        LPVOID value = reinterpret_cast<LPVOID>(uintptr_t(kUntouched));
        UINT length = kUntouched;
        SetLastError(kUntouched);
        EXPECT_FALSE(VerQueryValueA(block.data(), path, &value, &length)) << path;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND)) << path;
        EXPECT_EQ(length, 0u) << path;
        EXPECT_EQ(value, reinterpret_cast<LPVOID>(uintptr_t(kUntouched))) << path;
    }
}

TEST_F(VersionQuery, AnswersStayValidAndFollowACopiedBlock) {
    LPVOID first = nullptr, second = nullptr;
    UINT length = 0;
    const char* path = "\\StringFileInfo\\040904b0\\FileDescription";
    ASSERT_TRUE(VerQueryValueA(block.data(), path, &first, &length));
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\CompanyName", &second, &length));
    ASSERT_TRUE(VerQueryValueA(block.data(), path, &second, &length));
    EXPECT_EQ(first, second) << "a second query answers with the same copy";
    EXPECT_STREQ(static_cast<const char*>(first), "Version fixture 1.2.3.4") << "later queries leave earlier answers alone";

    // The block holds everything it needs: a copy answers with pointers into the copy.
    std::vector<BYTE> copy(block.begin(), block.end());
    std::fill(block.bytes.begin(), block.bytes.end(), 0);
    LPVOID moved = nullptr;
    ASSERT_TRUE(VerQueryValueA(copy.data(), path, &moved, &length));
    EXPECT_GE(static_cast<BYTE*>(moved), copy.data());
    EXPECT_LT(static_cast<BYTE*>(moved), copy.data() + copy.size());
    EXPECT_STREQ(static_cast<const char*>(moved), "Version fixture 1.2.3.4");
}

TEST(VersionQueryArguments, NullBlockOrResultIsRefused) {
    LPVOID value = nullptr;
    UINT length = 0;
    SetLastError(kUntouched);
    EXPECT_FALSE(VerQueryValueA(nullptr, "\\", &value, &length));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    BYTE block[64] = {};
    EXPECT_FALSE(VerQueryValueA(block, "\\", nullptr, &length));
}

// --- Buffers given to GetFileVersionInfoA -----------------------------------------------

// A buffer too small for the block gets what fits, and the call succeeds; past the buffer
// nothing is written.
TEST(FileVersionBuffer, TooSmallABufferGetsWhatFits) {
    const std::string file = FixturePath("version_1_2_3_4_x86.dll");
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), nullptr);
    ASSERT_NE(size, 0u);
    std::vector<BYTE> whole(size);
    ASSERT_TRUE(GetFileVersionInfoA(file.c_str(), 0, size, whole.data()));
    for (DWORD given : {DWORD(0), DWORD(1), DWORD(40), size / 2, size - 1}) {
        std::vector<BYTE> buffer(size, kCanary);
        EXPECT_TRUE(GetFileVersionInfoA(file.c_str(), 0, given, buffer.data())) << given;
        EXPECT_EQ(std::count(buffer.begin() + given, buffer.end(), kCanary), std::ptrdiff_t(size - given)) << given;
        // The root's value length and type are the block's.
        if (given >= 6) {
            EXPECT_EQ(memcmp(buffer.data() + 2, whole.data() + 2, 4), 0) << given;
        }
    }
    SetLastError(kUntouched);
    EXPECT_FALSE(GetFileVersionInfoA(file.c_str(), 0, size, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
}

#if !defined(_WIN32)
// A query of a cut block stays inside the buffer: the root's length says no more than the
// buffer holds, and what was cut away is not found. (The platform leaves the cut block as it
// is, and a query may read past the buffer.)
TEST(FileVersionBuffer, QueriesOfACutBlockStayInsideIt) {
    const std::string file = FixturePath("version_1_2_3_4_x86.dll");
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), nullptr);
    ASSERT_NE(size, 0u);
    std::vector<BYTE> whole(size);
    ASSERT_TRUE(GetFileVersionInfoA(file.c_str(), 0, size, whole.data()));
    const DWORD rootLength = DWORD(whole[0] | (whole[1] << 8));
    ASSERT_LT(rootLength, size);
    for (DWORD given = 2; given < size; ++given) {
        // Exactly `given` bytes, so that ASan sees any read past them.
        std::vector<BYTE> buffer(given);
        ASSERT_TRUE(GetFileVersionInfoA(file.c_str(), 0, given, buffer.data())) << given;
        EXPECT_LE(DWORD(buffer[0] | (buffer[1] << 8)), given) << given;
        for (const char* query : {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904b0\\FileVersion",
                                  "\\StringFileInfo\\040904b0\\ProductName"}) {
            LPVOID value = nullptr;
            UINT length = 0;
            if (VerQueryValueA(buffer.data(), query, &value, &length)) {
                const BYTE* at = static_cast<const BYTE*>(value);
                EXPECT_GE(at, buffer.data()) << given << " " << query;
                EXPECT_LE(at + length, buffer.data() + given) << given << " " << query;
            }
        }
    }
    // With the root whole, the fixed part is found; the texts are found when their copies fit.
    std::vector<BYTE> rootOnly(((rootLength + 3) & ~3u) + 12);
    ASSERT_TRUE(GetFileVersionInfoA(file.c_str(), 0, DWORD(rootOnly.size()), rootOnly.data()));
    LPVOID fixed = nullptr;
    UINT fixedLength = 0;
    ASSERT_TRUE(VerQueryValueA(rootOnly.data(), "\\", &fixed, &fixedLength));
    EXPECT_EQ(static_cast<const VS_FIXEDFILEINFO*>(fixed)->dwFileVersionMS, 0x00010002u);
    LPVOID text = nullptr;
    UINT textLength = 0;
    EXPECT_FALSE(VerQueryValueA(rootOnly.data(), "\\StringFileInfo\\040904b0\\FileVersion", &text, &textLength));
}
#endif

#if !defined(_WIN32)
// The size reported is known before the block is built, and bounds it: the block in a
// buffer of that size is whole (its table's total fits) and the same as in a larger one.
TEST(FileVersionBuffer, TheReportedSizeHoldsTheWholeBlock) {
    for (const char* name : {"version_1_2_3_4.dll", "version_1_2_3_4_x86.dll", "version_2_10_0_150.dll",
                             "version_4_123_0_5.dll", "version_1_10_0_0.dll", "../libNavoTools.so"}) {
        Block block = ReadBlock(FixturePath(name));
        ASSERT_GE(block.size, 8u) << name;
        const size_t table = (size_t(block.bytes[0] | (block.bytes[1] << 8)) + 3) & ~size_t(3);
        ASSERT_LE(table + 12, block.size) << name;
        EXPECT_EQ(memcmp(block.bytes.data() + table, "FE2X", 4), 0) << name;
        DWORD total = 0;
        memcpy(&total, block.bytes.data() + table + 8, 4);
        EXPECT_LE(total, block.size) << name;
        std::vector<BYTE> larger(size_t(block.size) * 2 + 64, 0);
        ASSERT_TRUE(GetFileVersionInfoA(FixturePath(name).c_str(), 0, DWORD(larger.size()), larger.data()));
        EXPECT_EQ(memcmp(larger.data(), block.bytes.data(), total), 0) << name;
    }
}
#endif

TEST(FileVersionBuffer, ALargerBufferKeepsItsTail) {
    const std::string file = FixturePath("version_2_0_0_0.dll");
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), nullptr);
    ASSERT_NE(size, 0u);
    std::vector<BYTE> buffer(size + 32, kCanary);
    ASSERT_TRUE(GetFileVersionInfoA(file.c_str(), 0, DWORD(buffer.size()), buffer.data()));
    EXPECT_EQ(std::count(buffer.begin() + size, buffer.end(), kCanary), 32);
    // The block starts with the raw VS_VERSIONINFO, its length in the first word.
    WORD rootLength;
    memcpy(&rootLength, buffer.data(), 2);
    EXPECT_LT(rootLength, size);
    EXPECT_EQ(buffer[6], 'V');
}

// --- Damaged files ----------------------------------------------------------------------

// Every result for a damaged copy of a fixture is either a clean failure or the block of
// the intact file (the damage missed everything the version needs).
void ExpectCleanResult(const std::string& path, const std::vector<BYTE>& intact, const std::string& what) {
    SetLastError(kUntouched);
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), nullptr);
    if (size == 0) {
        DWORD error = GetLastError();
        EXPECT_TRUE(error == ERROR_RESOURCE_DATA_NOT_FOUND || error == ERROR_RESOURCE_TYPE_NOT_FOUND ||
                    error == ERROR_RESOURCE_NAME_NOT_FOUND || error == ERROR_RESOURCE_LANG_NOT_FOUND ||
                    error == ERROR_INVALID_DATA)
            << what << ": error " << error;
        return;
    }
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data())) << what;
    LPVOID value = nullptr;
    UINT length = 0;
    if (VerQueryValueA(block.data(), "\\", &value, &length)) {
        EXPECT_GE(static_cast<BYTE*>(value), block.data()) << what;
        EXPECT_LE(static_cast<BYTE*>(value) + length, block.data() + block.size()) << what;
    }
    if (block.size() == intact.size() && block == intact) return;
    // A damaged block that still parses: every text it offers lies inside it.
    if (VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\FileVersion", &value, &length)) {
        EXPECT_GE(static_cast<BYTE*>(value), block.data()) << what;
        EXPECT_LE(static_cast<BYTE*>(value) + length, block.data() + block.size()) << what;
    }
}

class DamagedFile : public testing::TestWithParam<const char*> {};

TEST_P(DamagedFile, EveryCutFailsCleanly) {
    const std::string source = FixturePath(GetParam());
    const std::vector<BYTE> bytes = ReadFile(source);
    ASSERT_FALSE(bytes.empty());
    Block intact = ReadBlock(source);
    const std::vector<BYTE> intactBlock(intact.begin(), intact.end());
    ScratchFile cut(std::string("cut_") + GetParam());
    size_t failures = 0;
    for (size_t length = 0; length < bytes.size(); ++length) {
        WriteFile(cut.path(), std::vector<BYTE>(bytes.begin(), bytes.begin() + std::ptrdiff_t(length)));
        ExpectCleanResult(cut.path(), intactBlock, "cut at " + std::to_string(length));
        if (GetFileVersionInfoSizeA(cut.path().c_str(), nullptr) == 0) ++failures;
    }
    EXPECT_GT(failures, 0u) << "cuts inside the headers must fail";
}

TEST_P(DamagedFile, EveryCorruptedByteFailsCleanly) {
    const std::string source = FixturePath(GetParam());
    const std::vector<BYTE> bytes = ReadFile(source);
    Block intact = ReadBlock(source);
    const std::vector<BYTE> intactBlock(intact.begin(), intact.end());
    ScratchFile damaged(std::string("corrupt_") + GetParam());
    for (size_t at = 0; at < bytes.size(); ++at) {
        for (BYTE value : {BYTE(0x00), BYTE(0xFF), BYTE(0x7F)}) {
            if (bytes[at] == value) continue;
            std::vector<BYTE> copy = bytes;
            copy[at] = value;
            WriteFile(damaged.path(), copy);
            ExpectCleanResult(damaged.path(), intactBlock, "byte " + std::to_string(at) + " set to " + std::to_string(value));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DamagedFile, testing::Values("version_1_2_3_4.dll", "version_1_2_3_4_x86.dll"),
                         [](const auto& info) {
                             std::string name = info.param;
                             return name.find("x86") != std::string::npos ? std::string("pe32") : std::string("pe32plus");
                         });

}  // namespace
