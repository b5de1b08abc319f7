// navotools: every capability of the NavoTools library from a shell.
//
// Exit codes: 0 success, 1 the operation failed, 2 bad usage.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include "NavoTools.h"
#include "command.h"
#include "generate.h"
#include "tool_support.h"

#ifndef NAVOTOOLS_TOOL_VERSION
#define NAVOTOOLS_TOOL_VERSION "unknown"
#endif

namespace navotools {

std::string SummaryOf(const CLI::App* app) {
    // The summary is the first line of the description.
    std::string description = app->get_description();
    return description.substr(0, description.find('\n'));
}

namespace {
std::vector<Command>& Table() {
    static std::vector<Command> table;
    return table;
}

std::map<const CLI::App*, Action>& Actions() {
    static std::map<const CLI::App*, Action> actions;
    return actions;
}

std::string g_commandName;
bool g_writeFailed = false;
bool g_version = false;
int g_writeErrno = 0;

// Help as a manual reads: usage first, then the description, operands, options and
// commands.
class HelpFormatter : public CLI::Formatter {
public:
    HelpFormatter() {
        label("Positionals", "Operands");
        label("Subcommands", "Commands");
        label("SUBCOMMAND", "COMMAND");
        label("OPTIONS", "OPTIONS");
        label("REQUIRED", "");
        column_width(28);
    }
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
        std::stringstream out;
        out << make_usage(app, name);
        std::string description = app->get_description();
        // The summary line, then the details as a paragraph of their own.
        size_t lineEnd = description.find('\n');
        if (lineEnd != std::string::npos) description.insert(lineEnd, "\n");
        if (!description.empty()) out << "\n" << description << "\n";
        out << make_positionals(app);
        out << make_groups(app, mode);
        out << make_subcommands(app, mode);
        std::string footer = app->get_footer();
        if (!footer.empty()) out << "\n" << footer << "\n";
        return out.str();
    }
    std::string make_subcommand(const CLI::App* sub) const override {
        std::stringstream out;
        CLI::detail::format_help(out, sub->get_name(), SummaryOf(sub), column_width_);
        return out.str();
    }
    std::string make_option_opts(const CLI::Option* opt) const override {
        // The value's name is declared with the option (" LANGID"); flags and operands
        // have none.
        if (opt->get_positional()) return {};
        return opt->get_option_text();
    }
};

}  // namespace

bool RegisterCommand(const Command& command) {
    Table().push_back(command);
    return true;
}

void SetAction(CLI::App& app, Action action) { Actions()[&app] = std::move(action); }

CLI::Option* AddOperand(CLI::App& app, const char* name, std::string& value, const char* description) {
    return app.add_option(name, value, description)->option_text(" ");
}

const std::string& CommandName() { return g_commandName; }

std::string SystemText(DWORD code) {
    // A command that reports many files reports the same few codes again and again: each
    // text is looked up once for each language it is asked in.
    static std::map<std::pair<DWORD, LANGID>, std::string> known;
    const std::pair<DWORD, LANGID> key{code, GetThreadUILanguage()};
    if (auto it = known.find(key); it != known.end()) return it->second;
    CString text = GetSystemErrorMessage(LONG(code));
    text.TrimRight();
    std::string s(static_cast<LPCSTR>(text));
    if (!s.empty() && s.back() == '.') s.pop_back();
    known.emplace(key, s);
    return s;
}

std::string Reason(DWORD code, const std::string& subject) {
    std::string text = SystemText(code);
    // A text with an insert names what it is about ("%1 is not an application ...").
    for (size_t at; (at = text.find("%1")) != std::string::npos;)
        text.replace(at, 2, subject.empty() ? std::string("the file") : subject);
    if (text.empty()) {
        char buffer[32];
        snprintf(buffer, sizeof buffer, "error 0x%08X", unsigned(code));
        text = buffer;
    }
    std::string diagnosis = LastDiagnosis();
    if (!diagnosis.empty()) text += ": " + diagnosis;
    return text;
}

std::string FailureLine(const std::string& what, const std::string& reason) {
    return "navotools: " + g_commandName + ": " + what + ": " + reason + "\n";
}

int FailText(const std::string& what, const std::string& reason) {
    fputs(FailureLine(what, reason).c_str(), stderr);
    return kFailed;
}

int Fail(const std::string& what, DWORD code, const std::string& subject) {
    return FailText(what, Reason(code, subject));
}

int Usage(const std::string& reason) {
    fprintf(stderr, "navotools: %s: %s\nTry 'navotools %s --help'.\n", g_commandName.c_str(), reason.c_str(),
            g_commandName.c_str());
    return kUsage;
}

bool WriteOut(const void* data, size_t size) {
    if (g_writeFailed) return false;
    if (size && fwrite(data, 1, size, stdout) != size) {
        g_writeFailed = true;
        g_writeErrno = errno;
    }
    return !g_writeFailed;
}

