// Resource lookup on module handles: FindResource, LoadResource, LoadString.
#include <windows.h>

#include "language_search.h"
#include "modules.h"

using navo::win32::Module;
using navo::win32::ResourceEntry;
using navo::win32::ResourceKey;

namespace {

const ResourceEntry* EntryOf(const Module* m, HRSRC resource) {
    if (!m || !resource) return nullptr;
    const auto& entries = m->resources.entries;
    auto* e = reinterpret_cast<const ResourceEntry*>(resource);
    if (entries.empty() || e < entries.data() || e >= entries.data() + entries.size()) return nullptr;
    return e;
}

const ResourceEntry* Find(HMODULE module, LPCSTR type, LPCSTR name, WORD language) {
    Module* m = navo::win32::FindModule(module);
    if (!m) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    ResourceKey typeKey, nameKey;
    if (!type || !name || !navo::win32::MakeResourceKey(type, typeKey)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    if (!navo::win32::MakeResourceKey(name, nameKey)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const auto& entries = m->resources.entries;
    bool typeFound = false;
    const ResourceEntry* first = nullptr;
    for (const ResourceEntry& e : entries) {
        if (!(e.type == typeKey)) continue;
        typeFound = true;
        if (e.name == nameKey && !first) first = &e;
    }
    if (!typeFound) {
        SetLastError(m->resources.entries.empty() ? ERROR_RESOURCE_DATA_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    if (!first) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    for (LANGID lang : navo::win32::ResourceLanguageCandidates(language))
        for (const ResourceEntry& e : entries)
            if (e.language == lang && e.type == typeKey && e.name == nameKey) return &e;
    // A request without a language settles for the first one the module has.
    if (PRIMARYLANGID(language) == LANG_NEUTRAL) return first;
    SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
    return nullptr;
}

}  // namespace

extern "C" {

HRSRC WINAPI FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language) {
    return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(Find(module, type, name, language)));
}

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    return FindResourceExA(module, type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) {
    const ResourceEntry* e = EntryOf(navo::win32::FindModule(module), resource);
    if (!e) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return const_cast<BYTE*>(e->data);
}

DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource) {
    const ResourceEntry* e = EntryOf(navo::win32::FindModule(module), resource);
    if (!e) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    return e->size;
}

LPVOID WINAPI LockResource(HGLOBAL resourceData) { return resourceData; }

BOOL WINAPI FreeResource(HGLOBAL) { return FALSE; }

int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax) {
    if (!buffer || bufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    buffer[0] = 0;
    HRSRC block = FindResourceA(instance, MAKEINTRESOURCEA((LOWORD(id) >> 4) + 1), RT_STRING);
    if (!block) return 0;
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(instance, block)));
    DWORD size = SizeofResource(instance, block);
    if (!data) return 0;
    // A block holds 16 rows, each a 16-bit count followed by that many UTF-16 units.
    size_t at = 0;
    WORD count = 0;
    for (UINT row = 0;; ++row) {
        if (at + 2 > size) return 0;
        count = WORD(data[at] | (data[at + 1] << 8));
        at += 2;
        if (size_t(count) * 2 > size - at) return 0;
        if (row == (id & 0xF)) break;
        at += size_t(count) * 2;
    }
    int written = 0;
    for (WORD i = 0; i < count; ++i) {
        char32_t cp = char32_t(data[at + 2 * i] | (data[at + 2 * i + 1] << 8));
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count) {
            char32_t low = char32_t(data[at + 2 * i + 2] | (data[at + 2 * i + 3] << 8));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
        char bytes[4];
        int n;
        if (cp < 0x80) bytes[0] = char(cp), n = 1;
        else if (cp < 0x800) bytes[0] = char(0xC0 | (cp >> 6)), bytes[1] = char(0x80 | (cp & 0x3F)), n = 2;
        else if (cp < 0x10000)
            bytes[0] = char(0xE0 | (cp >> 12)), bytes[1] = char(0x80 | ((cp >> 6) & 0x3F)),
            bytes[2] = char(0x80 | (cp & 0x3F)), n = 3;
        else
            bytes[0] = char(0xF0 | (cp >> 18)), bytes[1] = char(0x80 | ((cp >> 12) & 0x3F)),
            bytes[2] = char(0x80 | ((cp >> 6) & 0x3F)), bytes[3] = char(0x80 | (cp & 0x3F)), n = 4;
        // Never split a character: stop when the whole of it does not fit.
        if (written + n > bufferMax - 1) break;
        for (int k = 0; k < n; ++k) buffer[written++] = bytes[k];
    }
    buffer[written] = 0;
    return written;
}

}  // extern "C"
