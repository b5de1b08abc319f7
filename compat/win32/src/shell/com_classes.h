// The in-process classes that CoCreateInstance can create.
#pragma once

#include <objbase.h>

namespace navo::win32 {

// Creates a new object and returns its interface riid (reference count one), or
// E_NOINTERFACE with *object null, or E_OUTOFMEMORY.
using ClassFactoryFn = HRESULT (*)(REFIID riid, void** object);

// The shell link object (CLSID_ShellLink).
HRESULT CreateShellLink(REFIID riid, void** object);

}  // namespace navo::win32
