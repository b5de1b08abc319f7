// Feeds arbitrary bytes to the shell link reader, and writes back what it accepts: the
// writer must take every link the reader gives, and reading the written bytes must give
// the same link again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/shell_link_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input's length: no slack after it for a read to hide in.
    std::vector<uint8_t> bytes(data, data + size);
    auto link = navo::win32::ReadShellLink(navo::win32::ByteView(bytes.data(), bytes.size()));
    if (!link) {
        if (link.error().what.empty()) __builtin_trap();
        return 0;
    }
    // The reader gives well-formed texts, each within a StringData count, so the writer
    // takes every link it reads, and the link survives the round trip.
    auto written = navo::win32::WriteShellLink(*link);
    if (!written) __builtin_trap();
    auto again = navo::win32::ReadShellLink(navo::win32::ByteView(written->data(), written->size()));
    if (!again) __builtin_trap();
    if (again->target != link->target || again->description != link->description ||
        again->arguments != link->arguments || again->workingDirectory != link->workingDirectory ||
        again->relativePath != link->relativePath || again->iconLocation != link->iconLocation ||
        again->showCommand != link->showCommand || again->hotkey != link->hotkey)
        __builtin_trap();
    return 0;
}
