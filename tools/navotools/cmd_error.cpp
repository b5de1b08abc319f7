// navotools error CODE [TEXT]: the details message of an error code.
#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace error_command {

struct Options {
    std::string code, text;
    bool haveText = false;
};

int Run(const Options& o) {
    long long code = 0;
    ParseCode(o.code, code);
    LONG value = static_cast<LONG>(static_cast<uint32_t>(code));
    CString description = GetSystemErrorMessage(value);
    CString message;
    if (o.haveText) {
        message = GetErrorMessageWithDetails(CString(o.text.c_str()), value);
    } else {
        message.FormatMessage(UINT(IDS_NAVO_CODE_DETAILS), value, static_cast<LPCSTR>(description));
    }
    WriteOut(static_cast<LPCSTR>(message), size_t(message.GetLength()));
    if (message.IsEmpty() || message[message.GetLength() - 1] != '\n') WriteOut("\n");
    return description.IsEmpty() ? kFailed : kOk;
}

void Declare(CLI::App& app) {
    auto o = std::make_shared<Options>();
    app.description(
        "print the message the library shows for an error code\n"
        "With TEXT: the text, a blank line and \"Details: [0x<code>] <description>\";\n"
        "without: \"[0x<code>] <description>\". Win32 codes and HRESULTs alike. Exits 1\n"
        "when the system has no description of the code (the message is printed all the\n"
        "same).");
    AddOperand(app, "CODE", o->code, "the code, decimal or 0x-hexadecimal, negative allowed")
        ->required()
        ->check(CodeValidator());
    CLI::Option* text = AddOperand(app, "TEXT", o->text, "the sentence the details follow");
    SetAction(app, [o, text] {
        o->haveText = text->count() > 0;
        return Run(*o);
    });
}

NAVOTOOLS_COMMAND("error", "print the message the library shows for an error code", &Declare);
}  // namespace error_command
}  // namespace navotools
