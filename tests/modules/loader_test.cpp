// Conformance tests of the loader: LoadLibraryA's search and formats, reference counts,
// GetProcAddress, and message tables of loaded modules. They run on both platforms: the
// code modules are ELF objects (Hello.dll.so) on Linux and PE DLLs (Hello.dll) on Windows;
// the searches that only the Linux layer has (NAVOTOOLS_LIBRARY_PATH) are tested on Linux
// only.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "frame/entry_routines.h"
#include "platform.h"
#include "test_app.h"
#include "test_constants.h"

namespace {

namespace fs = std::filesystem;

const std::string kModules = kBin + "/modules";
// The file name of the code modules in kModules after their module name.
#if defined(_WIN32)
const char kModuleSuffix[] = "";
#else
const char kModuleSuffix[] = ".so";
#endif

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

bool SameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

// The file name part of the path a module was loaded from.
std::string ModuleFileName(HMODULE module) {
    char path[512] = {};
    GetModuleFileNameA(module, path, sizeof path);
    std::string text = path;
    size_t slash = text.find_last_of("/\\");
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

// The text in the ANSI code page: what the A functions give for Unicode text.
std::string AnsiFromUtf8(const std::string& utf8) {
    WCHAR wide[256];
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), int(utf8.size()), wide, 256);
    char ansi[512];
    int m = WideCharToMultiByte(CP_ACP, 0, wide, n, ansi, sizeof ansi, nullptr, nullptr);
    return std::string(ansi, m > 0 ? size_t(m) : 0);
}

// Sets the folder of SetDllDirectoryA for one test; the default search comes back after.
class ScopedDllDirectory {
public:
    explicit ScopedDllDirectory(const std::string& folder) { EXPECT_TRUE(SetDllDirectoryA(folder.c_str())); }
    ~ScopedDllDirectory() { SetDllDirectoryA(nullptr); }
    ScopedDllDirectory(const ScopedDllDirectory&) = delete;
    ScopedDllDirectory& operator=(const ScopedDllDirectory&) = delete;
};

// Makes a folder the current one for one test.
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::string& folder) : previous_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~ScopedCurrentFolder() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

#if !defined(_WIN32)
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
#endif

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

#if !defined(_WIN32)
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
#endif

TEST(SetDllDirectory, BareNamesAreLookedForThereCaseInsensitively) {
    ScopedDllDirectory directory(kBin);
    // No extension means ".dll"; the case of the name does not matter.
    HMODULE module = LoadLibraryA("APPENG");
    ASSERT_NE(nullptr, module) << GetLastError();
    // The platform names the file as it was asked for, the Linux layer as it is on disk.
    EXPECT_TRUE(SameNoCase("AppEng.dll", ModuleFileName(module))) << ModuleFileName(module);
    EXPECT_EQ("English resources", LoadText(module, 1000));
    // The same module again through another spelling, and by its path.
    EXPECT_EQ(module, LoadLibraryA("appeng.DLL"));
    EXPECT_EQ(module, LoadLibraryA((kBin + "/AppEng.dll").c_str()));
    for (int i = 0; i < 3; ++i) FreeLibrary(module);
    EXPECT_FALSE(IsLoaded(module));
}

TEST(SetDllDirectory, NullBringsTheDefaultSearchBack) {
    ScratchFolder folder;
    folder.Copy(kBin + "/AppEng.dll", "NavoDllDirectoryProbe.dll");
    ASSERT_TRUE(SetDllDirectoryA(folder.path().c_str()));
    HMODULE module = LoadLibraryA("NavoDllDirectoryProbe");
    ASSERT_NE(nullptr, module) << GetLastError();
    EXPECT_TRUE(FreeLibrary(module));
    ASSERT_TRUE(SetDllDirectoryA(nullptr));
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryA("NavoDllDirectoryProbe"));
    EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
}

// With `dllDirectory` set, a module of the current folder is not found; before and after,
// the default search finds it there.
void ExpectCurrentFolderLeftOut(const std::string& dllDirectory) {
    ScratchFolder folder;
    folder.Copy(kBin + "/AppEng.dll", "NavoCurrentFolderProbe.dll");
    ScopedCurrentFolder current(folder.path());
    HMODULE module = LoadLibraryA("NavoCurrentFolderProbe");
    ASSERT_NE(nullptr, module) << GetLastError();
    EXPECT_TRUE(FreeLibrary(module));
    ASSERT_FALSE(IsLoaded(module));
    {
        ScopedDllDirectory directory(dllDirectory);
        SetLastError(0);
        module = LoadLibraryA("NavoCurrentFolderProbe");
        EXPECT_EQ(nullptr, module);
        EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
        if (module) FreeLibrary(module);
    }
    module = LoadLibraryA("NavoCurrentFolderProbe");
    EXPECT_NE(nullptr, module) << GetLastError();
    if (module) FreeLibrary(module);
}

