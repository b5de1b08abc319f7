// navotools: every capability of the NavoTools library from a shell.
//
// Exit codes: 0 success, 1 the operation failed, 2 bad usage.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "NavoTools.h"
#include "command.h"

namespace navotools {

namespace {
std::vector<Command>& Table() {
    static std::vector<Command> table;
    return table;
}

void PrintHelp(FILE* out) {
    fprintf(out,
            "usage: navotools COMMAND [ARGS...]\n"
            "       navotools COMMAND --help\n\n"
            "Commands:\n");
    for (const Command& c : Commands()) fprintf(out, "  %s\n", c.synopsis);
    fprintf(out, "\nExit codes: 0 success, 1 the operation failed, 2 bad usage.\n");
}
}  // namespace

bool RegisterCommand(const Command& command) {
    Table().push_back(command);
    return true;
}

const std::vector<Command>& Commands() { return Table(); }

int UsageError(const Command& command, const std::string& message) {
    fprintf(stderr, "navotools %s: %s\nusage: navotools %s\n", command.name, message.c_str(), command.synopsis);
    return kUsage;
}

std::string ErrorDetails(unsigned long code) {
    CString reason = GetSystemErrorMessage(LONG(code));
    reason.TrimRight();
    char prefix[16];
    snprintf(prefix, sizeof prefix, "[0x%08X] ", unsigned(code));
    return prefix + std::string(static_cast<LPCSTR>(reason));
}

bool ParseCode(const std::string& text, long long& value) {
    if (text.empty()) return false;
    const char* s = text.c_str();
    bool negative = *s == '-';
    if (negative) ++s;
    int base = 10;
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s += 2;
    }
    if (!*s) return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long magnitude = strtoull(s, &end, base);
    if (errno || *end || *s == '-' || *s == '+' || *s == ' ') return false;
    if (negative ? magnitude > 0x80000000ull : magnitude > 0xFFFFFFFFull) return false;
    value = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    return true;
}

}  // namespace navotools

int main(int argc, char** argv) {
    using namespace navotools;
    if (argc < 2) {
        PrintHelp(stderr);
        return kUsage;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintHelp(stdout);
        return kOk;
    }
    for (const Command& c : Commands()) {
        if (name != c.name) continue;
        Args args(argv + 2, argv + argc);
        if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
            printf("usage: navotools %s\n\n%s\n", c.synopsis, c.help);
            return kOk;
        }
        return c.run(args);
    }
    fprintf(stderr, "navotools: unknown command '%s'\n", name.c_str());
    PrintHelp(stderr);
    return kUsage;
}
