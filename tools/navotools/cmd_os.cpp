// navotools os: the operating-system version record and the tests that hold for it.
#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace os_command {

struct Test {
    const char* name;
    int (CWinOSVersion::*holds)() const;
};

constexpr Test kTests[] = {
    {"IsWin9x", &CWinOSVersion::IsWin9x},
    {"IsWin95", &CWinOSVersion::IsWin95},
    {"IsWin98", &CWinOSVersion::IsWin98},
    {"IsWin98SE", &CWinOSVersion::IsWin98SE},
    {"IsWinMe", &CWinOSVersion::IsWinMe},
    {"IsWin98OrHigher", &CWinOSVersion::IsWin98OrHigher},
    {"IsWinNT", &CWinOSVersion::IsWinNT},
    {"IsWinNT4", &CWinOSVersion::IsWinNT4},
    {"IsWin2000", &CWinOSVersion::IsWin2000},
    {"IsWinXP", &CWinOSVersion::IsWinXP},
    {"IsWinNT4OrHigher", &CWinOSVersion::IsWinNT4OrHigher},
    {"IsWin2000OrHigher", &CWinOSVersion::IsWin2000OrHigher},
};

int Run() {
    CWinOSVersion os;
    const OSVERSIONINFOA& record = os.GetVerInfo();
    PrintOut("version\t%u.%u\nbuild\t%u\nplatform\t%u\ncsd\t%.*s\n", unsigned(record.dwMajorVersion),
             unsigned(record.dwMinorVersion), unsigned(record.dwBuildNumber), unsigned(record.dwPlatformId),
             int(sizeof record.szCSDVersion), record.szCSDVersion);
    for (const Test& test : kTests) PrintOut("%s\t%d\n", test.name, (os.*test.holds)());
    return kOk;
}

void Declare(CLI::App& app) {
    app.description(
        "print the Windows release as the library sees it\n"
        "GetVersionExA's record (version, build, platform, service-pack text), then each\n"
        "of CWinOSVersion's tests with 1 or 0, tab-separated. On Linux the release is\n"
        "emulated: set NAVOTOOLS_OSVERSION=major.minor.build[.platform] or write major=,\n"
        "minor=, build=, platform=, csd= lines to the file \"osversion\" of the state\n"
        "directory ($NAVOTOOLS_HOME, by default ~/.config/navotools).");
    SetAction(app, &Run);
}

NAVOTOOLS_COMMAND("os", "print the Windows release and the version tests", &Declare);
}  // namespace os_command
}  // namespace navotools
