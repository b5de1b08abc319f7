// navotools fileversion: the version of each file given, as CVersion reads it and as the
// four numbers of its version resource.
#include <cstdio>
#include <cstdlib>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace {

int Run(const Args& args);

const Command kCommand = {"fileversion", "fileversion FILE...",
                          "Prints, for each FILE (a PE32 or PE32+ file, or an ELF module with\n"
                          "embedded resources), its version as major.minor.revision text and as\n"
                          "the four numbers of its version resource:\n"
                          "  FILE: 1.02.04 (1.2.3.4)\n"
                          "A file without readable version information is reported on standard\n"
                          "error with the reason, and the exit code is then 1.",
                          &Run};

// The four numbers of the file's fixed version; false with the last error when there is
// none.
bool ReadFourParts(const char* file, DWORD parts[4]) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(file, &handle);
    if (size == 0) return false;
    void* block = malloc(size);
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    bool ok = GetFileVersionInfoA(file, handle, size, block) &&
              VerQueryValueA(block, "\\", reinterpret_cast<LPVOID*>(&fixed), &length);
    if (ok && (length < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != VS_FFI_SIGNATURE)) {
        SetLastError(ERROR_INVALID_DATA);
        ok = false;
    }
    if (ok) {
        parts[0] = HIWORD(fixed->dwFileVersionMS);
        parts[1] = LOWORD(fixed->dwFileVersionMS);
        parts[2] = HIWORD(fixed->dwFileVersionLS);
        parts[3] = LOWORD(fixed->dwFileVersionLS);
    }
    free(block);
    return ok;
}

int Run(const Args& args) {
    if (args.empty()) return UsageError(kCommand, "needs at least one FILE");
    int result = kOk;
    for (const std::string& file : args) {
        DWORD parts[4] = {};
        if (!ReadFourParts(file.c_str(), parts)) {
            const DWORD error = GetLastError();
            fprintf(stderr, "%s: no version information %s\n", file.c_str(), ErrorDetails(error).c_str());
            result = kFailed;
            continue;
        }
        CVersion version{CString(file.c_str())};
        printf("%s: %s (%u.%u.%u.%u)\n", file.c_str(), static_cast<LPCSTR>(version.GetStrVer()), unsigned(parts[0]),
               unsigned(parts[1]), unsigned(parts[2]), unsigned(parts[3]));
    }
    return result;
}

}  // namespace
NAVOTOOLS_COMMAND(kCommand);
}  // namespace navotools
