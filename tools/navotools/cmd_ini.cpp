// navotools ini get|set FILE SECTION KEY [VALUE]: initialization files.
#include <cstring>
#include <string>
#include <vector>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace ini_command {

struct Options {
    std::string file, section, key, value;
    CLI::Option* keyOption = nullptr;
    CLI::Option* valueOption = nullptr;
};

int Get(const Options& o) {
    std::vector<char> buffer(65536);
    if (!o.keyOption->count()) {
        DWORD n = GetPrivateProfileStringA(o.section.c_str(), nullptr, "", buffer.data(), DWORD(buffer.size()),
                                           o.file.c_str());
        for (const char* key = buffer.data(); key < buffer.data() + n && *key; key += strlen(key) + 1)
            PrintOut("%s\n", key);
        if (n == 0) return FailText("[" + o.section + "] of " + o.file, "no keys");
        return kOk;
    }
    // A default no value can equal tells a missing key from an empty one.
    const char kMissing[] = "\x01missing";
    GetPrivateProfileStringA(o.section.c_str(), o.key.c_str(), kMissing, buffer.data(), DWORD(buffer.size()),
                             o.file.c_str());
    if (std::string(buffer.data()) == kMissing)
        return FailText(o.key + " in [" + o.section + "] of " + o.file, "no such key");
    PrintOut("%s\n", buffer.data());
    return kOk;
}

int Set(const Options& o) {
    const char* value = o.valueOption->count() ? o.value.c_str() : nullptr;
    if (!WritePrivateProfileStringA(o.section.c_str(), o.key.c_str(), value, o.file.c_str()))
        return Fail("cannot write " + o.file, GetLastError());
    return kOk;
}

void Declare(CLI::App& app) {
    app.description(
        "read or write an initialization file\n"
        "Through GetPrivateProfileStringA and WritePrivateProfileStringA. A bare FILE such\n"
        "as WIN.INI lives in the emulated Windows directory (<state directory>/windows).\n"
        "Example: navotools ini set WIN.INI MAIL MAPI 1 (enables mail through Simple MAPI).");
    app.require_subcommand(1, 1);

    auto get = std::make_shared<Options>();
    CLI::App* g = app.add_subcommand("get", "print a value, or the keys of a section\n"
                                            "Without KEY, lists the section's keys. Exits 1 when the key is missing.");
    AddOperand(*g, "FILE", get->file, "the initialization file")->required();
    AddOperand(*g, "SECTION", get->section, "the section")->required();
    get->keyOption = AddOperand(*g, "KEY", get->key, "the key");
    SetAction(*g, [get] { return Get(*get); });

    auto set = std::make_shared<Options>();
    CLI::App* s = app.add_subcommand("set", "set or delete a key\nWithout VALUE, deletes the key.");
    AddOperand(*s, "FILE", set->file, "the initialization file")->required();
    AddOperand(*s, "SECTION", set->section, "the section")->required();
    set->keyOption = AddOperand(*s, "KEY", set->key, "the key")->required();
    set->valueOption = AddOperand(*s, "VALUE", set->value, "the value");
    SetAction(*s, [set] { return Set(*set); });
    for (CLI::App* sub : {g, s}) {
        sub->formatter(app.get_formatter());
        sub->group("Commands");
        sub->set_help_flag("-h,--help", "print this help and exit");
    }
}

NAVOTOOLS_COMMAND("ini", "read or write an initialization file", &Declare);
}  // namespace ini_command
}  // namespace navotools