bool WriteOut(const std::string& text) { return WriteOut(text.data(), text.size()); }

bool PrintOut(const char* format, ...) {
    va_list args;
    va_start(args, format);
    char small[1024];
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    bool ok;
    if (n < 0) {
        ok = false;
    } else if (size_t(n) < sizeof small) {
        ok = WriteOut(small, size_t(n));
    } else {
        std::string big(size_t(n) + 1, '\0');
        vsnprintf(big.data(), big.size(), format, args);
        ok = WriteOut(big.data(), size_t(n));
    }
    va_end(args);
    return ok;
}

bool ReadOperand(const std::string& operand, std::string& bytes) {
    FILE* in = operand == "-" ? stdin : fopen(operand.c_str(), "rb");
    if (!in) {
        FailText("cannot open " + operand, strerror(errno));
        return false;
    }
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, in)) > 0) bytes.append(chunk, n);
    bool ok = !ferror(in);
    int error = errno;
    if (in != stdin) fclose(in);
    if (!ok) FailText("cannot read " + (operand == "-" ? std::string("standard input") : operand), strerror(error));
    return ok;
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

CLI::Validator CodeValidator() {
    return CLI::Validator(
        [](std::string& text) {
            long long value = 0;
            return ParseCode(text, value) ? std::string() : "not a 32-bit number: " + text;
        },
        "", "CODE");
}

CLI::Validator LangValidator() {
    return CLI::Validator(
        [](std::string& text) {
            long long value = 0;
            return ParseCode(text, value) && value >= 0 && value <= 0xFFFF ? std::string()
                                                                          : "not a language identifier: " + text;
        },
        "", "LANGID");
}

std::string LibraryVersion() {
    HINSTANCE module = AfxFindResourceHandle(MAKEINTRESOURCE(1), RT_VERSION);
    HRSRC resource = module ? FindResourceA(module, MAKEINTRESOURCE(1), RT_VERSION) : nullptr;
    const BYTE* data = resource ? static_cast<const BYTE*>(LockResource(LoadResource(module, resource))) : nullptr;
    DWORD size = resource ? SizeofResource(module, resource) : 0;
    // The fixed part of the block starts with its signature, after the block's header and key.
    for (DWORD offset = 0; data && offset + 16 <= size && offset < 128; offset += 4) {
        DWORD words[4];
        memcpy(words, data + offset, sizeof words);
        if (words[0] != VS_FFI_SIGNATURE) continue;
        char text[64];
        snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned(words[2] >> 16), unsigned(words[2] & 0xFFFF),
                 unsigned(words[3] >> 16), unsigned(words[3] & 0xFFFF));
        return text;
    }
    return {};
}

const char* ToolVersion() { return NAVOTOOLS_TOOL_VERSION; }

// The whole command line, declared: every command in name order.
std::unique_ptr<CLI::App> DeclareAll() { return Declare(nullptr); }

std::unique_ptr<CLI::App> Declare(const char* only) {
    auto app = std::make_unique<CLI::App>(
        "Every capability of the NavoTools library from a shell.\n"
        "Numbers are decimal or 0x-hexadecimal; negative codes are allowed. \"-\" as a file\n"
        "operand is standard input or standard output; \"--\" ends the options.",
        "navotools");
    app->formatter(std::make_shared<HelpFormatter>());
    app->set_help_flag("-h,--help", "print this help and exit");
    app->add_flag("-V,--version", g_version, "print the versions of the tool and of the library and exit");
    app->footer("Exit status: 0 success, 1 the operation failed, 2 bad usage.\n"
                "'navotools help COMMAND' or 'navotools COMMAND --help' describes a command.");
    app->require_subcommand(0, 1);
    std::vector<Command> commands = Table();
    // A command line that starts with a command's name needs that command only: the words
    // after it are that command's, never another's, and declaring every command would cost
    // each run a good part of its start.
    if (only) {
        auto named = std::find_if(commands.begin(), commands.end(),
                                  [only](const Command& c) { return strcmp(c.name, only) == 0; });
        if (named != commands.end()) commands = {*named};
    }
    std::sort(commands.begin(), commands.end(),
              [](const Command& a, const Command& b) { return strcmp(a.name, b.name) < 0; });
    for (const Command& command : commands) {
        CLI::App* sub = app->add_subcommand(command.name, command.summary);
        sub->group("Commands");
        sub->formatter(app->get_formatter());
        sub->set_help_flag("-h,--help", "print this help and exit");
        command.declare(*sub);
    }
    return app;
}

