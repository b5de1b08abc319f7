// What main.cpp lends the generators and the commands besides command.h.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

namespace navotools {

// The diagnosis the Linux layer's readers left for the last failure of this thread
// (NavoGetLastDiagnosisA); empty where there is no such extension.
std::string LastDiagnosis();

// The library's file version from its version resource ("1.0.0.4"); empty without one.
std::string LibraryVersion();
const char* ToolVersion();

// Why windows cannot be looked for: "no display: ..." when DISPLAY is unset or names a
// display that does not answer; empty when there is one.
std::string NoDisplayReason();

// The first line of a command's description.
std::string SummaryOf(const CLI::App* app);
// What "navotools ... COMMAND --help" prints.
std::string HelpText(const CLI::App* app);

// Every command declared, without the help command and the hidden options.
std::unique_ptr<CLI::App> DeclareAll();
// The same root with only the command named `only` below it, when there is one by that
// name; every command otherwise.
std::unique_ptr<CLI::App> Declare(const char* only);

}  // namespace navotools
