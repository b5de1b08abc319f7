// The module table: ELF objects registered by their loader glue, and the executable.
#include "modules.h"

#include <dlfcn.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <vector>

#include "navo_module.h"

namespace navo::win32 {
namespace {

struct Table {
    std::mutex lock;
    std::vector<Module*> modules;
    Module* executable = nullptr;
};

// Leaked on purpose: modules unregister while the process exits, after static destructors.
Table& TheTable() {
    static Table* table = new Table;
    return *table;
}

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return std::string(buffer, size_t(n));
}

Module* Executable(Table& t) {
    if (!t.executable) {
        // The executable's own resources are not read yet: it answers lookups as a module
        // without resources.
        t.executable = new Module;
        t.executable->path = ExecutablePath();
    }
    return t.executable;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "libNavoTools.so.1" and "NavoTools.dll.so" both answer to "NavoTools" and
// "NavoTools.dll", case-insensitively.
bool NameMatches(const std::string& path, std::string wanted) {
    std::string file = BaseName(path);
    wanted = BaseName(wanted);
    auto strip = [](std::string s) {
        if (s.size() > 3 && strncasecmp(s.c_str(), "lib", 3) == 0) s = s.substr(3);
        size_t so = s.find(".so");
        if (so != std::string::npos) s.resize(so);
        size_t dot = s.rfind('.');
        if (dot != std::string::npos && strcasecmp(s.c_str() + dot, ".dll") == 0) s.resize(dot);
        return s;
    };
    return strcasecmp(file.c_str(), wanted.c_str()) == 0 || strcasecmp(strip(file).c_str(), strip(wanted).c_str()) == 0;
}

}  // namespace

Module* FindModule(HMODULE handle) {
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    if (!handle) return Executable(t);
    auto* m = reinterpret_cast<Module*>(handle);
    if (m == t.executable) return m;
    return std::find(t.modules.begin(), t.modules.end(), m) != t.modules.end() ? m : nullptr;
}

}  // namespace navo::win32

using navo::win32::Module;
using navo::win32::TheTable;
using navo::win32::NameMatches;

extern "C" {

HMODULE WINAPI NavoRegisterElfModule(const void* addressInModule, const void* resourceImage,
                                     SIZE_T resourceImageSize) {
    Dl_info info{};
    if (!dladdr(addressInModule, &info)) return nullptr;
    auto& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    for (Module* m : t.modules)
        if (m->base == info.dli_fbase) return reinterpret_cast<HMODULE>(m);
    auto* m = new Module;
    m->base = info.dli_fbase;
    m->path = info.dli_fname ? info.dli_fname : "";
    if (resourceImage && resourceImageSize)
        m->resources = navo::win32::ReadPeResources(static_cast<const BYTE*>(resourceImage), resourceImageSize);
    t.modules.push_back(m);
    return reinterpret_cast<HMODULE>(m);
}

void WINAPI NavoSetModuleInitFailed(HMODULE module) {
    if (Module* m = navo::win32::FindModule(module)) m->initFailed = true;
}

void WINAPI NavoUnregisterElfModule(HMODULE module) {
    auto& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    auto* m = reinterpret_cast<Module*>(module);
    auto it = std::find(t.modules.begin(), t.modules.end(), m);
    if (it == t.modules.end()) return;
    t.modules.erase(it);
    delete m;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    auto& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    if (!moduleName) return reinterpret_cast<HMODULE>(navo::win32::Executable(t));
    for (Module* m : t.modules)
        if (!m->initFailed && NameMatches(m->path, moduleName)) return reinterpret_cast<HMODULE>(m);
    if (NameMatches(navo::win32::Executable(t)->path, moduleName)) return reinterpret_cast<HMODULE>(t.executable);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    Module* m = navo::win32::FindModule(module);
    if (!m) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // As the platform: a path that does not fit is cut to size - 1 characters, terminated,
    // and the call returns size with ERROR_INSUFFICIENT_BUFFER.
    const std::string& path = m->path;
    if (path.size() + 1 > size) {
        memcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    memcpy(buffer, path.c_str(), path.size() + 1);
    return DWORD(path.size());
}

}  // extern "C"
