// GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA over PE files and ELF
// modules.
//
// A large file is mapped, not read: only the pages of its headers, its resource directory
// and its version resource are touched, however large it is; a small one is read. Every offset is checked by the
// PE, ELF and version-block readers against the mapped length.
#include <windows.h>

#include <fcntl.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "system/diagnosis.h"
#include "formats/elf_sections.h"
#include "system/file_read.h"
#include "kernel/language_search.h"
#include "kernel/module_search.h"
#include "formats/pe_image.h"
#include "formats/version_block.h"

namespace navo::win32 {
namespace {

// The bytes of a whole file: read when small, mapped read-only when larger.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile() {
        if (map_ != nullptr) munmap(map_, size_);
    }

    // ERROR_SUCCESS, or the platform's error for a file that cannot be opened. An empty
    // file maps to an empty view.
    DWORD Open(const std::string& path) {
        int fd = OpenRegularFile(path);  // a FIFO or a device is refused, not waited on
        if (fd < 0) return ErrorOfOpen(errno, path);
        struct stat st{};
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            close(fd);
            return ERROR_ACCESS_DENIED;  // what the platform reports for a folder
        }
        DWORD error = ERROR_SUCCESS;
        if (st.st_size > 0 && st.st_size <= kReadLimit) {
            // Mapping and unmapping a small file costs more than reading it. The size was
            // checked, so the read cannot refuse it; a file cut short meanwhile reads as
            // what is left.
            (void)ReadOpenFile(fd, st, size_t(kReadLimit), copy_);
        } else if (st.st_size > 0) {
            void* map = mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (map != MAP_FAILED) {
                map_ = map;
                size_ = size_t(st.st_size);
            } else {
                error = ERROR_NOT_ENOUGH_MEMORY;
            }
        }
        close(fd);
        return error;
    }

    ByteView bytes() const {
        if (map_ != nullptr) return ByteView(static_cast<const BYTE*>(map_), size_);
        return ByteView(copy_.data(), copy_.size());
    }

private:
    static DWORD ErrorOfOpen(int error, const std::string& path) {
        if (error == EACCES || error == EPERM || error == EISDIR) return ERROR_ACCESS_DENIED;
        if (error == ENAMETOOLONG) return ERROR_FILENAME_EXCED_RANGE;
        if (error == ENOENT || error == ENOTDIR) {
            // The platform tells a missing folder from a missing file.
            size_t slash = path.find_last_of('/');
            if (slash != std::string::npos && slash > 0) {
                struct stat st{};
                std::string folder = path.substr(0, slash);
                if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
            }
        }
        return ERROR_FILE_NOT_FOUND;
    }

    static constexpr off_t kReadLimit = off_t{256} * 1024;

    std::vector<BYTE> copy_;
    void* map_ = nullptr;
    size_t size_ = 0;
};

bool HasFolder(const char* name) { return strchr(name, '/') != nullptr || strchr(name, '\\') != nullptr; }

// The file a version function reads for `name`. A name with a folder is the file as
// given (either separator), else a file of that folder whose name differs only in case.
// A bare name is first a file of exactly that name in the application's or the current
// folder, then the name of a loaded module, as the platform's data-file load finds one
// (so "NavoTools.dll" is the library's own shared object and "App.exe" the running
// program App), then a file found by the loader's search.
DWORD OpenVersionFile(const char* name, MappedFile& file) {
    if (HasFolder(name)) {
        std::string path = name;
        for (char& c : path)
            if (c == '\\') c = '/';
        DWORD error = file.Open(path);
        if (error != ERROR_FILE_NOT_FOUND) return error;
        DWORD searchError = ERROR_SUCCESS;
        std::string found = SearchModuleFile(name, searchError, ModuleUse::Data);
        return found.empty() ? error : file.Open(found);
    }
    // The platform opens the file by its exact name in the application's folder and the
    // current folder before it asks the loader, which would add ".dll" to a name without
    // an extension.
    for (const std::string& folder : DataFileFolders()) {
        std::string path = folder + "/" + name;
        struct stat st{};
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return file.Open(path);
    }
    if (HMODULE module = GetModuleHandleA(name)) {
        char path[PATH_MAX];
        DWORD n = GetModuleFileNameA(module, path, sizeof path);
        if (n > 0 && n < sizeof path) return file.Open(path);
    }
    DWORD searchError = ERROR_SUCCESS;
    std::string found = SearchModuleFile(name, searchError, ModuleUse::Data);
    if (found.empty()) return searchError == ERROR_INVALID_PARAMETER ? DWORD(ERROR_FILENAME_EXCED_RANGE) : DWORD(ERROR_FILE_NOT_FOUND);
    return file.Open(found);
}

// The resource directory of a mapped file: a PE file's own, or the resource image in an
// ELF file's ".rsrc" section.
Expected<ResourceIndex> IndexFileResources(ByteView file) {
    if (file.size() >= 2 && file.data()[0] == 'M' && file.data()[1] == 'Z') return ReadPeResources(file.data(), file.size());
    if (file.size() >= 4 && memcmp(file.data(), "\x7f" "ELF", 4) == 0) {
        auto section = FindElfSection(file, ".rsrc");
        if (!section) return section.error();
        return ReadPeResources(section->data(), section->size());
    }
    return ReadError{"neither a PE nor an ELF file", 0};
}

