// The man page, the bash completion and the documentation's reference section, generated
// from the declared commands so that they never drift from the help.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace navotools {

// Writes the `format` ("man", "bash" or "markdown") of the declared commands of `root`
// to standard output.
void Generate(const CLI::App& root, const std::string& format);

}  // namespace navotools
