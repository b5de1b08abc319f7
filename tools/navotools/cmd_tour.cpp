// navotools tour: walks the library's capabilities once, one or two lines a step.
#include <cstdio>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace {

int Run(const Args& args);

const Command kCommand = {"tour", "tour",
                          "Runs each capability of the library once and says what it did. Exits 0 only\n"
                          "when every step worked.",
                          &Run};

int g_failures;

void Step(const char* what, bool ok, const CString& detail) {
    printf("[%s] %s: ", ok ? " ok " : "FAIL", what);
    for (int i = 0; i < detail.GetLength(); ++i) {
        char c = detail[i];
        if (c == '\r') continue;
        putchar(c == '\n' ? ' ' : c);
    }
    putchar('\n');
    if (!ok) ++g_failures;
}

int Run(const Args& args) {
    if (!args.empty()) return UsageError(kCommand, "takes no arguments");
    g_failures = 0;

    CString message = GetErrorMessageWithDetails("Copy failed", ERROR_FILE_NOT_FOUND);
    Step("error message with details", message.Find("Details: [0x00000002] ") > 0, message);

    CString row;
    row.LoadString(IDS_NAVO_HTTP_NO_DESCRIPTION);
    Step("string table through the resource chain", row == "No description available", row);

    LANGID previous = GetThreadUILanguage();
    SetThreadUILanguage(MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN));
    CString korean;
    BOOL found = korean.LoadString(IDS_NAVO_MAPI_LOGON_FAILED);
    CString http;
    http.LoadString(IDS_NAVO_HTTP_NO_DESCRIPTION);
    SetThreadUILanguage(previous);
    Step("Korean string table lacks the mail rows", !found && http == row,
         CString("row 8101 under 1042 is ") + (found ? "present" : "absent"));

    printf("%d step(s) failed\n", g_failures);
    return g_failures ? kFailed : kOk;
}

}  // namespace
NAVOTOOLS_COMMAND(kCommand);
}  // namespace navotools
