// The module table of the Linux layer.
//
// An HMODULE is the address of a Module record of this table. A handle that is not in the
// table names no module: the functions that take one fail with the platform's error
// instead of reading through it.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "formats/pe_image.h"

namespace navo::win32 {

enum class ModuleKind {
    Executable,  // the running program
    Elf,         // a shared object registered by its loader glue
    Image,       // a PE file read as a resource image
};

struct Module {
    ModuleKind kind = ModuleKind::Elf;
    std::string path;             // absolute path of the file, as GetModuleFileNameA reports it
    const void* base = nullptr;   // load address of an ELF object
    std::vector<BYTE> ownedBytes; // the bytes the resources point into, when the record owns them
    ResourceIndex resources;      // empty when the module has no (readable) resource directory
    std::string resourceError;    // why a resource image gave no resources
    bool dataFile = false;        // an ELF file loaded as data: found by no name, runs nothing
    mutable std::atomic<bool> initFailed{false};  // set through a const view of the table
    // Held by LoadLibraryA and changed only with the table locked. An ELF object that the
    // dynamic linker loaded itself has no handle of ours and is never unloaded by us.
    void* dlHandle = nullptr;
    int loadCount = 0;  // LoadLibraryA calls not yet matched by FreeLibrary
};

// The module a handle names; null when it names none. A null handle names the running
// executable. The record stays alive while the returned pointer is held.
std::shared_ptr<const Module> FindModule(HMODULE module);

// Registers a PE file's bytes as a resource-image module, taking ownership of them. An
// image whose headers are unreadable is refused (null, ERROR_BAD_EXE_FORMAT); one whose
// resource directory is malformed registers without resources.
HMODULE RegisterImageModule(std::string path, std::vector<BYTE> bytes);

// The path a module was loaded by, made absolute; symbolic links are kept.
std::string AbsolutePath(const char* path);

// Removes a module registered with RegisterImageModule; its handle becomes invalid.
// False when the handle names no such module.
bool UnregisterImageModule(HMODULE module);

}  // namespace navo::win32