namespace {

// The chosen command's path below the root ("reg export").
std::string ChosenPath(const CLI::App* app) {
    std::string path;
    for (const CLI::App* a = app; a && a->get_parent(); a = a->get_parent())
        path.insert(0, path.empty() ? a->get_name() : a->get_name() + " ");
    return path;
}

const CLI::App* Deepest(const CLI::App* app) {
    while (!app->get_subcommands().empty()) app = app->get_subcommands().front();
    return app;
}

// The help of a command named by words below the root; null when there is none.
const CLI::App* Find(const CLI::App& root, const std::vector<std::string>& words) {
    const CLI::App* app = &root;
    for (const std::string& word : words) {
        const CLI::App* next = nullptr;
        for (const CLI::App* sub : app->get_subcommands({}))
            if (sub->get_name() == word) next = sub;
        if (!next) return nullptr;
        app = next;
    }
    return app;
}

std::string HelpOf(const CLI::App* app) {
    std::string prefix = "navotools";
    std::string path = ChosenPath(app);
    if (path.find(' ') != std::string::npos) prefix += " " + path.substr(0, path.rfind(' '));
    std::string text = app->get_parent() ? app->help(prefix) : app->help();
    // One blank line between parts, however the parts end.
    for (size_t at; (at = text.find("\n\n\n")) != std::string::npos;) text.erase(at, 1);
    return text;
}

int FinishOutput(int status) {
    if ((fflush(stdout) != 0 || ferror(stdout)) && !g_writeFailed) {
        g_writeFailed = true;
        g_writeErrno = errno;
    }
    if (!g_writeFailed) return status;
    if (g_commandName.empty()) g_commandName = "output";
    FailText("cannot write standard output", strerror(g_writeErrno));
    return kFailed;
}

}  // namespace

std::string HelpText(const CLI::App* app) { return HelpOf(app); }

}  // namespace navotools

namespace {

int RunTool(int argc, char** argv) {
    using namespace navotools;
    std::unique_ptr<CLI::App> app = Declare(argc > 1 ? argv[1] : nullptr);
    // help [COMMAND...]: the help of that command, as COMMAND --help prints it.
    CLI::App* help = app->add_subcommand("help", "print the help of a command");
    help->formatter(app->get_formatter());
    help->group("Commands");
    help->set_help_flag("-h,--help", "print this help and exit");
    std::vector<std::string> helpWords;
    help->add_option("command", helpWords, "the command, and the subcommand of reg")->option_text(" ");
    // Hidden: the man page, the bash completion and the reference section of the
    // documentation, generated from the declarations above.
    std::string generate;
    app->add_option("--generate", generate, "")->group("")->check(CLI::IsMember({"man", "bash", "markdown"}));
    try {
        app->parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        WriteOut(HelpOf(Deepest(app.get())));
        g_commandName = ChosenPath(Deepest(app.get()));
        return FinishOutput(kOk);
    } catch (const CLI::ParseError& e) {
        g_commandName = ChosenPath(Deepest(app.get()));
        std::string reason = e.what();
        // An unknown option is the first thing to tell, before what it left missing.
        for (const std::string& extra : Deepest(app.get())->remaining())
            if (extra.size() > 1 && extra[0] == '-') {
                reason = "unknown option " + extra;
                break;
            }
        if (g_commandName.empty()) {
            fprintf(stderr, "navotools: %s\nTry 'navotools --help'.\n", reason.c_str());
            return kUsage;
        }
        return Usage(reason);
    }
    if (!generate.empty()) {
        Generate(*app, generate);
        return FinishOutput(kOk);
    }
    if (g_version) {
        std::string library = LibraryVersion();
        PrintOut("navotools %s\nNavoTools library %s\n", ToolVersion(), library.empty() ? "(no version resource)" : library.c_str());
        return FinishOutput(library.empty() ? kFailed : kOk);
    }
    const CLI::App* chosen = Deepest(app.get());
    g_commandName = ChosenPath(chosen);
    if (chosen == help) {
        const CLI::App* target = Find(*app, helpWords);
        if (!target || target == help) {
            if (!target) {
                fprintf(stderr, "navotools: help: no command '%s'\nTry 'navotools --help'.\n",
                        helpWords.empty() ? "" : helpWords.back().c_str());
                return kUsage;
            }
        }
        WriteOut(HelpOf(target));
        return FinishOutput(kOk);
    }
    if (chosen == app.get()) {
        fprintf(stderr, "navotools: a command is required\nTry 'navotools --help'.\n");
        return kUsage;
    }
    auto action = Actions().find(chosen);
    if (action == Actions().end()) {
        // A command made of subcommands only: one of them is required.
        return Usage("a subcommand is required");
    }
    return FinishOutput(action->second());
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return RunTool(argc, argv);
    } catch (const std::exception& e) {
        fprintf(stderr, "navotools: %s\n", e.what());
        return navotools::kFailed;
    }
}
