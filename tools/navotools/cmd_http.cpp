// navotools http CODE: the phrase of an HTTP status code.
#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace http_command {

void Declare(CLI::App& app) {
    auto code = std::make_shared<std::string>();
    app.description(
        "print the library's phrase for an HTTP status code\n"
        "\"object not found\" for 404. A code without a phrase of its own prints \"No\n"
        "description available\" and exits 1.");
    AddOperand(app, "CODE", *code, "the status code, decimal or 0x-hexadecimal")->required()->check(CodeValidator());
    SetAction(app, [code] {
        long long value = 0;
        ParseCode(*code, value);
        CString description = GetHttpStatusCodeDescription(static_cast<LONG>(static_cast<uint32_t>(value)));
        PrintOut("%s\n", static_cast<LPCSTR>(description));
        // Code 0 never has a row, so its text is the fallback phrase.
        if (description.IsEmpty() || description == GetHttpStatusCodeDescription(0)) return kFailed;
        return kOk;
    });
}

NAVOTOOLS_COMMAND("http", "print the phrase of an HTTP status code", &Declare);
}  // namespace http_command
}  // namespace navotools
