// navotools resources FILE: the resource types, names and languages of a module.
#include <cstdio>
#include <string>
#include <vector>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace {

int Run(const Args& args);

const Command kCommand = {
    "resources", "resources FILE",
    "Lists the resources of a module (a PE file, an ELF .dll.so or a name the loader\n"
    "finds): one \"TYPE<TAB>NAME<TAB>LANGID<TAB>SIZE\" line each, types by their RT_ names\n"
    "where they have one, numbers as #N. Exits 1 when the file does not load or has no\n"
    "resources.",
    &Run};

std::string TypeText(LPCSTR type) {
    if (!IS_INTRESOURCE(type)) return type;
    static const char* const kNames[] = {nullptr,       "CURSOR",    "BITMAP", "ICON",         "MENU",
                                         "DIALOG",      "STRING",    "FONTDIR", "FONT",        "ACCELERATOR",
                                         "RCDATA",      "MESSAGETABLE", "GROUP_CURSOR", nullptr, "GROUP_ICON",
                                         nullptr,       "VERSION",   "DLGINCLUDE", nullptr,    "PLUGPLAY",
                                         "VXD",         "ANICURSOR", "ANIICON", "HTML",        "MANIFEST"};
    auto id = size_t(reinterpret_cast<ULONG_PTR>(type));
    if (id < sizeof kNames / sizeof kNames[0] && kNames[id]) return kNames[id];
    return "#" + std::to_string(id);
}

std::string NameText(LPCSTR name) {
    if (!IS_INTRESOURCE(name)) return name;
    return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
}

struct Row {
    std::string type, name;
    WORD language;
    DWORD size;
};

struct Walk {
    std::vector<Row> rows;
};

BOOL CALLBACK OnLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language, LONG_PTR param) {
    auto* walk = reinterpret_cast<Walk*>(param);
    HRSRC resource = FindResourceExA(module, type, name, language);
    walk->rows.push_back({TypeText(type), NameText(name), language, resource ? SizeofResource(module, resource) : 0});
    return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR param) {
    EnumResourceLanguagesA(module, type, name, &OnLanguage, param);
    return TRUE;
}

BOOL CALLBACK OnType(HMODULE module, LPSTR type, LONG_PTR param) {
    EnumResourceNamesA(module, type, &OnName, param);
    return TRUE;
}

int Run(const Args& args) {
    if (args.size() != 1) return UsageError(kCommand, "expects one file");
    HMODULE module = LoadLibraryA(args[0].c_str());
    if (!module) {
        DWORD code = GetLastError();
        fprintf(stderr, "navotools resources: cannot load %s: %s\n", args[0].c_str(), ErrorDetails(code).c_str());
        return kFailed;
    }
    Walk walk;
    EnumResourceTypesA(module, &OnType, reinterpret_cast<LONG_PTR>(&walk));
    FreeLibrary(module);
    for (const Row& row : walk.rows)
        printf("%s\t%s\t%u\t%u\n", row.type.c_str(), row.name.c_str(), unsigned(row.language), unsigned(row.size));
    if (walk.rows.empty()) {
        fprintf(stderr, "navotools resources: %s has no resources\n", args[0].c_str());
        return kFailed;
    }
    return kOk;
}

}  // namespace
NAVOTOOLS_COMMAND(kCommand);
}  // namespace navotools
