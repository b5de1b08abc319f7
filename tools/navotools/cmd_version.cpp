// navotools version: the library's own version, read from its version resource.
#include <cstdio>
#include <cstring>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace {

int Run(const Args& args);

const Command kCommand = {"version", "version",
                          "Prints the file version of the NavoTools library, read from the version\n"
                          "resource of the loaded library.",
                          &Run};

// The fixed part of a version block starts with this signature, right after the block's
// header and its key.
constexpr DWORD kFixedInfoSignature = 0xFEEF04BD;

int Run(const Args& args) {
    if (!args.empty()) return UsageError(kCommand, "takes no arguments");
    HINSTANCE module = AfxFindResourceHandle(MAKEINTRESOURCE(1), RT_VERSION);
    HRSRC resource = module ? FindResourceA(module, MAKEINTRESOURCE(1), RT_VERSION) : nullptr;
    const BYTE* data = resource ? static_cast<const BYTE*>(LockResource(LoadResource(module, resource))) : nullptr;
    DWORD size = resource ? SizeofResource(module, resource) : 0;
    for (DWORD offset = 0; data && offset + 16 <= size && offset < 128; offset += 4) {
        DWORD words[4];
        memcpy(words, data + offset, sizeof words);
        if (words[0] != kFixedInfoSignature) continue;
        printf("NavoTools %u.%u.%u.%u\n", words[2] >> 16, words[2] & 0xFFFF, words[3] >> 16, words[3] & 0xFFFF);
        return kOk;
    }
    fprintf(stderr, "navotools version: no version resource found\n");
    return kFailed;
}

}  // namespace
NAVOTOOLS_COMMAND(kCommand);
}  // namespace navotools
