// The module table of the Linux layer.
#pragma once

#include <windows.h>

#include <string>

#include "pe_image.h"

namespace navo::win32 {

// A registered module. HMODULE values are pointers to these records.
struct Module {
    std::string path;             // the file the module was loaded from
    const void* base = nullptr;   // the ELF object's load address; null for the executable
    ResourceIndex resources;      // entries point into the module's mapped image
    bool initFailed = false;
};

// The module a handle names, or null when it names none. A null handle names the running
// executable.
Module* FindModule(HMODULE module);

}  // namespace navo::win32
