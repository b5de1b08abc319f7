// Project extension: how an ELF shared object that behaves as a DLL registers with the
// module table of the Linux layer. Used by the loader glue that every such module links
// (dll_startup_elf.cpp); applications do not call it.
#pragma once

#include "windef.h"

extern "C" {

// Registers the loaded ELF object that contains `addressInModule` as a module and returns
// its handle. `resourceImage` is the module's embedded resource-only PE image (null when
// it has none). A malformed image registers a module without resources. Registering the
// same object again returns the same handle.
WINBASEAPI HMODULE WINAPI NavoRegisterElfModule(const void* addressInModule,
                                                const void* resourceImage,
                                                SIZE_T resourceImageSize);

// Records that the module's DLL entry point refused process attach.
WINBASEAPI void WINAPI NavoSetModuleInitFailed(HMODULE module);

// Removes a module registered with NavoRegisterElfModule; its handle becomes invalid.
WINBASEAPI void WINAPI NavoUnregisterElfModule(HMODULE module);

}  // extern "C"
