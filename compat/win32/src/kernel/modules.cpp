// The module table: the executable, ELF objects registered by their loader glue, and PE
// files read as resource images. A module read for its resources is read in pieces: the
// headers and the resource section, never the whole file when those suffice.
#include "kernel/modules.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>

#include "system/diagnosis.h"
#include "formats/pe_file.h"
#include "system/file_read.h"
#include "kernel/module_search.h"
#include "navo_module.h"

namespace navo::win32 {
namespace {

struct Table {
    std::mutex lock;
    std::vector<std::shared_ptr<Module>> modules;  // ELF objects and images
    std::shared_ptr<Module> executable;
};

// Leaked on purpose: modules unregister while the process exits, after static destructors.
Table& TheTable() {
    static Table* table = new Table;
    return *table;
}

HMODULE HandleOf(const std::shared_ptr<Module>& m) { return reinterpret_cast<HMODULE>(m.get()); }

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return std::string(buffer, size_t(n));
}

void IndexResources(Module& m, ByteView image) {
    auto index = ReadPeResources(image.data(), image.size());
    if (index) {
        m.resources = std::move(*index);
    } else {
        m.resources = ResourceIndex();
        m.resourceError = index.error().Message();
    }
}

// The bytes of an ELF file's ".rsrc" section, read alone through `file`: its section
// table, names and the section itself.
Expected<std::vector<BYTE>> ReadElfResourceSection(FileWindow& file) {
    auto section = FindElfFileSection(file, ".rsrc");
    if (!section) return section.error();
    std::vector<BYTE> bytes;
    auto copied = file.Copy(section->offset, size_t(section->size), bytes, "section .rsrc");
    if (!copied) return copied.error();
    return bytes;
}

// The resources an ELF file carries in its ".rsrc" section (the executable's, or those of
// a shared object without the loader glue). The section's bytes are copied so that the
// record does not depend on the file.
void ReadElfFileResources(Module& m) {
    struct stat st{};
    int fd = OpenForReading(m.path, st);
    if (fd < 0) return;
    FileWindow file(fd, uint64_t(st.st_size));
    auto section = ReadElfResourceSection(file);
    close(fd);
    if (section) m.ownedBytes = std::move(*section);
    if (!m.ownedBytes.empty()) IndexResources(m, ByteView(m.ownedBytes.data(), m.ownedBytes.size()));
}

// Called with the table locked.
std::shared_ptr<Module>& Executable(Table& t, bool readResources = true) {
    if (!t.executable) {
        t.executable = std::make_shared<Module>();
        t.executable->kind = ModuleKind::Executable;
        t.executable->path = ExecutablePath();
        if (readResources) ReadElfFileResources(*t.executable);
    }
    return t.executable;
}

bool IsMainProgram(const void* address) {
    Dl_info info{};
    link_map* map = nullptr;
    if (!dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) || !map) return false;
    void* self = dlopen(nullptr, RTLD_NOW | RTLD_NOLOAD);
    if (!self) return false;
    link_map* mainMap = nullptr;
    bool isMain = dlinfo(self, RTLD_DI_LINKMAP, &mainMap) == 0 && mainMap == map;
    dlclose(self);
    return isMain;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsWithNoCase(const std::string& s, const char* suffix) {
    size_t n = strlen(suffix);
    return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

// The names a module answers to. The platform appends ".dll" to a name without an
// extension; an ELF file adds the ".so" of Winelib ("mapi32.dll.so" is "mapi32.dll") or
// the "lib" and ".so[.N]" of a Linux library ("libNavoTools.so.1" is "NavoTools.dll").
std::vector<std::string> NamesOf(const Module& m) {
    std::string file = BaseName(m.path);
    std::vector<std::string> names{file};
    if (m.kind == ModuleKind::Executable) {
        if (!EndsWithNoCase(file, ".exe")) names.push_back(file + ".exe");
        return names;
    }
    std::string lower = file;
    for (char& c : lower) c = char(tolower(static_cast<unsigned char>(c)));
    size_t so = lower.find(".so");
    if (so != std::string::npos && (so + 3 == lower.size() || lower[so + 3] == '.')) {
        std::string stem = file.substr(0, so);
        names.push_back(file.substr(0, so + 3));
        names.push_back(stem);
        if (stem.size() > 3 && strncasecmp(stem.c_str(), "lib", 3) == 0) names.push_back(stem.substr(3));
    }
    for (size_t i = 0, n = names.size(); i < n; ++i)
        if (names[i].find('.') == std::string::npos) names.push_back(names[i] + ".dll");
    return names;
}

bool NameMatches(const Module& m, const char* requested) {
    std::string wanted = requested;
    if (wanted.find('/') != std::string::npos) return AbsolutePath(requested) == m.path;
    // A trailing dot says "no extension"; no dot at all means ".dll".
    if (!wanted.empty() && wanted.back() == '.') wanted.pop_back();
    else if (wanted.find('.') == std::string::npos) wanted += ".dll";
    for (const std::string& name : NamesOf(m))
        if (strcasecmp(name.c_str(), wanted.c_str()) == 0) return true;
    return false;
}

}  // namespace

// The path a module was loaded by, made absolute. Symbolic links are kept: the platform
// names a module by the path it was loaded from, and "libfoo.so.1" must not turn into the
// "libfoo.so.1.2.3" it points at.
std::string AbsolutePath(const char* path) {
    if (!path || !*path) return {};
    if (path[0] == '/') return path;
    char resolved[PATH_MAX];
    if (realpath(path, resolved)) return resolved;
    return path;
}

std::shared_ptr<const Module> FindModule(HMODULE handle) {
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    if (!handle) return Executable(t);
    auto* wanted = reinterpret_cast<Module*>(handle);
    if (t.executable && t.executable.get() == wanted) return t.executable;
    for (const auto& m : t.modules)
        if (m.get() == wanted) return m;
    return nullptr;
}

HMODULE RegisterImageModule(std::string path, std::vector<BYTE> bytes) {
    auto image = PeImage::Parse(ByteView(bytes.data(), bytes.size()));
    if (!image) {
        SetDiagnosis(image.error().Message());
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    auto m = std::make_shared<Module>();
    m->kind = ModuleKind::Image;
    m->path = std::move(path);
    m->ownedBytes = std::move(bytes);
    // The parsed image refers to the bytes by address, which the move kept.
    auto index = IndexPeResources(*image);
    if (index) m->resources = std::move(*index);
    else m->resourceError = index.error().Message();
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    t.modules.push_back(m);
    return HandleOf(m);
}

bool UnregisterImageModule(HMODULE module) {
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = std::find_if(t.modules.begin(), t.modules.end(), [&](const auto& m) {
        return HandleOf(m) == module && m->kind == ModuleKind::Image;
    });
    if (it == t.modules.end()) return false;
    t.modules.erase(it);
    return true;
}

}  // namespace navo::win32

using navo::win32::Module;
using navo::win32::ModuleKind;
using navo::win32::TheTable;

extern "C" {

HMODULE WINAPI NavoRegisterElfModule(const void* addressInModule, const void* resourceImage,
                                     SIZE_T resourceImageSize) {
    Dl_info info{};
    if (!addressInModule || !dladdr(addressInModule, &info)) return nullptr;
    const bool isMain = navo::win32::IsMainProgram(addressInModule);
    auto& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    navo::win32::ByteView image(static_cast<const BYTE*>(resourceImage), resourceImageSize);
    if (isMain) {
        // The program itself links the loader glue: its image is the one the executable's
        // record reads from the file, so the embedded copy serves it directly.
        auto& exe = navo::win32::Executable(t, false);
        if (exe->base == nullptr) {
            exe->base = info.dli_fbase;
            if (exe->ownedBytes.empty() && !image.empty()) navo::win32::IndexResources(*exe, image);
        }
        return navo::win32::HandleOf(exe);
    }
    for (const auto& m : t.modules)
        if (m->kind == ModuleKind::Elf && m->base == info.dli_fbase) return navo::win32::HandleOf(m);
    auto m = std::make_shared<Module>();
    m->kind = ModuleKind::Elf;
    m->base = info.dli_fbase;
    m->path = navo::win32::AbsolutePath(info.dli_fname);
    if (!image.empty()) navo::win32::IndexResources(*m, image);
    t.modules.push_back(m);
    return navo::win32::HandleOf(m);
}

void WINAPI NavoSetModuleInitFailed(HMODULE module) {
    auto m = navo::win32::FindModule(module);
    if (m && module) m->initFailed = true;
}

void WINAPI NavoUnregisterElfModule(HMODULE module) {
    auto& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    // The executable's record outlives its glue: the process is exiting.
    auto it = std::find_if(t.modules.begin(), t.modules.end(), [&](const auto& m) {
        return navo::win32::HandleOf(m) == module && m->kind == ModuleKind::Elf;
    });
    if (it != t.modules.end()) t.modules.erase(it);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    auto& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    auto& exe = navo::win32::Executable(t);
    if (!moduleName) return navo::win32::HandleOf(exe);
    // A module whose entry point refused to attach is not loaded, as on the platform.
    for (const auto& m : t.modules)
        if (!m->initFailed && !m->dataFile && navo::win32::NameMatches(*m, moduleName))
            return navo::win32::HandleOf(m);
    if (navo::win32::NameMatches(*exe, moduleName)) return navo::win32::HandleOf(exe);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    auto m = navo::win32::FindModule(module);
    if (!m) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // As the platform since Vista: a path that does not fit is cut to size - 1 characters
    // and terminated; the call returns size and sets ERROR_INSUFFICIENT_BUFFER.
    const std::string& path = m->path;
    if (path.size() >= size) {
        memcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    memcpy(buffer, path.c_str(), path.size() + 1);
    return DWORD(path.size());
}

}  // extern "C"

// --- LoadLibraryA, FreeLibrary, GetProcAddress -----------------------------------------

namespace navo::win32 {
namespace {

// Larger files are not resource DLLs; refusing them keeps a stray name from reading
// gigabytes into memory.
constexpr off_t kMaxImageBytes = off_t(1) << 30;

enum class FileFormat { Missing, Pe, Elf, Other };

FileFormat SniffFormat(const std::string& path) {
    // Never waits on a FIFO or a device: anything but a regular file is no module.
    struct stat st{};
    int fd = OpenForReading(path, st);
    if (fd < 0) return errno == ENOENT ? FileFormat::Missing : FileFormat::Other;
    unsigned char magic[4] = {};
    ssize_t n = read(fd, magic, sizeof magic);
    close(fd);
    if (n >= 2 && magic[0] == 'M' && magic[1] == 'Z') return FileFormat::Pe;
    if (n == 4 && memcmp(magic, "\x7f" "ELF", 4) == 0) return FileFormat::Elf;
    return FileFormat::Other;
}

bool ReadWholeFile(const std::string& path, std::vector<BYTE>& bytes, DWORD& error) {
    int why = ReadFileBounded(path, size_t(kMaxImageBytes), bytes);
    if (why == 0) return true;
    // A file that cannot be opened is missing; one that opens but is no file of a fitting
    // size is not a module.
    error = why == EISDIR || why == EFBIG || why == EINVAL ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND;
    return false;
}

// Opens a module file as ReadWholeFile would read it: the descriptor and the file's size,
// or -1 and the error ReadWholeFile gives for it.
int OpenModuleFile(const std::string& path, uint64_t& size, DWORD& error) {
    struct stat st{};
    int fd = OpenForReading(path, st);
    int why = fd < 0 ? (errno == ENXIO ? EINVAL : errno) : 0;
    if (fd >= 0 && st.st_size > kMaxImageBytes) {
        close(fd);
        fd = -1;
        why = EFBIG;
    }
    if (fd < 0) {
        error = why == EISDIR || why == EFBIG || why == EINVAL ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND;
        return -1;
    }
    size = uint64_t(st.st_size);
    return fd;
}

// A module already loaded that `name` or `path` names, with one more reference; null when
// there is none. Called with the table locked.
HMODULE AddReference(Table& t, const char* name, const std::string& path) {
    for (const auto& m : t.modules) {
        if (m->initFailed || m->dataFile) continue;
        bool matches = path.empty() ? NameMatches(*m, name) : m->path == path;
        if (!matches) continue;
        ++m->loadCount;
        return HandleOf(m);
    }
    auto& exe = Executable(t);
    if (path.empty() ? NameMatches(*exe, name) : exe->path == path) return HandleOf(exe);
    return nullptr;
}

// The bytes a resource image needs: the headers and the resource section, when every
// resource lies in that section (the rule); else the whole file, which then gives the
// same module or the same error as before.
bool ReadPeModuleBytes(const std::string& path, std::vector<BYTE>& bytes, DWORD& error) {
    uint64_t size = 0;
    int fd = OpenModuleFile(path, size, error);
    if (fd < 0) return false;
    FileWindow file(fd, size);
    auto image = ReadPeResourceImage(file);
    close(fd);
    if (image && ReadPeResources(image->data(), image->size())) {
        bytes = std::move(*image);
        return true;
    }
    return ReadWholeFile(path, bytes, error);
}

HMODULE LoadPeImage(const std::string& path) {
    std::vector<BYTE> bytes;
    DWORD error = ERROR_SUCCESS;
    if (!ReadPeModuleBytes(path, bytes, error)) {
        SetLastError(error);
        return nullptr;
    }
    HMODULE handle = RegisterImageModule(path, std::move(bytes));
    if (!handle) return nullptr;  // ERROR_BAD_EXE_FORMAT and the diagnosis are set
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    for (const auto& m : t.modules) {
        if (HandleOf(m) != handle) continue;
        m->loadCount = 1;
        // The module loads without resources; the reason stays for whoever finds none.
        if (!m->resourceError.empty()) SetDiagnosis("resource directory unreadable: " + m->resourceError);
    }
    return handle;
}

// An ELF file read as data (LOAD_LIBRARY_AS_DATAFILE): its ".rsrc" section's resource
// image becomes a resource-image module, and nothing of the file runs. A file without the
// section loads without resources, as a PE file without a resource directory does.
HMODULE LoadElfData(const std::string& path) {
    uint64_t size = 0;
    DWORD error = ERROR_SUCCESS;
    int fd = OpenModuleFile(path, size, error);
    if (fd < 0) {
        SetLastError(error);
        return nullptr;
    }
    FileWindow file(fd, size);
    auto section = ReadElfResourceSection(file);
    close(fd);
    auto m = std::make_shared<Module>();
    m->kind = ModuleKind::Image;
    m->path = path;
    m->loadCount = 1;
    m->dataFile = true;
    if (section) {
        m->ownedBytes = std::move(*section);
        IndexResources(*m, ByteView(m->ownedBytes.data(), m->ownedBytes.size()));
    } else if (section.error().what.rfind("no section", 0) == 0 ||
               section.error().what.find("no bytes in the file") != std::string::npos) {
        m->resourceError = section.error().Message();
    } else {
        SetDiagnosis(section.error().Message());
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    if (!m->resourceError.empty()) SetDiagnosis("resource directory unreadable: " + m->resourceError);
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    t.modules.push_back(m);
    return HandleOf(m);
}

// The diagnosis of a module name that led to no file: the name names something the
// search did not take (a folder, or a file whose name got ".dll").
void DiagnoseMissingModule(const char* fileName) {
    std::string given = fileName;
    for (char& c : given)
        if (c == '\\') c = '/';
    struct stat st{};
    if (given.find('/') == std::string::npos || stat(given.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        SetDiagnosis(given + " is a folder, not a file");
        return;
    }
    std::string base = BaseName(given);
    if (base.find('.') == std::string::npos)
        SetDiagnosis("no file " + given + ".dll: a module name without an extension gets \".dll\"; end it with a dot (" +
                     given + ".) to load the file as it is");
}

HMODULE LoadElfObject(const std::string& path) {
    // No lock is held here: the object's constructors register it with the table.
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        if (why) SetDiagnosis(why);
        // A dependency that cannot be found is a missing module, as on the platform; any
        // other refusal (wrong machine, bad headers) is a bad format.
        bool missing = why && strstr(why, "No such file");
        SetLastError(missing ? ERROR_MOD_NOT_FOUND : ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    link_map* map = nullptr;
    Dl_info info{};
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map || !dladdr(map->l_ld, &info)) {
        dlclose(handle);
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    Table& t = TheTable();
    std::unique_lock<std::mutex> guard(t.lock);
    for (const auto& m : t.modules) {
        if (m->kind != ModuleKind::Elf || m->base != info.dli_fbase) continue;
        if (m->initFailed) {
            guard.unlock();
            dlclose(handle);
            SetLastError(ERROR_DLL_INIT_FAILED);
            return nullptr;
        }
        ++m->loadCount;
        if (!m->dlHandle) {
            m->dlHandle = handle;
        } else {
            // Another thread loaded it meanwhile: one handle of ours is enough.
            guard.unlock();
            dlclose(handle);
        }
        return HandleOf(m);
    }
    // A plain shared object without the loader glue: recorded here, resources read from
    // its file.
    auto m = std::make_shared<Module>();
    m->kind = ModuleKind::Elf;
    m->base = info.dli_fbase;
    m->path = path;
    m->dlHandle = handle;
    m->loadCount = 1;
    ReadElfFileResources(*m);
    t.modules.push_back(m);
    return HandleOf(m);
}

}  // namespace
}  // namespace navo::win32

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR fileName) { return LoadLibraryExA(fileName, nullptr, 0); }

HMODULE WINAPI LoadLibraryExA(LPCSTR fileName, HANDLE file, DWORD flags) {
    using namespace navo::win32;
    ClearDiagnosis();
    // The search flags change where the platform looks; the folders searched here are the
    // same whatever they say. Anything else is refused rather than half honoured.
    constexpr DWORD kDataFlags =
        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE;
    constexpr DWORD kSearchFlags = LOAD_WITH_ALTERED_SEARCH_PATH | LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR |
                                   LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
                                   LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
    if (file || (flags & ~(kDataFlags | kSearchFlags))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const bool asData = (flags & kDataFlags) != 0;
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool bare = !strchr(fileName, '/') && !strchr(fileName, '\\');
    if (bare) {
        // A module already loaded answers to its name before any folder is searched.
        Table& t = TheTable();
        std::lock_guard<std::mutex> guard(t.lock);
        if (HMODULE loaded = AddReference(t, fileName, {})) return loaded;
    }
    DWORD error = ERROR_SUCCESS;
    bool dataOnly = false;  // found in the current folder: never run as code
    std::string path = SearchModuleFile(fileName, error, ModuleUse::Code, &dataOnly);
    if (path.empty()) {
        if (error == ERROR_MOD_NOT_FOUND) DiagnoseMissingModule(fileName);
        SetLastError(error);
        return nullptr;
    }
    {
        // A module loaded already serves a data load too, as on the platform.
        Table& t = TheTable();
        std::lock_guard<std::mutex> guard(t.lock);
        if (HMODULE loaded = AddReference(t, fileName, path)) return loaded;
    }
    switch (SniffFormat(path)) {
        case FileFormat::Missing: SetLastError(ERROR_MOD_NOT_FOUND); return nullptr;
        case FileFormat::Pe: return LoadPeImage(path);
        case FileFormat::Elf:
            if (asData) return LoadElfData(path);
            if (dataOnly) break;
            return LoadElfObject(path);
        case FileFormat::Other: break;
    }
    SetDiagnosis("neither a PE nor an ELF file (at offset 0x0)");
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    using namespace navo::win32;
    Table& t = TheTable();
    std::unique_lock<std::mutex> guard(t.lock);
    if (t.executable && HandleOf(t.executable) == module) return TRUE;
    auto it = std::find_if(t.modules.begin(), t.modules.end(), [&](const auto& m) { return HandleOf(m) == module; });
    if (it == t.modules.end() || !module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    std::shared_ptr<Module> m = *it;
    // Loaded by the dynamic linker, not by us: it stays for the life of the process.
    if (m->loadCount == 0 || --m->loadCount > 0) return TRUE;
    if (m->kind == ModuleKind::Image) {
        t.modules.erase(it);
        return TRUE;
    }
    void* handle = m->dlHandle;
    m->dlHandle = nullptr;
    if (!handle) return TRUE;
    guard.unlock();
    // The object's destructors unregister it when it has the loader glue.
    dlclose(handle);
    guard.lock();
    it = std::find(t.modules.begin(), t.modules.end(), m);
    // Still there: a plain object, or one that stays loaded as a dependency of another.
    // A record without any reference of ours names nothing the caller may rely on.
    if (it != t.modules.end() && m->loadCount == 0 && !m->dlHandle) {
        Dl_info info{};
        bool stillMapped = dladdr(m->base, &info) && info.dli_fbase == m->base;
        if (!stillMapped) t.modules.erase(it);
    }
    return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
    using namespace navo::win32;
    auto m = FindModule(module);
    if (!m) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // Resource images run no code; ELF objects export by name only.
    if (m->kind == ModuleKind::Image || !procName || IS_INTRESOURCE(procName)) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* object = m->kind == ModuleKind::Executable ? dlopen(nullptr, RTLD_NOW)
                                                      : dlopen(m->path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    void* symbol = object ? dlsym(object, procName) : nullptr;
    if (object) dlclose(object);
    // dlsym also searches the object's dependencies; only the module's own exports count.
    Dl_info info{};
    if (symbol && m->kind != ModuleKind::Executable && (!dladdr(symbol, &info) || info.dli_fbase != m->base))
        symbol = nullptr;
    if (!symbol) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

}  // extern "C"
