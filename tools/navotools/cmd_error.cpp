// navotools error CODE [TEXT]: the details message of an error code.
#include <cstdio>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace {

int Run(const Args& args);

const Command kCommand = {
    "error", "error CODE [TEXT]",
    "Prints the message the library shows for a Win32 error code: with TEXT, the text, a\n"
    "blank line and \"Details: [0x<code>] <description>\"; without, \"[0x<code>] <description>\".\n"
    "CODE is decimal or 0x-hexadecimal, negative values allowed. Exits 1 when the system\n"
    "has no description of the code (the message is printed all the same).",
    &Run};

int Run(const Args& args) {
    if (args.empty() || args.size() > 2) return UsageError(kCommand, "expects a code and at most one text");
    long long code = 0;
    if (!ParseCode(args[0], code)) return UsageError(kCommand, "not a 32-bit number: " + args[0]);
    LONG value = static_cast<LONG>(static_cast<uint32_t>(code));
    CString description = GetSystemErrorMessage(value);
    CString message;
    if (args.size() == 2) {
        message = GetErrorMessageWithDetails(CString(args[1].c_str()), value);
    } else {
        message.FormatMessage(UINT(IDS_NAVO_CODE_DETAILS), value, static_cast<LPCSTR>(description));
    }
    fwrite(static_cast<LPCSTR>(message), 1, size_t(message.GetLength()), stdout);
    if (message.IsEmpty() || message[message.GetLength() - 1] != '\n') fputc('\n', stdout);
    return description.IsEmpty() ? kFailed : kOk;
}

}  // namespace
NAVOTOOLS_COMMAND(kCommand);
}  // namespace navotools
