// Resources of module handles: FindResource/FindResourceEx with the language search,
// LoadResource/SizeofResource/LockResource, LoadStringA, and the module functions that
// name modules (GetModuleHandleA, GetModuleFileNameA, the ELF registration).
#include <gtest/gtest.h>

#include <windows.h>

#if !defined(_WIN32)
#include <dlfcn.h>
#endif
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform.h"
#include "test_constants.h"

#if !defined(_WIN32)
#include "image_module.h"
#include "navo_module.h"
#endif

namespace {

// A lookup of a type the test program lacks: on Linux it has no resources at all; on
// Windows it has its manifest, so the type is what is missing.
#if defined(_WIN32)
constexpr DWORD kNoStringTableInTheExecutable = ERROR_RESOURCE_TYPE_NOT_FOUND;
#else
constexpr DWORD kNoStringTableInTheExecutable = ERROR_RESOURCE_DATA_NOT_FOUND;
#endif

std::string FixturePath(const char* name) { return std::string(NAVOTOOLS_TEST_BINARY_DIR "/") + name; }

// Loads each fixture once for the whole test program, as LoadLibraryA would.
HMODULE LoadFixture(const char* name) {
#if defined(_WIN32)
    return LoadLibraryA(FixturePath(name).c_str());
#else
    return RegisterImageModuleForTesting(FixturePath(name));
#endif
}
HMODULE Strings() {
    static HMODULE module = LoadFixture("strings_by_language.dll");
    return module;
}
HMODULE Named() {
    static HMODULE module = LoadFixture("named_resources.dll");
    return module;
}

// Fixes the user's locale and the thread's UI language for one test, then restores them.
class ResourceLanguage : public testing::Test {
protected:
    void SetUp() override {
        for (const char* v : {"LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(v);
        setenv("NAVOTOOLS_LOCALE", "en_US", 1);
        SetThreadUILanguage(0);
        ASSERT_NE(Strings(), nullptr);
        ASSERT_NE(Named(), nullptr);
    }
    void TearDown() override {
        unsetenv("NAVOTOOLS_LOCALE");
        SetThreadUILanguage(0);
    }

    // LoadStringA into a buffer of `size` bytes with a canary past it.
    std::string Load(UINT id, int size = 64, int* result = nullptr) {
        std::vector<char> buffer(size_t(size) + 1, '\x7f');
        int n = LoadStringA(Strings(), id, buffer.data(), size);
        EXPECT_EQ(buffer[size_t(size)], '\x7f') << "canary past the buffer of string " << id;
        if (result) *result = n;
        if (n >= 0) {
            EXPECT_EQ(size_t(n), strlen(buffer.data())) << "returned length of string " << id;
        }
        return buffer.data();
    }
};

TEST_F(ResourceLanguage, ExplicitLanguageFindsThatLanguagesBlock) {
    // Block 7 holds rows 100-111.
    LPCSTR block = MAKEINTRESOURCEA(7);
    HRSRC english = FindResourceExA(Strings(), RT_STRING, block, kEnglishUS);
    HRSRC korean = FindResourceExA(Strings(), RT_STRING, block, kKorean);
    HRSRC french = FindResourceExA(Strings(), RT_STRING, block, kFrench);
    ASSERT_NE(english, nullptr);
    ASSERT_NE(korean, nullptr);
    ASSERT_NE(french, nullptr);
    EXPECT_NE(english, korean);
    EXPECT_NE(korean, french);
    // Another sublanguage tries only itself, its primary language with the neutral
    // sublanguage (0x0C) and the neutral language: the block is 1036, so Canada has none.
    SetLastError(kUntouched);
    EXPECT_EQ(FindResourceExA(Strings(), RT_STRING, block, MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH_CANADIAN)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_LANG_NOT_FOUND));
    SetLastError(kUntouched);
    EXPECT_EQ(FindResourceExA(Strings(), RT_STRING, block, MAKELANGID(LANG_GERMAN, SUBLANG_DEFAULT)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_LANG_NOT_FOUND));
}

TEST_F(ResourceLanguage, LoadStringFollowsTheThreadUILanguage) {
    EXPECT_EQ(Load(100), "Hello");
    TodoWine("SetThreadUILanguage does not steer its resource lookups", [&] {
        SetThreadUILanguage(kKorean);
        EXPECT_EQ(Load(100), "\xec\x95\x88\xeb\x85\x95\xed\x95\x98\xec\x84\xb8\xec\x9a\x94");
        SetThreadUILanguage(kFrench);
        EXPECT_EQ(Load(100), "Bonjour");
        EXPECT_EQ(Load(102), "Caf\xc3\xa9 cr\xc3\xa8me");
    });
    SetThreadUILanguage(0);
    EXPECT_EQ(Load(102), "Caf\xc3\xa9 au lait");
}

#if !defined(_WIN32)
// The Linux layer takes the user's locale from the environment at each call.
TEST_F(ResourceLanguage, UserLocaleDecidesWhenTheThreadHasNoLanguage) {
    setenv("NAVOTOOLS_LOCALE", "fr_FR.UTF-8", 1);
    EXPECT_EQ(Load(101), "Fichier introuvable");
    setenv("NAVOTOOLS_LOCALE", "ko_KR", 1);
    EXPECT_EQ(Load(105), "\xed\x95\x98\xeb\x82\x98");
    // A language the module lacks goes on to the system's language, English.
    setenv("NAVOTOOLS_LOCALE", "de_DE", 1);
    EXPECT_EQ(Load(101), "File not found");
}
#endif

TEST_F(ResourceLanguage, LookupUnderKoreanLacksRowsMissingFromItsBlock) {
    SetThreadUILanguage(kKorean);
    // The block is chosen by language first; a row it lacks is empty, not English.
    TodoWineUnlessUILanguage(kKorean, [this] {
        int n = -2;
        EXPECT_EQ(Load(103, 64, &n), "");
        EXPECT_EQ(n, 0);
        EXPECT_EQ(Load(104, 64, &n), "");
        EXPECT_EQ(n, 0);
        EXPECT_EQ(Load(111, 64, &n), "");
        EXPECT_EQ(n, 0);
    });
}

TEST_F(ResourceLanguage, RowsPastTheLastOfTheScriptAreEmpty) {
    SetThreadUILanguage(kEnglishUS);
    TodoWineUnlessUILanguage(kEnglishUS, [this] {
        int n = -2;
        EXPECT_EQ(Load(111, 64, &n), "");
        EXPECT_EQ(n, 0);
        EXPECT_EQ(Load(103), "Send mail");
    });
}

TEST_F(ResourceLanguage, NeutralBlockIsFoundWhateverTheLanguage) {
    for (LANGID ui : {kEnglishUS, kKorean, kFrench}) {
        SetThreadUILanguage(ui);
        EXPECT_EQ(Load(200), "Neutral text") << ui;
        EXPECT_EQ(Load(201), "Second neutral row") << ui;
    }
    // An explicit language finds the neutral block as its last resort.
    EXPECT_NE(FindResourceExA(Strings(), RT_STRING, MAKEINTRESOURCEA(13), kKorean), nullptr);
}

TEST_F(ResourceLanguage, NeutralRequestSettlesForTheFirstLanguagePresent) {
    // Block 19 exists only in French: no candidate matches, the first language does.
    SetThreadUILanguage(kKorean);
    EXPECT_EQ(Load(300), "Seulement en fran\xc3\xa7" "ais");
    SetLastError(kUntouched);
    EXPECT_EQ(FindResourceExA(Strings(), RT_STRING, MAKEINTRESOURCEA(19), kKorean), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_LANG_NOT_FOUND));
}

TEST_F(ResourceLanguage, LoadStringNeverSplitsACharacterAndAlwaysTerminates) {
    int n = -2;
    // ASCII: bufferMax - 1 bytes are copied.
    EXPECT_EQ(Load(105, 5, &n), "0123");
    EXPECT_EQ(n, 4);
    EXPECT_EQ(Load(105, 1, &n), "");
    EXPECT_EQ(n, 0);
    // "a", U+1F600 (4 bytes), "z": a buffer that has room for 1..4 bytes after "a" stops
    // before the emoji.
    SetThreadUILanguage(kKorean);
    TodoWine("SetThreadUILanguage does not steer its resource lookups", [&] {
        for (int size = 2; size <= 5; ++size) {
            EXPECT_EQ(Load(102, size, &n), "a") << size;
            EXPECT_EQ(n, 1) << size;
        }
        EXPECT_EQ(Load(102, 6, &n), "a\xf0\x9f\x98\x80");
        EXPECT_EQ(n, 5);
        EXPECT_EQ(Load(102, 7, &n), "a\xf0\x9f\x98\x80z");
        // Three two-byte characters in a buffer of 6 bytes: two fit, with the terminator.
        SetThreadUILanguage(kFrench);
        EXPECT_EQ(Load(105, 6, &n), "\xc3\xa9\xc3\xa9");
        EXPECT_EQ(n, 4);
    });
}

TEST_F(ResourceLanguage, LoadStringWithoutRoomReturnsMinusOneAndWritesNothing) {
    char buffer[4] = {'x', 'y', 'z', 0};
    EXPECT_EQ(LoadStringA(Strings(), 100, buffer, 0), -1);
    EXPECT_STREQ(buffer, "xyz");
}

TEST_F(ResourceLanguage, LoadStringOfAMissingBlockGivesAnEmptyString) {
    char buffer[8];
    memset(buffer, 'x', sizeof buffer);
    SetLastError(kUntouched);
    EXPECT_EQ(LoadStringA(Strings(), 5000, buffer, sizeof buffer), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
    // The executable of these tests has no string table: on Linux no resources at all, on
    // Windows only its manifest.
    memset(buffer, 'x', sizeof buffer);
    SetLastError(kUntouched);
    EXPECT_EQ(LoadStringA(nullptr, 100, buffer, sizeof buffer), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(GetLastError(), kNoStringTableInTheExecutable);
}

TEST_F(ResourceLanguage, LookupFailuresNameTheLevelThatFailed) {
    SetLastError(kUntouched);
    EXPECT_EQ(FindResourceA(Named(), MAKEINTRESOURCEA(1), RT_BITMAP), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND));
    SetLastError(kUntouched);
    EXPECT_EQ(FindResourceA(Named(), "NoSuchName", RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
    SetLastError(kUntouched);
    EXPECT_EQ(FindResourceA(Named(), MAKEINTRESOURCEA(8), RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
    SetLastError(kUntouched);
    EXPECT_EQ(FindResourceExA(Named(), RT_RCDATA, "Greeting", MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_LANG_NOT_FOUND));
    // A "#" number that does not fit in 16 bits is an invalid parameter.
    SetLastError(kUntouched);
    EXPECT_EQ(FindResourceA(Named(), "#65536", RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    // The executable, which has no version block.
    SetLastError(kUntouched);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(1), RT_VERSION), nullptr);
    EXPECT_EQ(GetLastError(), kNoStringTableInTheExecutable);
}

TEST_F(ResourceLanguage, HandlesThatNameNoModuleAreRefused) {
    int notAModule = 0;
    HMODULE bogus = reinterpret_cast<HMODULE>(&notAModule);
    SetLastError(kUntouched);
    EXPECT_EQ(FindResourceA(bogus, MAKEINTRESOURCEA(7), RT_STRING), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_DATA_NOT_FOUND));
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(LoadStringA(bogus, 100, buffer, sizeof buffer), 0);
    EXPECT_EQ(buffer[0], 0);
    char path[MAX_PATH];
    SetLastError(kUntouched);
    EXPECT_EQ(GetModuleFileNameA(bogus, path, sizeof path), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    // A resource of one module is not a resource of another.
    HRSRC greeting = FindResourceA(Named(), "Greeting", RT_RCDATA);
    ASSERT_NE(greeting, nullptr);
    SetLastError(kUntouched);
    EXPECT_EQ(LoadResource(Strings(), greeting), nullptr);
    EXPECT_NE(GetLastError(), kUntouched);
    EXPECT_EQ(SizeofResource(Strings(), greeting), 0u);
    // Null resource handles give null and leave the last error alone.
    SetLastError(kUntouched);
    EXPECT_EQ(LoadResource(Named(), nullptr), nullptr);
    EXPECT_EQ(SizeofResource(Named(), nullptr), 0u);
    EXPECT_EQ(GetLastError(), kUntouched);
}

TEST_F(ResourceLanguage, NamedResourcesMatchWithoutRegardToCase) {
    HRSRC a = FindResourceA(Named(), "Greeting", RT_RCDATA);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(FindResourceA(Named(), "GREETING", RT_RCDATA), a);
    EXPECT_EQ(FindResourceA(Named(), "greeting", MAKEINTRESOURCEA(10)), a);
    EXPECT_EQ(FindResourceA(Named(), "greeting", "#10"), a);
    HGLOBAL data = LoadResource(Named(), a);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(LockResource(data), data);
    ASSERT_EQ(SizeofResource(Named(), a), 13u);
    EXPECT_EQ(memcmp(LockResource(data), "Hello, world", 13), 0);
    EXPECT_FALSE(FreeResource(data));
    // The same name in French.
    HRSRC french = FindResourceExA(Named(), RT_RCDATA, "greeting", kFrench);
    ASSERT_NE(french, nullptr);
    ASSERT_EQ(SizeofResource(Named(), french), 8u);
    EXPECT_EQ(memcmp(LockResource(LoadResource(Named(), french)), "Bonjour", 8), 0);
    // A named type, and an ID given as "#7".
    HRSRC payload = FindResourceA(Named(), "payload", "navodata");
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(memcmp(LockResource(LoadResource(Named(), payload)), "custom type", 12), 0);
    HRSRC seven = FindResourceA(Named(), "#7", RT_RCDATA);
    ASSERT_NE(seven, nullptr);
    EXPECT_EQ(seven, FindResourceA(Named(), MAKEINTRESOURCEA(7), RT_RCDATA));
    const BYTE expected[] = {0x02, 0x01, 0x04, 0x03};
    ASSERT_EQ(SizeofResource(Named(), seven), sizeof expected);
    EXPECT_EQ(memcmp(LockResource(LoadResource(Named(), seven)), expected, sizeof expected), 0);
}

TEST_F(ResourceLanguage, VersionBlockIsReturnedWhole) {
    HRSRC version = FindResourceA(Named(), MAKEINTRESOURCEA(1), RT_VERSION);
    ASSERT_NE(version, nullptr);
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(Named(), version)));
    ASSERT_NE(data, nullptr);
    const DWORD size = SizeofResource(Named(), version);
    ASSERT_GE(size, 6u + 32u);
    // VS_VERSIONINFO: wLength, wValueLength, wType, then the key in UTF-16.
    EXPECT_EQ(DWORD(data[0] | (data[1] << 8)), size);
    const char key[] = "VS_VERSION_INFO";
    for (size_t i = 0; i < sizeof key; ++i) {
        EXPECT_EQ(data[6 + 2 * i], BYTE(key[i])) << i;
        EXPECT_EQ(data[7 + 2 * i], 0) << i;
    }
}

#if !defined(_WIN32)
// The executable's path as Linux knows it.
TEST(ModuleNames, ExecutableHandleAndPath) {
    HMODULE exe = GetModuleHandleA(nullptr);
    ASSERT_NE(exe, nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), exe);
    char expected[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", expected, sizeof expected - 1);
    ASSERT_GT(n, 0);
    expected[n] = 0;
    char path[PATH_MAX + 1];
    SetLastError(kUntouched);
    EXPECT_EQ(GetModuleFileNameA(nullptr, path, sizeof path), DWORD(n));
    EXPECT_STREQ(path, expected);
    EXPECT_EQ(GetModuleFileNameA(exe, path, sizeof path), DWORD(n));
    EXPECT_EQ(GetLastError(), kUntouched);
    const char* base = strrchr(expected, '/') + 1;
    // A bare name means NAME.dll; a trailing dot asks for the name without extension.
    EXPECT_EQ(GetModuleHandleA((std::string(base) + ".").c_str()), exe);
    EXPECT_EQ(GetModuleHandleA((std::string(base) + ".exe").c_str()), exe);
}
#endif

TEST(ModuleNames, ShortBufferGetsATerminatedPrefixAndTheSize) {
    char path[PATH_MAX];
    const DWORD full = GetModuleFileNameA(nullptr, path, sizeof path);
    ASSERT_GT(full, 4u);
    char small[6];
    memset(small, 'x', sizeof small);
    small[5] = '\x7f';
    SetLastError(kUntouched);
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, 5), 5u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(small, 4), std::string(path, 4));
    EXPECT_EQ(small[5], '\x7f');
    // Exactly the length: no room for the terminator.
    std::vector<char> exact(full + 1, 'x');
    SetLastError(kUntouched);
    EXPECT_EQ(GetModuleFileNameA(nullptr, exact.data(), full), full);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(exact[full], 'x');
    TodoWine("a cut file name is not terminated, as on Windows XP; later versions terminate it", [&] {
        EXPECT_EQ(small[4], 0);
        EXPECT_EQ(exact[full - 1], 0);
    });
}

TEST(ModuleNames, ImageModulesAnswerToTheirFileNameInAnyCase) {
    HMODULE named = Named();
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(GetModuleHandleA("named_resources.dll"), named);
    EXPECT_EQ(GetModuleHandleA("NAMED_RESOURCES.DLL"), named);
    EXPECT_EQ(GetModuleHandleA("Named_Resources"), named);  // ".dll" is implied
    EXPECT_EQ(GetModuleHandleA(FixturePath("named_resources.dll").c_str()), named);
    SetLastError(kUntouched);
    EXPECT_EQ(GetModuleHandleA("named_resources."), nullptr);  // a trailing dot: no extension
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    SetLastError(kUntouched);
    EXPECT_EQ(GetModuleHandleA("no_such_module.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    char path[PATH_MAX];
    ASSERT_GT(GetModuleFileNameA(named, path, sizeof path), 0u);
#if defined(_WIN32)
    // The platform answers with the full Windows path of the file.
    EXPECT_EQ(GetModuleHandleA(path), named);
#else
    EXPECT_EQ(std::string(path), FixturePath("named_resources.dll"));
#endif
}

#if !defined(_WIN32)
// The Linux layer's image reader.
TEST(ModuleNames, FilesThatAreNotImagesAreRefused) {
    SetLastError(kUntouched);
    EXPECT_EQ(RegisterImageModuleForTesting("/proc/self/exe"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_EXE_FORMAT));
    SetLastError(kUntouched);
    EXPECT_EQ(RegisterImageModuleForTesting(FixturePath("no_such_file.dll")), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}
#endif

#if !defined(_WIN32)
// ELF objects with embedded resources, of the Linux layer.
TEST(ElfModuleRegistration, RegisteredObjectAnswersUntilUnregistered) {
    // An object other than the executable: the C library, with a fixture's image lent to
    // it as its embedded resources.
    static const std::vector<BYTE> image = [] {
        std::ifstream in(FixturePath("named_resources.dll"), std::ios::binary);
        return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
    }();
    ASSERT_FALSE(image.empty());
    void* inLibc = dlsym(RTLD_DEFAULT, "strlen");
    ASSERT_NE(inLibc, nullptr);
    Dl_info info{};
    ASSERT_NE(dladdr(inLibc, &info), 0);
    HMODULE module = NavoRegisterElfModule(inLibc, image.data(), image.size());
    ASSERT_NE(module, nullptr);
    EXPECT_NE(module, GetModuleHandleA(nullptr));
    EXPECT_EQ(NavoRegisterElfModule(inLibc, image.data(), image.size()), module);
    const char* base = strrchr(info.dli_fname, '/') ? strrchr(info.dli_fname, '/') + 1 : info.dli_fname;
    EXPECT_EQ(GetModuleHandleA(base), module);
    HRSRC greeting = FindResourceA(module, "Greeting", RT_RCDATA);
    ASSERT_NE(greeting, nullptr);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, greeting)));
    EXPECT_GE(data, image.data());
    EXPECT_LT(data, image.data() + image.size());
    // A module whose entry point refused to attach is not found by name.
    NavoSetModuleInitFailed(module);
    SetLastError(kUntouched);
    EXPECT_EQ(GetModuleHandleA(base), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    NavoUnregisterElfModule(module);
    SetLastError(kUntouched);
    EXPECT_EQ(FindResourceA(module, "Greeting", RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_DATA_NOT_FOUND));
    // A malformed image registers a module without resources.
    const BYTE junk[] = {'M', 'Z', 0, 0};
    HMODULE bare = NavoRegisterElfModule(inLibc, junk, sizeof junk);
    ASSERT_NE(bare, nullptr);
    SetLastError(kUntouched);
    EXPECT_EQ(FindResourceA(bare, "Greeting", RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_DATA_NOT_FOUND));
    NavoUnregisterElfModule(bare);
}
#endif

}  // namespace
