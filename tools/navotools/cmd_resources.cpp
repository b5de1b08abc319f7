// navotools resources FILE: the resource types, names and languages of a module.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "NavoTools.h"
#include "command.h"
#include "tool_support.h"

namespace navotools {

HMODULE LoadAsData(const std::string& operand) {
    std::string name = operand;
    struct stat st{};
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos && stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        name.find('.', slash) == std::string::npos)
        name += '.';  // a trailing dot: no ".dll" added
    HMODULE module = LoadLibraryExA(name.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) {
        DWORD code = GetLastError();
        Fail("cannot load " + operand, code, operand);
        SetLastError(code);
    }
    return module;
}

namespace resources_command {

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

BOOL CALLBACK OnLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language, LONG_PTR param) {
    auto* rows = reinterpret_cast<std::vector<Row>*>(param);
    HRSRC resource = FindResourceExA(module, type, name, language);
    rows->push_back({TypeText(type), NameText(name), language, resource ? SizeofResource(module, resource) : 0});
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

void Declare(CLI::App& app) {
    auto file = std::make_shared<std::string>();
    app.description(
        "list the resources of a module\n"
        "One \"TYPE<TAB>NAME<TAB>LANGID<TAB>SIZE\" line per resource, types by their RT_\n"
        "names where they have one, numbers as #N. FILE is a PE file, an ELF module with\n"
        "embedded resources or a name the loader finds; it is read as data, and none of its\n"
        "code runs. Exits 1 when the file does not load or has no resources.");
    AddOperand(app, "FILE", *file, "the module")->required();
    SetAction(app, [file] {
        HMODULE module = LoadAsData(*file);
        if (!module) return int(kFailed);
        // The loader leaves the reason when the module's resources could not be read.
        std::string diagnosis = LastDiagnosis();
        std::vector<Row> rows;
        EnumResourceTypesA(module, &OnType, reinterpret_cast<LONG_PTR>(&rows));
        FreeLibrary(module);
        for (const Row& row : rows)
            PrintOut("%s\t%s\t%u\t%u\n", row.type.c_str(), row.name.c_str(), unsigned(row.language),
                     unsigned(row.size));
        if (rows.empty()) return FailText(*file, diagnosis.empty() ? "no resources" : "no resources: " + diagnosis);
        return int(kOk);
    });
}

NAVOTOOLS_COMMAND("resources", "list the resources of a module", &Declare);
}  // namespace resources_command
}  // namespace navotools