TEST(SetDllDirectory, AFolderTakesTheCurrentFoldersPlace) { ExpectCurrentFolderLeftOut(kBin); }

TEST(SetDllDirectory, AnEmptyFolderTakesTheCurrentFolderOut) {
    TodoWine("an empty folder leaves the current folder in the search", [] { ExpectCurrentFolderLeftOut(""); });
}

TEST(LoadLibrary, LoadedModuleAnswersToItsBaseNameWithoutASearch) {
    ScratchFolder folder;
    std::string path = folder.Copy(kBin + "/AppFra.dll", "NavoLoadedByPath.dll");
    HMODULE module = LoadLibraryA(path.c_str());
    ASSERT_NE(nullptr, module) << GetLastError();
    // The folder is in no search path: the name finds the module loaded, in any case.
    EXPECT_EQ(module, LoadLibraryA("navoloadedbypath.DLL"));
    EXPECT_EQ(module, LoadLibraryA("NavoLoadedByPath"));
    EXPECT_EQ(module, GetModuleHandleA("NAVOLOADEDBYPATH.DLL"));
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_TRUE(IsLoaded(module));
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(IsLoaded(module));
    // Unloaded, the name is looked for again, and not found.
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryA("NavoLoadedByPath"));
    EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
}

TEST(LoadLibrary, TrailingDotMeansNoExtension) {
    ScratchFolder folder;
    folder.Copy(kBin + "/AppEng.dll", "RESOURCES");
    ScopedDllDirectory directory(folder.path());
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
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(nullptr, LoadLibraryA(c.name.c_str())) << c.name;
        EXPECT_EQ(c.error, GetLastError()) << c.name;
    }
}

TEST(LoadLibrary, EmptyOrNullNameIsAnInvalidParameter) {
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryA(""));
    DWORD empty = GetLastError();
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryA(nullptr));
    DWORD null = GetLastError();
    TodoWine("an empty or null name fails with ERROR_MOD_NOT_FOUND, as before Windows 8", [&] {
        EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), empty);
        EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), null);
    });
}

TEST(LoadLibrary, ElfModuleRunsItsEntryAndExportsByName) {
    ScopedDllDirectory directory(kModules);
    HMODULE module = LoadLibraryA("hello.DLL");  // the file is Hello.dll.so on Linux
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
#if !defined(_WIN32)
    // An ELF object has no export ordinals; a PE DLL numbers its exports from 1.
    EXPECT_EQ(nullptr, GetProcAddress(module, MAKEINTRESOURCEA(1)));
#endif
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(nullptr, GetModuleHandleA("Hello.dll"));
}

TEST(LoadLibrary, ElfModuleWhoseEntryRefusesIsNotLoaded) {
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryA((kModules + "/Refuse.dll" + kModuleSuffix).c_str()));
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
    // A function of the library the program calls: the program links it, and its handle
    // gives the same function by name.
    const NavoToolsEntryRoutines* (WINAPI* const linked)() = &NavoToolsGetEntryRoutines;
    HMODULE self = GetModuleHandleA("NavoTools.dll");
    ASSERT_NE(nullptr, self);
    EXPECT_EQ(self, LoadLibraryA("navotools.dll"));
    EXPECT_TRUE(FreeLibrary(self));
    EXPECT_TRUE(FreeLibrary(self));
    EXPECT_EQ(self, GetModuleHandleA("NavoTools.dll"));
    EXPECT_EQ(reinterpret_cast<void (*)()>(linked), Export<void (*)()>(self, "NavoToolsGetEntryRoutines"));
    EXPECT_NE(nullptr, linked()->dllMain);
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
    // A Unicode entry comes in the ANSI code page (UTF-8 on the Linux layer).
    EXPECT_EQ(AnsiFromUtf8("Caf\xC3\xA9 ferm\xC3\xA9\r\n"), Message(module_, 256));
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
    TodoWine("SetThreadUILanguage does not choose the language of resource lookups", [&] {
        EXPECT_EQ("\xEB\x94\x94\xEC\x8A\xA4\xED\x81\xAC \xEA\xB0\x80\xEB\x93\x9D", Message(module_, 1));
        // The Korean table lacks ID 2: the lookup ends in the table found, as on the platform.
        SetLastError(0);
        EXPECT_EQ("", Message(module_, 2));
        EXPECT_EQ(DWORD(ERROR_MR_MID_NOT_FOUND), GetLastError());
    });
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
    DWORD error = GetLastError();
    EXPECT_EQ(1u, first.items.size());
    TodoWine("a walk that its callback stopped fails without ERROR_RESOURCE_ENUM_USER_STOP",
             [&] { EXPECT_EQ(DWORD(ERROR_RESOURCE_ENUM_USER_STOP), error); });
}

}  // namespace
