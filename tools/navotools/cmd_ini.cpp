// navotools ini get|set FILE SECTION KEY [VALUE]: initialization files.
#include <cstdio>
#include <string>
#include <vector>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace {

int Run(const Args& args);

const Command kCommand = {
    "ini", "ini get FILE SECTION [KEY] | ini set FILE SECTION KEY [VALUE]",
    "Reads or writes an initialization file through GetPrivateProfileStringA and\n"
    "WritePrivateProfileStringA. A bare FILE such as WIN.INI lives in the emulated Windows\n"
    "directory (<state directory>/windows). \"get\" without KEY lists the section's keys;\n"
    "\"set\" without VALUE deletes the key. \"get\" exits 1 when the key is missing.\n"
    "Example: navotools ini set WIN.INI MAIL MAPI 1 (enables mail through Simple MAPI).",
    &Run};

int Run(const Args& args) {
    if (args.size() < 3) return UsageError(kCommand, "expects get or set, a file and a section");
    const std::string& file = args[1];
    const std::string& section = args[2];
    if (args[0] == "get" && args.size() <= 4) {
        std::vector<char> buffer(65536);
        if (args.size() == 3) {
            DWORD n = GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer.data(), DWORD(buffer.size()),
                                               file.c_str());
            for (const char* key = buffer.data(); key < buffer.data() + n && *key; key += strlen(key) + 1)
                printf("%s\n", key);
            return n ? kOk : kFailed;
        }
        // A default no value can equal tells a missing key from an empty one.
        const char kMissing[] = "\x01missing";
        GetPrivateProfileStringA(section.c_str(), args[3].c_str(), kMissing, buffer.data(), DWORD(buffer.size()),
                                 file.c_str());
        if (std::string(buffer.data()) == kMissing) {
            fprintf(stderr, "navotools ini: no key %s in [%s] of %s\n", args[3].c_str(), section.c_str(), file.c_str());
            return kFailed;
        }
        printf("%s\n", buffer.data());
        return kOk;
    }
    if (args[0] == "set" && (args.size() == 4 || args.size() == 5)) {
        const char* value = args.size() == 5 ? args[4].c_str() : nullptr;
        if (!WritePrivateProfileStringA(section.c_str(), args[3].c_str(), value, file.c_str())) {
            DWORD code = GetLastError();
            fprintf(stderr, "navotools ini: cannot write %s: %s\n", file.c_str(), ErrorDetails(code).c_str());
            return kFailed;
        }
        return kOk;
    }
    return UsageError(kCommand, "unexpected arguments");
}

}  // namespace
NAVOTOOLS_COMMAND(kCommand);
}  // namespace navotools
