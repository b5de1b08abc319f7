// Resource lookup on module handles: FindResource, LoadResource, LoadString.
#include <windows.h>

#include <cstring>
#include <string>
#include <string_view>

#include "formats/byte_reader.h"
#include "formats/utf.h"
#include "kernel/language_search.h"
#include "kernel/modules.h"

using navo::win32::Module;
using navo::win32::ResourceEntry;
using navo::win32::ResourceKey;

namespace {

// The entry an HRSRC names in `m`; sets the last error when there is none. A handle of
// another module is refused rather than read (the platform trusts it blindly).
const ResourceEntry* EntryOf(const Module* m, HRSRC resource) {
    if (!m || !m->resources.hasDirectory()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    if (!m->resources.Owns(resource)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return reinterpret_cast<const ResourceEntry*>(resource);
}

}  // namespace

extern "C" {

HRSRC WINAPI FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language) {
    auto m = navo::win32::FindModule(module);
    if (!m) {
        // What the platform reports for a handle without PE headers behind it.
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    // The name is converted before the type, as on the platform; a "#" number that needs
    // more than 16 bits is an invalid parameter.
    auto nameKey = navo::win32::ResourceKeyFromArgument(name);
    if (!nameKey) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto typeKey = navo::win32::ResourceKeyFromArgument(type);
    if (!typeKey) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::vector<LANGID> languages = navo::win32::ResourceLanguageCandidates(language);
    // Without a language asked for, the platform settles for the name's first language.
    const auto fallback = PRIMARYLANGID(language) == LANG_NEUTRAL ? navo::win32::LanguageFallback::FirstLanguage
                                                                  : navo::win32::LanguageFallback::None;
    navo::win32::ResourceLookup found = m->resources.Find(*typeKey, *nameKey, languages, fallback);
    if (!found.entry) {
        SetLastError(found.error);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(found.entry));
}

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    return FindResourceExA(module, type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) {
    // As the platform: a null resource gives null and leaves the last error alone.
    if (!resource) return nullptr;
    auto m = navo::win32::FindModule(module);
    const ResourceEntry* e = EntryOf(m.get(), resource);
    return e ? const_cast<BYTE*>(e->data) : nullptr;
}

DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource) {
    if (!resource) return 0;
    auto m = navo::win32::FindModule(module);
    const ResourceEntry* e = EntryOf(m.get(), resource);
    return e ? e->size : 0;
}

// Resources stay where the module holds them: the handle is the data.
LPVOID WINAPI LockResource(HGLOBAL resourceData) { return resourceData; }

// Nothing to free; the platform's 32-bit FreeResource returns FALSE as well.
BOOL WINAPI FreeResource(HGLOBAL) { return FALSE; }

int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax) {
    // The platform answers a zero-length buffer with -1 and writes nothing.
    if (bufferMax == 0) return -1;
    if (!buffer || bufferMax < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    buffer[0] = 0;
    HRSRC block = FindResourceA(instance, MAKEINTRESOURCEA((LOWORD(id) >> 4) + 1), RT_STRING);
    if (!block) return 0;
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(instance, block)));
    const DWORD size = SizeofResource(instance, block);
    if (!data) return 0;
    // A block holds 16 rows, each a 16-bit count and that many UTF-16 units. A block cut
    // short has no rows past its end.
    navo::win32::ByteReader rows(navo::win32::ByteView(data, size));
    WORD count = 0;
    navo::win32::ByteView units;
    for (UINT row = 0;; ++row) {
        auto length = rows.U16("string block: row length");
        if (!length) return 0;
        count = *length;
        auto text = rows.Take(size_t(count) * 2, "string block: row text");
        if (!text) return 0;
        units = *text;
        if (row == (id & 0xF)) break;
    }
    // The string as UTF-8, lone surrogates as U+FFFD as the platform's conversion does,
    // cut before the first character that does not fit whole.
    const std::string text = navo::win32::utf::Utf16LeToUtf8(
        std::string_view(reinterpret_cast<const char*>(units.data()), size_t(count) * 2), navo::win32::utf::kReplace,
        navo::win32::utf::CutUnit::kDrop);
    const size_t written = navo::win32::utf::WholeCharacterPrefix(text, size_t(bufferMax) - 1);
    memcpy(buffer, text.data(), written);
    buffer[written] = 0;
    return int(written);
}

}  // extern "C"

