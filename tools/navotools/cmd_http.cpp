// navotools http CODE: the phrase of an HTTP status code.
#include <cstdio>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace {

int Run(const Args& args);

const Command kCommand = {
    "http", "http CODE",
    "Prints the library's phrase for an HTTP status code (\"object not found\" for 404).\n"
    "CODE is decimal or 0x-hexadecimal, negative values allowed. A code without a phrase of\n"
    "its own prints \"No description available\" and exits 1.",
    &Run};

int Run(const Args& args) {
    if (args.size() != 1) return UsageError(kCommand, "expects one code");
    long long code = 0;
    if (!ParseCode(args[0], code)) return UsageError(kCommand, "not a 32-bit number: " + args[0]);
    LONG value = static_cast<LONG>(static_cast<uint32_t>(code));
    CString description = GetHttpStatusCodeDescription(value);
    printf("%s\n", static_cast<LPCSTR>(description));
    // Code 0 never has a row, so its text is the fallback phrase.
    if (description.IsEmpty() || description == GetHttpStatusCodeDescription(0)) return kFailed;
    return kOk;
}

}  // namespace
NAVOTOOLS_COMMAND(kCommand);
}  // namespace navotools
