// navotools escape [TEXT]: the web escape of a text or of standard input.
#include <cerrno>
#include <cstring>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace escape_command {

// Each byte escapes on its own, so escaping fixed-size pieces and joining the results
// gives exactly the escape of the whole stream.
constexpr size_t kChunkBytes = size_t{64} * 1024;

bool WriteEscaped(const char* data, size_t size) {
    CString escaped = ConvertForWeb(CString(data, int(size)));
    return WriteOut(static_cast<LPCSTR>(escaped), size_t(escaped.GetLength()));
}

int EscapeStream() {
    static char chunk[kChunkBytes];
    for (;;) {
        size_t n = fread(chunk, 1, sizeof chunk, stdin);
        if (n > 0 && !WriteEscaped(chunk, n)) return kFailed;  // main reports the write error
        if (n < sizeof chunk) {
            if (ferror(stdin)) return FailText("cannot read standard input", strerror(errno));
            return kOk;
        }
    }
}

void Declare(CLI::App& app) {
    auto text = std::make_shared<std::string>();
    app.description(
        "escape text for the web\n"
        "Prints TEXT with every byte of value 0x20 or less and every plus sign replaced by\n"
        "%XX (\"a b+c\" gives a%20b%2Bc), followed by a line feed. Without TEXT, or with\n"
        "\"-\", escapes standard input to standard output byte for byte, adding nothing, in\n"
        "constant memory whatever the input's size. Exits 1 when reading or writing fails.");
    CLI::Option* operand = AddOperand(app, "TEXT", *text, "the text; \"-\" or none reads standard input");
    SetAction(app, [text, operand] {
        if (operand->count() == 0 || *text == "-") return EscapeStream();
        WriteEscaped(text->data(), text->size());
        WriteOut("\n");
        return int(kOk);
    });
}

NAVOTOOLS_COMMAND("escape", "escape text for the web", &Declare);
}  // namespace escape_command
}  // namespace navotools
