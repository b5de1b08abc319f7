// navotools inet CODE: the description of a WinInet error code.
#include <cstdio>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace {

int Run(const Args& args);

const Command kCommand = {
    "inet", "inet CODE",
    "Prints the library's description of a WinInet error code (12001 and up). CODE is\n"
    "decimal or 0x-hexadecimal; negative values stand for their 32-bit pattern. Exits 1,\n"
    "printing nothing, when the code has no description.",
    &Run};

int Run(const Args& args) {
    if (args.size() != 1) return UsageError(kCommand, "expects one code");
    long long code = 0;
    if (!ParseCode(args[0], code)) return UsageError(kCommand, "not a 32-bit number: " + args[0]);
    CString description = GetWinInetErrorDescription(static_cast<DWORD>(static_cast<uint32_t>(code)));
    if (description.IsEmpty()) {
        fprintf(stderr, "navotools inet: no description of code %lld\n", code);
        return kFailed;
    }
    // The text may end in a blank (12156); it is printed as it is.
    printf("%s\n", static_cast<LPCSTR>(description));
    return kOk;
}

}  // namespace
NAVOTOOLS_COMMAND(kCommand);
}  // namespace navotools
