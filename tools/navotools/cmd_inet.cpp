// navotools inet CODE: the description of a WinInet error code.
#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace inet_command {

void Declare(CLI::App& app) {
    auto code = std::make_shared<std::string>();
    app.description(
        "print the description of a WinInet error code\n"
        "Codes are 12001 and up; negative values stand for their 32-bit pattern. Exits 1,\n"
        "printing nothing on standard output, when the code has no description.");
    AddOperand(app, "CODE", *code, "the error code, decimal or 0x-hexadecimal")->required()->check(CodeValidator());
    SetAction(app, [code] {
        long long value = 0;
        ParseCode(*code, value);
        CString description = GetWinInetErrorDescription(static_cast<DWORD>(static_cast<uint32_t>(value)));
        if (description.IsEmpty()) return FailText("code " + *code, "no description");
        // The text may end in a blank (12156); it is printed as it is.
        PrintOut("%s\n", static_cast<LPCSTR>(description));
        return int(kOk);
    });
}

NAVOTOOLS_COMMAND("inet", "print the description of a WinInet error code", &Declare);
}  // namespace inet_command
}  // namespace navotools