// The diagnosis of a file that did not open: the platform calls a folder "access denied".
void DiagnoseOpenFailure(LPCSTR name, DWORD error) {
    std::string path = name;
    for (char& c : path)
        if (c == '\\') c = '/';
    struct stat st{};
    if (error == ERROR_ACCESS_DENIED && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        SetDiagnosis(path + " is a folder, not a file");
    else if (error == ERROR_ACCESS_DENIED && stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        SetDiagnosis(path + " is not a regular file");
}

// Reads the version block of the file `name` names, as GetFileVersionInfoA hands it out.
// ERROR_SUCCESS or the error the version functions report.
DWORD ReadVersionBlock(LPCSTR name, std::vector<BYTE>& block) {
    ClearDiagnosis();
    if (!name) return ERROR_INVALID_PARAMETER;
    if (!*name) return ERROR_BAD_PATHNAME;
    MappedFile file;
    if (DWORD error = OpenVersionFile(name, file); error != ERROR_SUCCESS) {
        DiagnoseOpenFailure(name, error);
        return error;
    }
    auto index = IndexFileResources(file.bytes());
    // A file of another format, or with unreadable headers or resources, has no resource
    // data as far as the platform's reader can tell; the diagnosis says which.
    if (!index) {
        SetDiagnosis(index.error().Message());
        return ERROR_RESOURCE_DATA_NOT_FOUND;
    }
    // The language the platform's neutral lookup picks: the UI language, the user's and
    // the system's, English, else the first the resource has.
    const std::vector<LANGID> languages = ResourceLanguageCandidates(MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    ResourceLookup found = index->Find(ResourceKey::Id(16), ResourceKey::Id(VS_VERSION_INFO), languages, true);
    if (!found.entry) return found.error;
    auto built = BuildAnsiVersionBlock(ByteView(found.entry->data, found.entry->size));
    if (!built) {
        SetDiagnosis("version resource: " + built.error().Message());
        return ERROR_INVALID_DATA;
    }
    block = std::move(*built);
    return ERROR_SUCCESS;
}

bool IsSpecialPath(LPCSTR subBlock) {
    return strcasecmp(subBlock, "\\") == 0 || strcasecmp(subBlock, "\\VarFileInfo\\Translation") == 0;
}

}  // namespace
}  // namespace navo::win32

extern "C" {

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) {
    if (handle) *handle = 0;
    std::vector<BYTE> block;
    DWORD error = navo::win32::ReadVersionBlock(fileName, block);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return 0;
    }
    SetLastError(ERROR_SUCCESS);
    return DWORD(block.size());
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR fileName, DWORD, DWORD size, LPVOID data) {
    if (!data) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    std::vector<BYTE> block;
    DWORD error = navo::win32::ReadVersionBlock(fileName, block);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    // What fits is copied, as the platform does; a cut block is made consistent first, since
    // a query learns a block's extent only from inside it and must not read past the buffer.
    if (block.size() > size) block = navo::win32::CutAnsiVersionBlock(block, size);
    if (!block.empty()) memcpy(data, block.data(), block.size());
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* value, PUINT length) {
    using namespace navo::win32;
    if (!block || !value) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!subBlock || !*subBlock) subBlock = "\\";
    const BYTE* bytes = static_cast<const BYTE*>(block);
    // The block's extent is its root's length: the caller's buffer holds at least that.
    const ByteView raw(bytes, size_t(bytes[0] | (bytes[1] << 8)));
    auto root = ReadVersionRoot(raw);
    if (!root) {
        if (length) *length = 0;
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    int units = MultiByteToWideChar(CP_ACP, 0, subBlock, -1, nullptr, 0);
    std::u16string path(size_t(units > 0 ? units : 1), u'\0');
    if (units > 0) MultiByteToWideChar(CP_ACP, 0, subBlock, -1, path.data(), units);
    path.resize(path.size() - 1);  // the terminating zero

    auto found = FindVersionNode(raw, *root, path);
    if (!found || !*found) {
        if (length) *length = 0;
        SetLastError(found ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_INVALID_DATA);
        return FALSE;
    }
    const VersionNode& node = **found;
    if (!node.isText || IsSpecialPath(subBlock)) {
        *value = const_cast<BYTE*>(bytes + node.valueOffset);
        if (length) *length = UINT(node.valueBytes);
        return TRUE;
    }
    // Texts are stored as UTF-16; the ANSI caller gets the copy made by GetFileVersionInfoA.
    auto ansi = FindAnsiText(bytes, raw.size(), node.valueOffset);
    if (!ansi) {
        if (length) *length = 0;
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    *value = const_cast<char*>(ansi->text);
    if (length) *length = ansi->length;
    return TRUE;
}

}  // extern "C"
