// navotools message MODULE CODE [--lang LANGID]: a text of a module's message table.
#include <cstdio>
#include <string>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace {

int Run(const Args& args);

const Command kCommand = {
    "message", "message MODULE CODE [--lang LANGID]",
    "Prints the text of message CODE in the message table of MODULE (a path, or a name the\n"
    "loader finds, such as msgs.dll), with its inserts left as they are. Without --lang the\n"
    "language is found as for language 0: the thread's UI language, the user's, English.\n"
    "Exits 1 with the reason (for example error 317: no such message) when there is none.",
    &Run};

void Fail(const char* what, DWORD code) {
    fprintf(stderr, "navotools message: %s: %s\n", what, ErrorDetails(code).c_str());
}

int Run(const Args& args) {
    if (args.size() != 2 && args.size() != 4) return UsageError(kCommand, "expects a module and a code");
    long long code = 0;
    if (!ParseCode(args[1], code)) return UsageError(kCommand, "not a 32-bit number: " + args[1]);
    long long lang = 0;
    if (args.size() == 4 && (args[2] != "--lang" || !ParseCode(args[3], lang) || lang < 0 || lang > 0xFFFF))
        return UsageError(kCommand, "expects --lang LANGID");
    HMODULE module = LoadLibraryA(args[0].c_str());
    if (!module) {
        Fail(("cannot load " + args[0]).c_str(), GetLastError());
        return kFailed;
    }
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS |
                                      FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                  module, DWORD(code), DWORD(lang), reinterpret_cast<LPSTR>(&text), 0, nullptr);
    DWORD error = GetLastError();
    int result = kOk;
    if (length) {
        // Message texts end in CR LF; the line feed alone ends the printed line.
        std::string line(text, length);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        printf("%s\n", line.c_str());
    } else {
        Fail("no message", error);
        result = kFailed;
    }
    if (text) LocalFree(text);
    FreeLibrary(module);
    return result;
}

}  // namespace
NAVOTOOLS_COMMAND(kCommand);
}  // namespace navotools
