// navotools os: the operating-system version record and the tests that hold for it.
#include <cstdio>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace {

int Run(const Args& args);

const Command kCommand = {
    "os", "os",
    "Prints the Windows release as the library sees it (GetVersionExA's record: version,\n"
    "build, platform and service-pack text), then each of CWinOSVersion's tests with 1 or 0.\n"
    "On Linux the release is emulated: set NAVOTOOLS_OSVERSION=major.minor.build[.platform]\n"
    "or write major=, minor=, build=, platform=, csd= lines to the file \"osversion\" of the\n"
    "state directory ($NAVOTOOLS_HOME, by default ~/.config/navotools).",
    &Run};

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

int Run(const Args& args) {
    if (!args.empty()) return UsageError(kCommand, "takes no arguments");
    CWinOSVersion os;
    const OSVERSIONINFOA& record = os.GetVerInfo();
    printf("version\t%u.%u\nbuild\t%u\nplatform\t%u\ncsd\t%.*s\n", record.dwMajorVersion, record.dwMinorVersion,
           record.dwBuildNumber, record.dwPlatformId, int(sizeof record.szCSDVersion), record.szCSDVersion);
    for (const Test& test : kTests) printf("%s\t%d\n", test.name, (os.*test.holds)());
    return kOk;
}

}  // namespace
NAVOTOOLS_COMMAND(kCommand);
}  // namespace navotools
