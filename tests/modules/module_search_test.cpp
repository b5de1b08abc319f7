// The search of bare module names on Linux never runs code from the current folder: a
// module planted there, even under the name of an installed provider, is not loaded.
// Resource images (no code) may still come from there, after every other folder. On the
// platform the safe search also loads code from the current folder, so these run on Linux
// only.
#if !defined(_WIN32)

#include <dlfcn.h>
#include <unistd.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_constants.h"

namespace {

namespace fs = std::filesystem;

std::string ModulePath(HMODULE module) {
    char path[4096] = {};
    GetModuleFileNameA(module, path, sizeof path);
    return path;
}

// Whether the dynamic linker has this very file loaded (a copy is another file).
bool ObjectLoaded(const fs::path& file) {
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

// A scratch folder made the current one, with NAVOTOOLS_LIBRARY_PATH set as given (or
// unset), for one test.
class PlantedFolder {
public:
    explicit PlantedFolder(const char* libraryPath = nullptr)
        : path_(fs::temp_directory_path() / ("navotools-planted-" + std::to_string(getpid()))), previous_(fs::current_path()) {
        fs::create_directories(path_);
        fs::current_path(path_);
        if (libraryPath) setenv("NAVOTOOLS_LIBRARY_PATH", libraryPath, 1);
        else unsetenv("NAVOTOOLS_LIBRARY_PATH");
    }
    ~PlantedFolder() {
        unsetenv("NAVOTOOLS_LIBRARY_PATH");
        fs::current_path(previous_);
        fs::remove_all(path_);
    }
    PlantedFolder(const PlantedFolder&) = delete;
    PlantedFolder& operator=(const PlantedFolder&) = delete;
    fs::path Plant(const fs::path& from, const std::string& name) const {
        fs::copy_file(from, path_ / name, fs::copy_options::overwrite_existing);
        return path_ / name;
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
    fs::path previous_;
};

TEST(ModuleSearch, PlantedProviderIsNotLoadedTheInstalledOneIs) {
    // The provider the build installs lies next to the library; another provider (a real
    // code module with the loader glue) is planted under its name in the current folder.
    const fs::path installed = fs::canonical(fs::path(kBin) / ".." / "mapi32.dll.so");
    PlantedFolder folder;
    fs::path planted = folder.Plant(fs::path(kBin) / "recording_mapi" / "mapi32.dll.so", "mapi32.dll.so");
    HMODULE module = LoadLibraryA("MAPI32.DLL");
    ASSERT_NE(nullptr, module) << GetLastError();
    EXPECT_EQ(installed.string(), ModulePath(module));
    EXPECT_FALSE(ObjectLoaded(planted));
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(ModuleSearch, CodeInTheCurrentFolderIsNeverFoundByABareName) {
    const fs::path code = fs::path(kBin) / "modules" / "Plain.dll.so";
    struct Case {
        const char* file;         // the planted copy of a code module
        const char* libraryPath;  // NAVOTOOLS_LIBRARY_PATH (null: unset)
    } cases[] = {
        {"NavoPlanted.dll.so", nullptr},  // the Winelib name
        {"NavoPlanted.dll", nullptr},     // an ELF object under the PE name
        {"NavoPlanted.dll.so", "."},      // a relative library path names no folder
        {"NavoPlanted.dll.so", ":"},      // nor do empty entries
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " with NAVOTOOLS_LIBRARY_PATH=" + (c.libraryPath ? c.libraryPath : "(unset)"));
        PlantedFolder folder(c.libraryPath);
        fs::path planted = folder.Plant(code, c.file);
        SetLastError(0);
        HMODULE module = LoadLibraryA("NavoPlanted");
        EXPECT_EQ(nullptr, module);
        EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
        EXPECT_FALSE(ObjectLoaded(planted));
        if (module) FreeLibrary(module);
    }
}

TEST(ModuleSearch, APathIntoTheCurrentFolderStillLoadsCode) {
    PlantedFolder folder;
    fs::path planted = folder.Plant(fs::path(kBin) / "modules" / "Plain.dll.so", "NavoPlanted.dll.so");
    HMODULE module = LoadLibraryA("./NavoPlanted.dll.so");
    ASSERT_NE(nullptr, module) << GetLastError();
    EXPECT_TRUE(ObjectLoaded(planted));
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(ModuleSearch, ResourceImagesOfTheCurrentFolderComeAfterTheLibraryFolders) {
    fs::path libraryFolder = fs::temp_directory_path() / ("navotools-libpath-" + std::to_string(getpid()));
    fs::create_directories(libraryFolder);
    fs::copy_file(fs::path(kBin) / "AppEng.dll", libraryFolder / "NavoOrderProbe.dll", fs::copy_options::overwrite_existing);
    {
        PlantedFolder folder(libraryFolder.c_str());
        folder.Plant(fs::path(kBin) / "AppFra.dll", "NavoOrderProbe.dll");
        folder.Plant(fs::path(kBin) / "AppFra.dll", "NavoCurrentOnly.dll");
        HMODULE first = LoadLibraryA("NavoOrderProbe");
        ASSERT_NE(nullptr, first) << GetLastError();
        EXPECT_EQ((libraryFolder / "NavoOrderProbe.dll").string(), ModulePath(first));
        // Found nowhere else, a resource image of the current folder loads.
        HMODULE current = LoadLibraryA("NavoCurrentOnly");
        ASSERT_NE(nullptr, current) << GetLastError();
        EXPECT_EQ((folder.path() / "NavoCurrentOnly.dll").string(), ModulePath(current));
        EXPECT_TRUE(FreeLibrary(current));
        EXPECT_TRUE(FreeLibrary(first));
    }
    fs::remove_all(libraryFolder);
}

}  // namespace

#endif
