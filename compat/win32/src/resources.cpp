// Resource lookup on module handles: FindResource, LoadResource, LoadString.
#include <windows.h>

#include <cstring>
#include <string>

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
    if (count == 0) return 0;
    std::u16string row(count, u'\0');
    for (WORD i = 0; i < count; ++i) row[i] = char16_t(data[at + 2 * i] | (data[at + 2 * i + 1] << 8));
    auto* wide = reinterpret_cast<LPCWSTR>(row.data());
    int needed = WideCharToMultiByte(CP_ACP, 0, wide, count, nullptr, 0, nullptr, nullptr);
    std::string text(size_t(needed > 0 ? needed : 0), '\0');
    if (needed > 0) WideCharToMultiByte(CP_ACP, 0, wide, count, text.data(), needed, nullptr, nullptr);
    // Never split a character: a cut falls back to the start of the character it hits.
    size_t written = text.size();
    if (written > size_t(bufferMax - 1)) {
        written = size_t(bufferMax - 1);
        while (written > 0 && (static_cast<unsigned char>(text[written]) & 0xC0) == 0x80) --written;
    }
    memcpy(buffer, text.data(), written);
    buffer[written] = 0;
    return int(written);
}

}  // extern "C"
