// GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA over PE files and ELF
// modules.
//
// Only what the version needs is read, with bounded preads into small buffers: the PE
// headers and section table, the directories on the way to RT_VERSION, and the version
// block (an ELF module: its section table and its ".rsrc" resource image). Nothing is kept
// between calls: GetFileVersionInfoSizeA stops at the block's root, whose length bounds
// the block, and GetFileVersionInfoA builds it.
#include <windows.h>

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "system/diagnosis.h"
#include "system/file_read.h"
#include "kernel/language_search.h"
#include "kernel/module_search.h"
#include "formats/pe_file.h"
#include "formats/pe_image.h"
#include "formats/version_block.h"

namespace navo::win32 {
namespace {

// A file opened for a version read. Only the pieces the version needs are read from it,
// through a FileWindow that learns the file's size as it reads.
class VersionFile {
public:
    // ERROR_SUCCESS, or the platform's error for a file that cannot be opened.
    //
    // Unlike the layer's other readers, the file is not looked at (fstat) before it is
    // read: every read is a pread, which a FIFO, a socket or a terminal refuses at once
    // (ESPIPE) and a folder too (EISDIR), and O_NONBLOCK keeps the open itself from waiting.
    // Whether it is a regular file is asked only when its bytes are no module's
    // (IsRegularFile), which keeps a typical read at its open, two reads and the close.
    DWORD Open(const char* path) {
        const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return ErrorOfOpen(errno, path);
        fd_.Reset(fd);
        return ERROR_SUCCESS;
    }

    bool IsRegularFile() const {
        struct stat st{};
        return fstat(fd_.Get(), &st) == 0 && S_ISREG(st.st_mode);
    }

