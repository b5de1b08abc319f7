// navotools escape [TEXT]: the web escape of a text or of standard input.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace {

int Run(const Args& args);

const Command kCommand = {
    "escape", "escape [TEXT]",
    "Prints TEXT with every byte of value 0x20 or less and every plus sign replaced by\n"
    "%XX (\"a b+c\" gives a%20b%2Bc), followed by a line feed. Without TEXT, escapes\n"
    "standard input to standard output byte for byte, adding nothing, in constant memory\n"
    "whatever the input's size. Exits 1 when reading or writing fails.",
    &Run};

// Each byte escapes on its own, so escaping fixed-size pieces and joining the results
// gives exactly the escape of the whole stream.
constexpr size_t kChunkBytes = size_t{64} * 1024;

bool WriteAll(const CString& text) {
    size_t length = size_t(text.GetLength());
    return fwrite(static_cast<LPCSTR>(text), 1, length, stdout) == length;
}

int EscapeStream() {
    static char chunk[kChunkBytes];
    for (;;) {
        size_t n = fread(chunk, 1, sizeof chunk, stdin);
        if (n > 0 && !WriteAll(ConvertForWeb(CString(chunk, int(n))))) break;
        if (n < sizeof chunk) {
            if (ferror(stdin)) {
                fprintf(stderr, "navotools escape: cannot read standard input: %s\n", strerror(errno));
                return kFailed;
            }
            if (fflush(stdout) == 0) return kOk;
            break;
        }
    }
    fprintf(stderr, "navotools escape: cannot write standard output: %s\n", strerror(errno));
    return kFailed;
}

int Run(const Args& args) {
    if (args.size() > 1) return UsageError(kCommand, "expects at most one text");
    if (args.empty()) return EscapeStream();
    CString text(args[0].c_str(), int(args[0].size()));
    if (!WriteAll(ConvertForWeb(text)) || fputc('\n', stdout) == EOF || fflush(stdout) != 0) {
        fprintf(stderr, "navotools escape: cannot write standard output: %s\n", strerror(errno));
        return kFailed;
    }
    return kOk;
}

}  // namespace
NAVOTOOLS_COMMAND(kCommand);
}  // namespace navotools
