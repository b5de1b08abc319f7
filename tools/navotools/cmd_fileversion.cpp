// navotools fileversion: the version of each file given, as CVersion reads it and as the
// four numbers of its version resource.
#include <unistd.h>

#include <string>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace fileversion_command {

// Room for any version block GetFileVersionInfoA hands out: the resource is at most 64 KiB
// (its root length is a WORD), and the ANSI block made of it is at most about four times
// that (the platform's is twice the resource plus 4). With a buffer this large the block is
// read in one call, so each file is opened once rather than once more for its size.
constexpr DWORD kLargestBlock = 0x48000;

// The four numbers of the file's fixed version; false with the last error when there is
// none. `block` holds kLargestBlock bytes.
bool ReadFourParts(const char* file, BYTE* block, DWORD parts[4]) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    bool ok = GetFileVersionInfoA(file, 0, kLargestBlock, block) &&
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
    return ok;
}

// The reports of files without a version. To a terminal each is written as it comes;
// elsewhere they are gathered and written a few KiB at a time, rather than with a system
// call for each file (a pipe or a file shows no order between the two streams), and
// whatever way the command ends.
class Reports {
public:
    explicit Reports(bool gather) : gather_(gather) {}
    Reports(const Reports&) = delete;
    Reports& operator=(const Reports&) = delete;
    ~Reports() { Flush(); }

    void Add(const std::string& line) {
        text_ += line;
        if (!gather_ || text_.size() >= 4096) Flush();
    }

private:
    void Flush() {
        if (!text_.empty()) fwrite(text_.data(), 1, text_.size(), stderr);
        text_.clear();
    }

    bool gather_;
    std::string text_;
};

void Declare(CLI::App& app) {
    app.description(
        "print the version of files\n"
        "For each FILE (a PE32 or PE32+ file, or an ELF module with embedded resources):\n"
        "  FILE: 1.02.04 (1.2.3.4)\n"
        "CVersion::GetStrVer's text and the four numbers of the file version. A file\n"
        "without readable version information is reported on standard error with the\n"
        "reason, and the exit code is then 1.");
    // The operands are read where the parser keeps them, not copied out: a run over
    // hundreds of files would otherwise hold each name three times.
    CLI::Option* operands = app.add_option("FILE", CLI::callback_t(), "the files")
                                ->expected(1, CLI::detail::expected_max_vector_size)
                                ->allow_extra_args()
                                ->required()
                                ->option_text(" ");
    SetAction(app, [operands] {
        int result = kOk;
        // Static rather than allocated: a block this large would be mapped and unmapped for
        // the one run, while the program's zero-filled data costs nothing until a page of
        // it is written, and only the first few ever are.
        alignas(16) static BYTE block[kLargestBlock];
        Reports reports(!isatty(STDERR_FILENO));
        for (const std::string& file : operands->results()) {
            DWORD parts[4] = {};
            if (!ReadFourParts(file.c_str(), block, parts)) {
                result = kFailed;
                reports.Add(FailureLine(file + ": no version information", Reason(GetLastError())));
                continue;
            }
            // CVersion keeps the first, second and fourth number; its text is made from the
            // numbers just read rather than by reading the file once more.
            PrintOut("%s: %u.%02u.%02u (%u.%u.%u.%u)\n", file.c_str(), unsigned(parts[0]), unsigned(parts[1]),
                     unsigned(parts[3]), unsigned(parts[0]), unsigned(parts[1]), unsigned(parts[2]),
                     unsigned(parts[3]));
        }
        return result;
    });
}

NAVOTOOLS_COMMAND("fileversion", "print the version of files", &Declare);
}  // namespace fileversion_command
}  // namespace navotools
