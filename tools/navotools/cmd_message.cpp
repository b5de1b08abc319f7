// navotools message MODULE CODE [--lang LANGID]: a text of a module's message table.
#include <string>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace message_command {

struct Options {
    std::string module, code, lang;
};

int Run(const Options& o) {
    long long code = 0, lang = 0;
    ParseCode(o.code, code);
    if (!o.lang.empty()) ParseCode(o.lang, lang);
    HMODULE module = LoadAsData(o.module);
    if (!module) return kFailed;
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
        WriteOut(line + "\n");
    } else {
        result = Fail("no message " + o.code + " in " + o.module, error);
    }
    if (text) LocalFree(text);
    FreeLibrary(module);
    return result;
}

void Declare(CLI::App& app) {
    auto o = std::make_shared<Options>();
    app.description(
        "print a text of a module's message table\n"
        "The text of message CODE in the message table of MODULE (a path, or a name the\n"
        "loader finds, such as msgs.dll), with its inserts left as they are. The module is\n"
        "read as data; none of its code runs. Without --lang the language is found as for\n"
        "language 0: the thread's UI language, the user's, English. Exits 1 with the reason\n"
        "when there is no such message.");
    AddOperand(app, "MODULE", o->module, "the module")->required();
    AddOperand(app, "CODE", o->code, "the message identifier, decimal or 0x-hexadecimal")
        ->required()
        ->check(CodeValidator());
    app.add_option("--lang", o->lang, "the language identifier, such as 1033")
        ->option_text(" LANGID")
        ->check(LangValidator());
    SetAction(app, [o] { return Run(*o); });
}

NAVOTOOLS_COMMAND("message", "print a text of a module's message table", &Declare);
}  // namespace message_command
}  // namespace navotools
