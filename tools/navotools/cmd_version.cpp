// navotools version: the library's own version, read from its version resource.
#include "NavoTools.h"
#include "command.h"
#include "tool_support.h"

namespace navotools {
namespace version_command {

void Declare(CLI::App& app) {
    app.description(
        "print the version of the NavoTools library\n"
        "\"NavoTools <major>.<minor>.<build>.<revision>\", read from the version resource of\n"
        "the loaded library. Exits 1 when it has none.");
    SetAction(app, [] {
        std::string version = LibraryVersion();
        if (version.empty()) return FailText("no version", "the library has no version resource");
        PrintOut("NavoTools %s\n", version.c_str());
        return int(kOk);
    });
}

NAVOTOOLS_COMMAND("version", "print the version of the NavoTools library", &Declare);
}  // namespace version_command
}  // namespace navotools
