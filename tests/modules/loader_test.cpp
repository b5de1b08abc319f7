// Conformance tests of the loader: LoadLibraryA's search and formats, reference counts,
// GetProcAddress, and message tables of loaded modules.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "test_app.h"

namespace {

namespace fs = std::filesystem;

const std::string kBin = NAVOTOOLS_TEST_BINARY_DIR;
const std::string kModules = kBin + "/modules";

std::string LoadText(HMODULE module, UINT id) {
    char buffer[256] = {};
    int n = LoadStringA(module, id, buffer, sizeof buffer);
    return std::string(buffer, n > 0 ? size_t(n) : 0);
}

// An export as the type it has; void (*)() is the neutral type between function types.
template <typename F>
F Export(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

bool IsLoaded(HMODULE module) {
    char path[512];
    return GetModuleFileNameA(module, path, sizeof path) != 0;
}

// Sets NAVOTOOLS_LIBRARY_PATH for one test.
class ScopedLibraryPath {
public:
    explicit ScopedLibraryPath(const std::string& value) {
        if (const char* old = getenv("NAVOTOOLS_LIBRARY_PATH")) previous_ = old, hadPrevious_ = true;
        setenv("NAVOTOOLS_LIBRARY_PATH", value.c_str(), 1);
    }
    ~ScopedLibraryPath() {
        if (hadPrevious_) setenv("NAVOTOOLS_LIBRARY_PATH", previous_.c_str(), 1);
        else unsetenv("NAVOTOOLS_LIBRARY_PATH");
    }

private:
    std::string previous_;
    bool hadPrevious_ = false;
};

// A scratch folder with files the test writes.
class ScratchFolder {
public:
    ScratchFolder() : path_(fs::temp_directory_path() / ("navotools-loader-" + std::to_string(getpid()))) {
        fs::create_directories(path_);
    }
    ~ScratchFolder() { fs::remove_all(path_); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path_ / name, std::ios::binary) << bytes;
        return (path_ / name).string();
    }
    std::string Copy(const std::string& from, const std::string& name) const {
        fs::copy_file(from, path_ / name, fs::copy_options::overwrite_existing);
        return (path_ / name).string();
    }
    std::string path() const { return path_.string(); }

private:
    fs::path path_;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(LoadLibrary, PeFileLoadsAsResourceImageWithoutCode) {
    HMODULE module = LoadLibraryA((kBin + "/AppFra.dll").c_str());
    ASSERT_NE(nullptr, module) << GetLastError();
    EXPECT_EQ("French resources", LoadText(module, 1000));
    SetLastError(0);
    EXPECT_EQ(nullptr, GetProcAddress(module, "DllMain"));
    EXPECT_EQ(DWORD(ERROR_PROC_NOT_FOUND), GetLastError());
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(IsLoaded(module));
}

TEST(LoadLibrary, Pe32AndPe32PlusReadAlike) {
    HMODULE wide = LoadLibraryA((kBin + "/AppFra.dll").c_str());
    HMODULE narrow = LoadLibraryA((kBin + "/AppFra32.dll").c_str());
    ASSERT_NE(nullptr, wide);
    ASSERT_NE(nullptr, narrow);
    EXPECT_NE(wide, narrow);
    EXPECT_EQ(LoadText(wide, 1001), "AppFra");
    EXPECT_EQ(LoadText(narrow, 1001), "AppFra");
    FreeLibrary(wide);
    FreeLibrary(narrow);
}

TEST(LoadLibrary, CountsReferencesAndUnloadsOnTheLast) {
    std::string path = kBin + "/AppKor.dll";
    HMODULE first = LoadLibraryA(path.c_str());
    HMODULE second = LoadLibraryA(path.c_str());
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_TRUE(IsLoaded(first));
    EXPECT_EQ("Korean resources", LoadText(first, 1000));
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_FALSE(IsLoaded(first));
    SetLastError(0);
    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
}

TEST(LoadLibrary, BareNamesSearchTheLibraryPathCaseInsensitively) {
    ScopedLibraryPath path("/nonexistent:" + kBin);
    // No extension means ".dll"; the case of the name does not matter.
    HMODULE module = LoadLibraryA("APPENG");
    ASSERT_NE(nullptr, module) << GetLastError();
    char file[512];
    ASSERT_NE(0u, GetModuleFileNameA(module, file, sizeof file));
    EXPECT_EQ(kBin + "/AppEng.dll", file);
    // The same module again through another spelling, also by a Windows-style path.
    HMODULE again = LoadLibraryA("appeng.DLL");
    EXPECT_EQ(module, again);
    std::string windowsPath = kBin + "\\APPENG.dll";
    EXPECT_EQ(module, LoadLibraryA(windowsPath.c_str()));
    for (int i = 0; i < 3; ++i) FreeLibrary(module);
    EXPECT_FALSE(IsLoaded(module));
}

TEST(LoadLibrary, TrailingDotMeansNoExtension) {
    ScratchFolder folder;
    folder.Copy(kBin + "/AppEng.dll", "RESOURCES");
    ScopedLibraryPath path(folder.path());
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryA("RESOURCES"));  // looks for RESOURCES.dll
    EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
    HMODULE module = LoadLibraryA("resources.");
    ASSERT_NE(nullptr, module);
    EXPECT_EQ("English resources", LoadText(module, 1000));
    FreeLibrary(module);
}

TEST(LoadLibrary, RefusesMissingForeignAndDamagedFiles) {
    ScratchFolder folder;
    struct Case {
        std::string name;
        DWORD error;
    } cases[] = {
        {kBin + "/NoSuchModule.dll", ERROR_MOD_NOT_FOUND},
        {"NoSuchModule", ERROR_MOD_NOT_FOUND},
        {folder.path() + "/missing/AppEng.dll", ERROR_MOD_NOT_FOUND},
        {folder.Write("text.dll", "just some text, not a module"), ERROR_BAD_EXE_FORMAT},
        {folder.Write("empty.dll", ""), ERROR_BAD_EXE_FORMAT},
        {folder.Write("stub.dll", "MZ"), ERROR_BAD_EXE_FORMAT},
        {folder.Write("cut.dll", ReadFile(kBin + "/AppEng.dll").substr(0, 300)), ERROR_BAD_EXE_FORMAT},
        {folder.Write("fake.dll.so", std::string("\x7f" "ELF", 4) + std::string(60, '\0')), ERROR_BAD_EXE_FORMAT},
        {"", ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(nullptr, LoadLibraryA(c.name.c_str())) << c.name;
        EXPECT_EQ(c.error, GetLastError()) << c.name;
    }
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryA(nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(LoadLibrary, ElfModuleRunsItsEntryAndExportsByName) {
    ScopedLibraryPath path(kModules);
    HMODULE module = LoadLibraryA("hello.DLL");  // the file is Hello.dll.so
    ASSERT_NE(nullptr, module) << GetLastError();
    EXPECT_EQ(module, GetModuleHandleA("Hello.dll"));
    auto answer = Export<int (*)()>(module, "HelloAnswer");
    auto attaches = Export<int (*)()>(module, "HelloAttachCount");
    ASSERT_NE(nullptr, answer);
    ASSERT_NE(nullptr, attaches);
    EXPECT_EQ(42, answer());
    EXPECT_EQ(1, attaches());
    EXPECT_EQ("Hello from an ELF module", LoadText(module, 1000));
    // Only the module's own exports count, not those of the libraries it links.
    SetLastError(0);
    EXPECT_EQ(nullptr, GetProcAddress(module, "LoadLibraryA"));
    EXPECT_EQ(DWORD(ERROR_PROC_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, GetProcAddress(module, MAKEINTRESOURCEA(1)));
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(nullptr, GetModuleHandleA("Hello.dll"));
}

TEST(LoadLibrary, ElfModuleWhoseEntryRefusesIsNotLoaded) {
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryA((kModules + "/Refuse.dll.so").c_str()));
    EXPECT_EQ(DWORD(ERROR_DLL_INIT_FAILED), GetLastError());
    EXPECT_EQ(nullptr, GetModuleHandleA("Refuse.dll"));
}

TEST(LoadLibrary, PlainSharedObjectWithoutGlue) {
    HMODULE module = LoadLibraryA((kModules + "/Plain.dll").c_str());
    ASSERT_NE(nullptr, module) << GetLastError();
    auto answer = Export<int (*)()>(module, "PlainAnswer");
    ASSERT_NE(nullptr, answer);
    EXPECT_EQ(7, answer());
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(IsLoaded(module));
}

TEST(LoadLibrary, TheLibraryItselfStaysLoaded) {
    HMODULE self = GetModuleHandleA("NavoTools.dll");
    ASSERT_NE(nullptr, self);
    EXPECT_EQ(self, LoadLibraryA("navotools.dll"));
    EXPECT_TRUE(FreeLibrary(self));
    EXPECT_TRUE(FreeLibrary(self));
    EXPECT_EQ(self, GetModuleHandleA("NavoTools.dll"));
    EXPECT_NE(nullptr, GetProcAddress(self, "LoadLibraryA"));
}

// --- message tables ---------------------------------------------------------------------

std::string Message(HMODULE module, DWORD id, DWORD language = 0, DWORD flags = FORMAT_MESSAGE_IGNORE_INSERTS,
                    va_list* args = nullptr) {
    char buffer[256];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | flags, module, id, language, buffer, sizeof buffer, args);
    return n ? std::string(buffer, n) : std::string();
}

class MessageModule : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        module_ = LoadLibraryA((kBin + "/" + GetParam()).c_str());
        ASSERT_NE(nullptr, module_) << GetLastError();
    }
    void TearDown() override { FreeLibrary(module_); }
    HMODULE module_ = nullptr;
};

TEST_P(MessageModule, ReadsAnsiAndUnicodeEntries) {
    ScopedUILanguage english(kEnglishUS);
    EXPECT_EQ("Disk full.\r\n", Message(module_, 1));
    EXPECT_EQ("Printer %1 offline.\r\n", Message(module_, 2));
    EXPECT_EQ("Caf\xC3\xA9 ferm\xC3\xA9\r\n", Message(module_, 256));
}

TEST_P(MessageModule, FillsInsertsOfModuleMessages) {
    ScopedUILanguage english(kEnglishUS);
    DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>("LPT1")};
    char buffer[64];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module_, 2, 0, buffer,
                             sizeof buffer, reinterpret_cast<va_list*>(args));
    EXPECT_EQ("Printer LPT1 offline.\r\n", std::string(buffer, n));
}

