// Subcommands of the navotools tool. Each lives in a file of its own and registers itself
// with NAVOTOOLS_COMMAND; main.cpp dispatches by name.
#pragma once

#include <string>
#include <vector>

namespace navotools {

// Exit codes a script can rely on.
enum ExitCode : int { kOk = 0, kFailed = 1, kUsage = 2 };

using Args = std::vector<std::string>;
using CommandFn = int (*)(const Args& args);

struct Command {
    const char* name;
    const char* synopsis;  // "error CODE"
    const char* help;      // a few lines for --help
    CommandFn run;
};

// Adds a command to the table main.cpp reads; returns true so it can seed a static.
bool RegisterCommand(const Command& command);
const std::vector<Command>& Commands();

// Prints "navotools: <message>" and the command's synopsis to standard error; returns kUsage.
int UsageError(const Command& command, const std::string& message);

// Parses a decimal or 0x-prefixed hexadecimal number (a leading '-' allowed) that fits in
// 32 bits, signed or unsigned; false on anything else.
bool ParseCode(const std::string& text, long long& value);

// "[0x<code>] <the system's description, without its line end>" for an error message.
std::string ErrorDetails(unsigned long code);

}  // namespace navotools

#define NAVOTOOLS_CONCAT_(a, b) a##b
#define NAVOTOOLS_CONCAT(a, b) NAVOTOOLS_CONCAT_(a, b)
#define NAVOTOOLS_COMMAND(...) \
    static const bool NAVOTOOLS_CONCAT(navotools_registered_, __LINE__) = ::navotools::RegisterCommand({__VA_ARGS__})