// --- enumeration ------------------------------------------------------------------------

namespace {

// A key as the enumeration callbacks receive it: MAKEINTRESOURCE for an ID, else the name
// in the ANSI code page. `storage` keeps the text alive during the call.
LPSTR KeyArgument(const ResourceKey& key, std::string& storage) {
    if (key.isId) return MAKEINTRESOURCEA(key.id);
    storage.clear();
    int n = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(key.name.data()), int(key.name.size()), nullptr,
                                0, nullptr, nullptr);
    storage.resize(size_t(n > 0 ? n : 0));
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(key.name.data()), int(key.name.size()),
                            storage.data(), n, nullptr, nullptr);
    return storage.data();
}

// The module's resource index, or null with the platform's error for a module without
// resources.
std::shared_ptr<const Module> ModuleWithResources(HMODULE module) {
    auto m = navo::win32::FindModule(module);
    if (!m || !m->resources.hasDirectory()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return m;
}

}  // namespace

extern "C" {

BOOL WINAPI EnumResourceTypesA(HMODULE module, ENUMRESTYPEPROCA callback, LONG_PTR param) {
    auto m = ModuleWithResources(module);
    if (!m) return FALSE;
    if (!callback) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    // Entries come sorted by type, so each type starts a run.
    std::string storage;
    const ResourceKey* last = nullptr;
    for (const ResourceEntry& e : m->resources.entries()) {
        if (last && *last == e.type) continue;
        last = &e.type;
        if (!callback(module, KeyArgument(e.type, storage), param)) {
            SetLastError(ERROR_RESOURCE_ENUM_USER_STOP);
            return FALSE;
        }
    }
    return TRUE;
}

BOOL WINAPI EnumResourceNamesA(HMODULE module, LPCSTR type, ENUMRESNAMEPROCA callback, LONG_PTR param) {
    auto m = ModuleWithResources(module);
    if (!m) return FALSE;
    auto typeKey = navo::win32::ResourceKeyFromArgument(type);
    if (!typeKey || !callback) {
        SetLastError(!typeKey ? ERROR_INVALID_PARAMETER : ERROR_NOACCESS);
        return FALSE;
    }
    bool found = false;
    std::string storage;
    const ResourceKey* last = nullptr;
    for (const ResourceEntry& e : m->resources.entries()) {
        if (!(e.type == *typeKey)) continue;
        found = true;
        if (last && *last == e.name) continue;
        last = &e.name;
        if (!callback(module, type, KeyArgument(e.name, storage), param)) {
            SetLastError(ERROR_RESOURCE_ENUM_USER_STOP);
            return FALSE;
        }
    }
    if (!found) SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return found;
}

BOOL WINAPI EnumResourceLanguagesA(HMODULE module, LPCSTR type, LPCSTR name, ENUMRESLANGPROCA callback,
                                   LONG_PTR param) {
    auto m = ModuleWithResources(module);
    if (!m) return FALSE;
    auto typeKey = navo::win32::ResourceKeyFromArgument(type);
    auto nameKey = navo::win32::ResourceKeyFromArgument(name);
    if (!typeKey || !nameKey || !callback) {
        SetLastError(!callback ? ERROR_NOACCESS : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool typeFound = false, nameFound = false;
    for (const ResourceEntry& e : m->resources.entries()) {
        if (!(e.type == *typeKey)) continue;
        typeFound = true;
        if (!(e.name == *nameKey)) continue;
        nameFound = true;
        if (!callback(module, type, name, e.language, param)) {
            SetLastError(ERROR_RESOURCE_ENUM_USER_STOP);
            return FALSE;
        }
    }
    if (!nameFound) SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nameFound;
}

}  // extern "C"