TEST_P(MessageModule, LanguageZeroFollowsTheUILanguage) {
    ScopedUILanguage korean(kKorean);
    EXPECT_EQ("\xEB\x94\x94\xEC\x8A\xA4\xED\x81\xAC \xEA\xB0\x80\xEB\x93\x9D", Message(module_, 1));
    // The Korean table lacks ID 2: the lookup ends in the table found, as on the platform.
    SetLastError(0);
    EXPECT_EQ("", Message(module_, 2));
    EXPECT_EQ(DWORD(ERROR_MR_MID_NOT_FOUND), GetLastError());
    // An explicit language picks its table.
    EXPECT_EQ("Disk full.\r\n", Message(module_, 1, kEnglishUS));
}

TEST_P(MessageModule, MissingIdsFail) {
    ScopedUILanguage english(kEnglishUS);
    for (DWORD id : {0u, 3u, 255u, 257u, 0xFFFFFFFFu}) {
        SetLastError(0);
        EXPECT_EQ("", Message(module_, id)) << id;
        EXPECT_EQ(DWORD(ERROR_MR_MID_NOT_FOUND), GetLastError()) << id;
    }
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, MessageModule, ::testing::Values("messages.dll", "messages32.dll"));

TEST(MessageModule, ModuleWithoutTableFailsWithResourceError) {
    HMODULE module = LoadLibraryA((kBin + "/AppEng.dll").c_str());
    ASSERT_NE(nullptr, module);
    SetLastError(0);
    EXPECT_EQ("", Message(module, 1));
    EXPECT_EQ(DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
    FreeLibrary(module);
}

}  // namespace