    int fd() const { return fd_.Get(); }

private:
    static DWORD ErrorOfOpen(int error, const std::string& path) {
        // ENXIO: a device without its hardware, or a socket; the platform denies access.
        if (error == EACCES || error == EPERM || error == EISDIR || error == ENXIO) return ERROR_ACCESS_DENIED;
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

    Fd fd_;
};

bool HasFolder(const char* name) { return strchr(name, '/') != nullptr || strchr(name, '\\') != nullptr; }

// The file a version function reads for `name`. A name with a folder is the file as
// given (either separator), else a file of that folder whose name differs only in case.
// A bare name is first a file of exactly that name in the application's or the current
// folder, then the name of a loaded module, as the platform's data-file load finds one
// (so "NavoTools.dll" is the library's own shared object and "App.exe" the running
// program App), then a file found by the loader's search.
DWORD OpenVersionFile(const char* name, VersionFile& file) {
    if (HasFolder(name)) {
        // Copied only to turn the platform's separators into ours.
        std::string converted;
        if (strchr(name, '\\')) {
            converted = name;
            std::replace(converted.begin(), converted.end(), '\\', '/');
        }
        DWORD error = file.Open(converted.empty() ? name : converted.c_str());
        if (error != ERROR_FILE_NOT_FOUND) return error;
        DWORD searchError = ERROR_SUCCESS;
        std::string found = SearchModuleFile(name, searchError, ModuleUse::Data);
        return found.empty() ? error : file.Open(found.c_str());
    }
    // The platform opens the file by its exact name in the application's folder and the
    // current folder before it asks the loader, which would add ".dll" to a name without
    // an extension.
    for (const std::string& folder : DataFileFolders()) {
        std::string path = folder + "/" + name;
        struct stat st{};
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return file.Open(path.c_str());
    }
    if (HMODULE module = GetModuleHandleA(name)) {
        char path[PATH_MAX];
        DWORD n = GetModuleFileNameA(module, path, sizeof path);
        if (n > 0 && n < sizeof path) return file.Open(path);
    }
    DWORD searchError = ERROR_SUCCESS;
    std::string found = SearchModuleFile(name, searchError, ModuleUse::Data);
    if (found.empty()) return searchError == ERROR_INVALID_PARAMETER ? DWORD(ERROR_FILENAME_EXCED_RANGE) : DWORD(ERROR_FILE_NOT_FOUND);
    return file.Open(found.c_str());
}

// The version resource of a file, read in pieces: a PE file's through its own resource
// directory, an ELF file's through the resource image in its ".rsrc" section. `bytes`
// holds the resource's first bytes (as many as a version block can use); an error code
// for a resource that is not there, a read error for a file that cannot be read as
// either.
struct VersionResource {
    DWORD error = ERROR_SUCCESS;
    std::vector<BYTE> bytes;
};

// A version block is at most 64 KiB long: its root's length is a WORD.
constexpr size_t kMaxVersionBlock = 0xFFFF;
// A larger ".rsrc" section is no resource image of ours; it is refused, not read.
constexpr uint64_t kMaxResourceImage = uint64_t(1) << 30;

Expected<VersionResource> FindVersionResource(FileWindow& file) {
    // The language the platform's neutral lookup picks: the UI language, the user's and
    // the system's, English, else the first the resource has. Worked out only where a
    // version resource has several languages.
    const auto languages = [] { return ResourceLanguageCandidates(MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)); };
    auto magic = file.ReadPrefix(4, "file header");
    if (!magic) return magic.error();
    VersionResource out;
    if (magic->size() >= 2 && magic->data()[0] == 'M' && magic->data()[1] == 'Z') {
        auto headers = ReadPeFileHeaders(file);
        if (!headers) return headers.error();
        auto found = FindPeFileResource(file, *headers, 16, VS_VERSION_INFO, languages, LanguageFallback::FirstLanguage);
        if (!found) return found.error();
        if (found->error != ERROR_SUCCESS) return VersionResource{found->error, {}};
        auto copied = file.Copy(found->offset, std::min<size_t>(found->size, kMaxVersionBlock), out.bytes, "resource data");
        if (!copied) return copied.error();
        return out;
    }
    if (magic->size() == 4 && memcmp(magic->data(), "\x7f" "ELF", 4) == 0) {
        // Our own modules: the resource image is small, and read whole.
        auto section = FindElfFileSection(file, ".rsrc");
        if (!section) return section.error();
        if (section->size > kMaxResourceImage) return ReadError{"section .rsrc: larger than a resource image can be", 0};
        std::vector<BYTE> image;
        auto copied = file.Copy(section->offset, size_t(section->size), image, "section .rsrc");
        if (!copied) return copied.error();
        auto index = ReadPeResources(image.data(), image.size());
        if (!index) return index.error();
        ResourceLookup found = index->Find(ResourceKey::Id(16), ResourceKey::Id(VS_VERSION_INFO), languages(), LanguageFallback::FirstLanguage);
        if (!found.entry) return VersionResource{found.error, {}};
        out.bytes.assign(found.entry->data, found.entry->data + std::min<size_t>(found.entry->size, kMaxVersionBlock));
        return out;
    }
    return ReadError{"neither a PE nor an ELF file", 0};
}

// The most bytes BuildAnsiVersionBlock can make of a block whose root is `rootLength`
// bytes long. Every node holds at least 8 bytes of its own (its header and the zero ending
// its key), so the block has at most rootLength / 8 texts, each with a table entry of 12
// bytes and a terminating zero. Their values share no bytes: at most rootLength / 2 UTF-16
// units in all, and the ANSI code page (UTF-8) takes at most 3 bytes for each.
size_t AnsiVersionBlockBound(size_t rootLength) {
    const size_t nodes = rootLength / 8;
    return ((rootLength + 3) & ~size_t(3)) + 12 + nodes * (12 + 1) + (rootLength / 2) * 3;
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

// The caller's buffer, where a block that fits is written straight away; one that does not
// is built whole beside it, to be cut to the buffer.
struct BlockBuffer {
    BYTE* data = nullptr;
    size_t room = 0;
    std::vector<BYTE> whole;
};

// Reads the version block of the file `name` names, as GetFileVersionInfoA hands it out,
// into `buffer` and sets `size` to the block's size; with `buffer` null, only checks that
// there is one and sets `size` to a size that the block will not exceed, which its root's
// length tells without building it. ERROR_SUCCESS or the error the version functions report.
DWORD ReadVersionBlock(LPCSTR name, BlockBuffer* buffer, DWORD& size) {
    ClearDiagnosis();
    if (!name) return ERROR_INVALID_PARAMETER;
    if (!*name) return ERROR_BAD_PATHNAME;
    VersionFile file;
    if (DWORD error = OpenVersionFile(name, file); error != ERROR_SUCCESS) {
        DiagnoseOpenFailure(name, error);
        return error;
    }
    FileWindow window(file.fd());
    auto found = FindVersionResource(window);
    // A folder, FIFO or device where a file was named: the platform denies access to it.
    if (!found && !file.IsRegularFile()) {
        DiagnoseOpenFailure(name, ERROR_ACCESS_DENIED);
        return ERROR_ACCESS_DENIED;
    }
    // A file of another format, or with unreadable headers or resources, has no resource
    // data as far as the platform's reader can tell; the diagnosis says which.
    if (!found) {
        SetDiagnosis(found.error().Message());
        return ERROR_RESOURCE_DATA_NOT_FOUND;
    }
    if (found->error != ERROR_SUCCESS) return found->error;
    const ByteView resource(found->bytes.data(), found->bytes.size());
    if (!buffer) {
        // What BuildAnsiVersionBlock checks before it can fail: a size given out means the
        // block can be built. A block that cannot is built below for the reason.
        auto rootLength = resource.U16(0, "version block: root length");
        if (rootLength && *rootLength <= resource.size() && ReadVersionRoot(ByteView(resource.data(), *rootLength))) {
            size = DWORD(AnsiVersionBlockBound(*rootLength));
            return ERROR_SUCCESS;
        }
    }
    BlockBuffer scratch;
    BlockBuffer& into = buffer ? *buffer : scratch;
    auto built = BuildAnsiVersionBlockInto(resource, into.data, into.room, into.whole);
    if (!built) {
        SetDiagnosis("version resource: " + built.error().Message());
        return ERROR_INVALID_DATA;
    }
    size = DWORD(*built);
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
    DWORD size = 0;
    DWORD error = navo::win32::ReadVersionBlock(fileName, nullptr, size);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return 0;
    }
    SetLastError(ERROR_SUCCESS);
    return size;
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR fileName, DWORD, DWORD size, LPVOID data) {
    if (!data) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    navo::win32::BlockBuffer buffer{static_cast<BYTE*>(data), size, {}};
    DWORD built = 0;
    DWORD error = navo::win32::ReadVersionBlock(fileName, &buffer, built);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    // What fits is copied, as the platform does; a cut block is made consistent first, since
    // a query learns a block's extent only from inside it and must not read past the buffer.
    if (!buffer.whole.empty()) {
        const std::vector<BYTE> cut = navo::win32::CutAnsiVersionBlock(buffer.whole, size);
        if (!cut.empty()) memcpy(data, cut.data(), cut.size());
    }
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
    // The block's extent is its root's length: the caller's buffer holds at least that.
    const ByteView raw = VersionBlockRoot(block);
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
        *value = const_cast<BYTE*>(CantFail(raw.Sub(node.valueOffset, node.valueBytes, "version block: value")).data());
        if (length) *length = UINT(node.valueBytes);
        return TRUE;
    }
    // Texts are stored as UTF-16; the ANSI caller gets the copy made by GetFileVersionInfoA.
    auto ansi = FindAnsiText(raw.data(), raw.size(), node.valueOffset);
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
