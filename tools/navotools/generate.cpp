// Generators of navotools(1), its bash completion and the reference section of
// docs/navotools.md, all from the declarations the help is made of.
#include "generate.h"

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "command.h"
#include "tool_support.h"

namespace navotools {
namespace {

// Every command below `app` that a user can name, depth first in declaration order: the
// tool itself, each command, and the subcommands of reg.
void Collect(const CLI::App* app, std::vector<const CLI::App*>& out) {
    out.push_back(app);
    for (const CLI::App* sub : app->get_subcommands({}))
        if (sub->get_name() != "help") Collect(sub, out);
}

std::string PathOf(const CLI::App* app) {
    std::string path;
    for (const CLI::App* a = app; a; a = a->get_parent()) path.insert(0, path.empty() ? a->get_name() : a->get_name() + " ");
    return path;
}

std::string UsageOf(const CLI::App* app) {
    std::string help = HelpText(app);
    std::string line = help.substr(0, help.find('\n'));
    const std::string label = "Usage: ";
    return line.rfind(label, 0) == 0 ? line.substr(label.size()) : line;
}

// Text for roff: backslashes and hyphens escaped, no line starting with a control character.
std::string Roff(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::vector<const CLI::Option*> OptionsOf(const CLI::App* app) {
    // The help flag is everywhere: the manual names it once, under OPTIONS.
    const CLI::Option* help = app->get_parent() ? app->get_help_ptr() : nullptr;
    return app->get_options([help](const CLI::Option* o) { return !o->get_group().empty() && o != help; });
}

std::string OptionName(const CLI::Option* o) {
    return o->get_name(false, true) + (o->nonpositional() ? o->get_option_text() : std::string());
}

void Man(const CLI::App& root) {
    std::vector<const CLI::App*> apps;
    Collect(&root, apps);
    std::ostringstream out;
    out << ".TH NAVOTOOLS 1 \"\" \"NavoTools " << ToolVersion() << "\" \"User Commands\"\n";
    out << ".SH NAME\nnavotools \\- " << Roff(SummaryOf(&root)) << "\n";
    out << ".SH SYNOPSIS\n.B navotools\n.I COMMAND\n[\\fIOPTIONS\\fR] [\\fIOPERANDS\\fR]\n.br\n"
        << ".B navotools help\n[\\fICOMMAND\\fR]\n.br\n.B navotools\n\\-\\-help | \\-\\-version\n";
    std::string description = root.get_description();
    out << ".SH DESCRIPTION\n" << Roff(description) << "\n";
    out << ".PP\nEach command is described below as its \\fB\\-\\-help\\fR describes it.\n";
    out << ".SH COMMANDS\n";
    for (const CLI::App* app : apps) {
        if (app == &root) continue;
        out << ".SS \"" << Roff(UsageOf(app)) << "\"\n";
        out << ".nf\n" << Roff(app->get_description()) << "\n.fi\n";
        for (const CLI::Option* o : OptionsOf(app)) {
            out << ".TP\n.B " << Roff(OptionName(o)) << "\n" << Roff(o->get_description()) << "\n";
        }
    }
    out << ".SH OPTIONS\n";
    for (const CLI::Option* o : OptionsOf(&root))
        out << ".TP\n.B " << Roff(OptionName(o)) << "\n" << Roff(o->get_description()) << "\n";
    out << ".SH EXIT STATUS\n0 success, 1 the operation failed, 2 bad usage (an unknown option, a missing or\n"
           "extra operand; the reason goes to standard error).\n";
    out << ".SH DIAGNOSTICS\nFailures are reported on standard error as\n"
           ".IP\nnavotools: COMMAND: what failed: the reason\n.PP\n"
           "where the reason is the system's text of the error code and, when the reader of\n"
           "the file knows more, what it found wrong and at which offset.\n";
    out << ".SH ENVIRONMENT\n.TP\n.B NAVOTOOLS_HOME\nThe state directory: the registry, WIN.INI, the outbox "
           "(default ~/.config/navotools).\n"
           ".TP\n.B NAVOTOOLS_OSVERSION\nThe Windows release the os command and the library report.\n"
           ".TP\n.B NAVOTOOLS_MAIL_DELIVERY\noutbox or xdg\\-email: where mail goes.\n"
           ".TP\n.B DISPLAY\nThe X display of the close command.\n";
    out << ".SH SEE ALSO\n.BR xdg\\-email (1)\n";
    WriteOut(out.str());
}

std::string Words(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

void Bash(const CLI::App& root) {
    std::vector<const CLI::App*> apps;
    Collect(&root, apps);
    std::ostringstream out;
    out << "# bash completion for navotools, generated from its declared commands.\n"
           "_navotools() {\n"
           "  local cur=${COMP_WORDS[COMP_CWORD]} path=\"\" i word operands=0 ended=0\n"
           "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "    word=${COMP_WORDS[i]}\n"
           "    if ((ended)); then operands=$((operands + 1)); continue; fi\n"
           "    case $word in\n"
           "      --) ended=1 ;;\n"
           "      -*) ;;\n"
           "      *) case \"$path ${word}\" in\n";
    // The words that step into a command.
    std::vector<std::string> paths;
    for (const CLI::App* app : apps) {
        if (app == &root) continue;
        std::string p = PathOf(app).substr(std::string("navotools ").size());
        paths.push_back(p);
    }
    out << "           ";
    for (size_t i = 0; i < paths.size(); ++i) out << (i ? "|" : "") << "\" " << paths[i] << "\"";
    out << ") path=\"$path $word\"; operands=0 ;;\n"
           "           *) operands=$((operands + 1)) ;;\n"
           "         esac ;;\n"
           "    esac\n"
           "  done\n"
           "  local words=\"\" key=0\n"
           "  case $path in\n";
    for (const CLI::App* app : apps) {
        std::vector<std::string> words;
        for (const CLI::App* sub : app->get_subcommands({})) words.push_back(sub->get_name());
        if (app != &root) words.push_back("--help");
        for (const CLI::Option* o : OptionsOf(app)) {
            if (!o->nonpositional()) continue;
            for (const std::string& l : o->get_lnames()) words.push_back("--" + l);
            for (const std::string& s : o->get_snames()) words.push_back("-" + s);
        }
        // Operands named KEY take a registry key: complete the roots.
        std::vector<int> keyOperands;
        int index = 0;
        for (const CLI::Option* o : app->get_options([](const CLI::Option* o) { return o->get_positional(); })) {
            if (o->get_name() == "KEY" && app->get_parent() && app->get_parent()->get_name() == "reg")
                keyOperands.push_back(index);
            ++index;
        }
        std::string p = app == &root ? "" : " " + PathOf(app).substr(std::string("navotools ").size());
        out << "    \"" << p << "\") words=\"" << Words(words) << "\"";
        for (int k : keyOperands) out << "; ((operands == " << k << ")) && key=1";
        out << " ;;\n";
    }
    out << "  esac\n"
           "  if [[ $path == \"\" || $path == \" help\"* ]] && [[ $cur != -* ]]; then\n"
           "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\")); return\n"
           "  fi\n"
           "  if ((!ended)) && [[ $cur == -* ]]; then\n"
           "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\")); return\n"
           "  fi\n"
           "  if ((key)); then\n"
           "    compopt -o nospace 2>/dev/null\n"
           "    COMPREPLY=($(compgen -W 'HKEY_CLASSES_ROOT\\\\ HKEY_CURRENT_USER\\\\ HKEY_LOCAL_MACHINE\\\\ "
           "HKEY_USERS\\\\ HKEY_CURRENT_CONFIG\\\\ HKCR\\\\ HKCU\\\\ HKLM\\\\ HKU\\\\ HKCC\\\\' -- \"$cur\")); return\n"
           "  fi\n"
           "  local sub=\"\" w\n"
           "  for w in $words; do [[ $w != -* ]] && sub=\"$sub $w\"; done\n"
           "  if [[ -n $sub ]] && ((operands == 0)); then\n"
           "    COMPREPLY=($(compgen -W \"$sub\" -- \"$cur\")); return\n"
           "  fi\n"
           "  COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           "}\n"
           "complete -o filenames -F _navotools navotools\n";
    WriteOut(out.str());
}

void Markdown(const CLI::App& root) {
    std::vector<const CLI::App*> apps;
    Collect(&root, apps);
    std::ostringstream out;
    for (const CLI::App* app : apps) {
        out << "### `" << PathOf(app) << "`\n\n```text\n" << HelpText(app) << "```\n";
        if (app != apps.back()) out << "\n";
    }
    WriteOut(out.str());
}

}  // namespace

void Generate(const CLI::App& root, const std::string& format) {
    if (format == "man") Man(root);
    else if (format == "bash") Bash(root);
    else Markdown(root);
}

}  // namespace navotools
