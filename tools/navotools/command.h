// Subcommands of the navotools tool. Each lives in a file of its own and registers itself
// with NAVOTOOLS_COMMAND; main.cpp declares them with CLI11 in name order, parses the
// command line and runs the action of the (sub)command chosen.
#pragma once

#include <windows.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace navotools {

// Exit codes a script can rely on.
enum ExitCode : int { kOk = 0, kFailed = 1, kUsage = 2 };

using Action = std::function<int()>;

struct Command {
    const char* name;
    const char* summary;  // one line for the list of commands
    // Adds the description, operands, options and, through SetAction, what runs; for a
    // command with subcommands, adds those.
    void (*declare)(CLI::App& app);
};

// Adds a command to the table main.cpp reads; returns true so it can seed a static.
bool RegisterCommand(const Command& command);

// What runs when `app` is the command chosen; `app` must outlive the call.
void SetAction(CLI::App& app, Action action);

// Options that every command has: the usual look of operands and help.
CLI::Option* AddOperand(CLI::App& app, const char* name, std::string& value, const char* description);

// "navotools: COMMAND: what: reason" on standard error, and kFailed. The reason is the
// system's text of `code` (an insert %1 in it filled with `subject`) and, when the reader
// that failed left one, its diagnosis.
int Fail(const std::string& what, DWORD code, const std::string& subject = {});
// The same with a reason given as text.
int FailText(const std::string& what, const std::string& reason);
// The line FailText writes, with its line end.
std::string FailureLine(const std::string& what, const std::string& reason);
// A usage error found after parsing: the reason and where help is; kUsage.
int Usage(const std::string& reason);
// The reason part of Fail.
std::string Reason(DWORD code, const std::string& subject = {});
// The system's text of a code, without its line end and closing period; empty when the
// system has none.
std::string SystemText(DWORD code);
// The name the messages of the running command carry ("reg export").
const std::string& CommandName();

// Parses a decimal or 0x-prefixed hexadecimal number (a leading '-' allowed) that fits in
// 32 bits, signed or unsigned; false on anything else.
bool ParseCode(const std::string& text, long long& value);
// A CLI11 check for operands that take such a number.
CLI::Validator CodeValidator();
// The same, for a language identifier (0 to 0xFFFF).
CLI::Validator LangValidator();

// Standard output, checked: false (errno set) once a write failed.
bool WriteOut(const void* data, size_t size);
bool WriteOut(const std::string& text);
bool PrintOut(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Loads a module for its resources only (LOAD_LIBRARY_AS_DATAFILE): none of its code
// runs. A path to an existing file is loaded as that file, even without an extension
// (the loader would otherwise look for NAME.dll). Null with the last error and a message
// printed ("cannot load OPERAND: reason").
HMODULE LoadAsData(const std::string& operand);

// The bytes of a file operand, "-" being standard input; false with a message printed.
bool ReadOperand(const std::string& operand, std::string& bytes);

}  // namespace navotools

#define NAVOTOOLS_CONCAT_(a, b) a##b
#define NAVOTOOLS_CONCAT(a, b) NAVOTOOLS_CONCAT_(a, b)
#define NAVOTOOLS_COMMAND(...) \
    static const bool NAVOTOOLS_CONCAT(navotools_registered_, __COUNTER__) = ::navotools::RegisterCommand({__VA_ARGS__})