// --- resource enumeration -----------------------------------------------------------------

namespace {

struct Seen {
    std::vector<std::string> items;
    size_t stopAfter = SIZE_MAX;
};

std::string KeyText(LPCSTR key) {
    return IS_INTRESOURCE(key) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(key)) : std::string(key);
}

BOOL CALLBACK RecordType(HMODULE, LPSTR type, LONG_PTR param) {
    auto* seen = reinterpret_cast<Seen*>(param);
    seen->items.push_back(KeyText(type));
    return seen->items.size() < seen->stopAfter;
}

BOOL CALLBACK RecordLanguage(HMODULE, LPCSTR, LPCSTR name, WORD language, LONG_PTR param) {
    reinterpret_cast<Seen*>(param)->items.push_back(KeyText(name) + "/" + std::to_string(language));
    return TRUE;
}

TEST(EnumResources, WalksTypesAndLanguagesInDirectoryOrder) {
    HMODULE module = LoadLibraryA((kBin + "/messages.dll").c_str());
    ASSERT_NE(nullptr, module);
    Seen types;
    EXPECT_TRUE(EnumResourceTypesA(module, &RecordType, reinterpret_cast<LONG_PTR>(&types)));
    EXPECT_EQ(std::vector<std::string>{"#11"}, types.items);
    Seen languages;
    EXPECT_TRUE(EnumResourceLanguagesA(module, RT_MESSAGETABLE, MAKEINTRESOURCEA(1), &RecordLanguage,
                                       reinterpret_cast<LONG_PTR>(&languages)));
    EXPECT_EQ((std::vector<std::string>{"#1/1033", "#1/1042"}), languages.items);
    SetLastError(0);
    EXPECT_FALSE(EnumResourceLanguagesA(module, RT_STRING, MAKEINTRESOURCEA(1), &RecordLanguage, 0));
    EXPECT_EQ(DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(EnumResourceLanguagesA(module, RT_MESSAGETABLE, MAKEINTRESOURCEA(2), &RecordLanguage, 0));
    EXPECT_EQ(DWORD(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
    FreeLibrary(module);
}

TEST(EnumResources, CallbackStopsTheWalk) {
    HMODULE self = GetModuleHandleA("NavoTools.dll");
    Seen all, first;
    first.stopAfter = 1;
    EXPECT_TRUE(EnumResourceTypesA(self, &RecordType, reinterpret_cast<LONG_PTR>(&all)));
    EXPECT_EQ((std::vector<std::string>{"#6", "#16"}), all.items);  // string table, version
    SetLastError(0);
    EXPECT_FALSE(EnumResourceTypesA(self, &RecordType, reinterpret_cast<LONG_PTR>(&first)));
    EXPECT_EQ(DWORD(ERROR_RESOURCE_ENUM_USER_STOP), GetLastError());
    EXPECT_EQ(1u, first.items.size());
}

}  // namespace
