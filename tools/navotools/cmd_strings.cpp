// navotools strings [--lang LANGID]: the library's string table.
#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace strings_command {

void PrintEscaped(const CString& text) {
    std::string out;
    for (int i = 0; i < text.GetLength(); ++i) {
        char c = text[i];
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c == '\\') out += "\\\\";
        else out += c;
    }
    WriteOut(out);
}

void Declare(CLI::App& app) {
    auto lang = std::make_shared<std::string>();
    app.description(
        "list the library's string table\n"
        "One \"ID<TAB>text\" line per row, line feeds shown as \\n; the row count goes to\n"
        "standard error. Exits 1 when no row was found.");
    app.add_option("--lang", *lang, "the thread's UI language for the lookups, such as 1033 or 1042")
        ->option_text(" LANGID")
        ->check(LangValidator());
    SetAction(app, [lang] {
        if (!lang->empty()) {
            long long value = 0;
            ParseCode(*lang, value);
            SetThreadUILanguage(static_cast<LANGID>(value));
        }
        int rows = 0;
        for (UINT id = 8000; id <= 8111; ++id) {
            CString text;
            if (!text.LoadString(id)) continue;
            PrintOut("%u\t", id);
            PrintEscaped(text);
            WriteOut("\n");
            ++rows;
        }
        fprintf(stderr, "%d rows\n", rows);
        return rows ? kOk : kFailed;
    });
}

NAVOTOOLS_COMMAND("strings", "list the library's string table", &Declare);
}  // namespace strings_command
}  // namespace navotools
