// navotools strings [--lang LANGID]: the library's string table.
#include <cstdio>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace {

int Run(const Args& args);

const Command kCommand = {
    "strings", "strings [--lang LANGID]",
    "Lists the rows of the library's string table, one \"ID<TAB>text\" line each, with line\n"
    "feeds shown as \\n. LANGID (decimal or 0x-hex, such as 1033 or 1042) sets the thread's\n"
    "UI language for the lookups; the default is the user's.",
    &Run};

void PrintEscaped(const CString& text) {
    for (int i = 0; i < text.GetLength(); ++i) {
        char c = text[i];
        if (c == '\n') fputs("\\n", stdout);
        else if (c == '\r') fputs("\\r", stdout);
        else if (c == '\t') fputs("\\t", stdout);
        else if (c == '\\') fputs("\\\\", stdout);
        else fputc(c, stdout);
    }
}

int Run(const Args& args) {
    if (!args.empty()) {
        long long lang = 0;
        if (args.size() != 2 || args[0] != "--lang") return UsageError(kCommand, "unexpected arguments");
        if (!ParseCode(args[1], lang) || lang < 0 || lang > 0xFFFF)
            return UsageError(kCommand, "not a language identifier: " + args[1]);
        SetThreadUILanguage(static_cast<LANGID>(lang));
    }
    int rows = 0;
    for (UINT id = 8000; id <= 8111; ++id) {
        CString text;
        if (!text.LoadString(id)) continue;
        printf("%u\t", id);
        PrintEscaped(text);
        fputc('\n', stdout);
        ++rows;
    }
    fprintf(stderr, "%d rows\n", rows);
    return rows ? kOk : kFailed;
}

}  // namespace
NAVOTOOLS_COMMAND(kCommand);
}  // namespace navotools
