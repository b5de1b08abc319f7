// Win32 command-line splitting.
#include "kernel/command_line.h"

namespace navo::win32 {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::string SplitProgramName(std::string_view line, std::string_view& rest, bool& quoted) {
    size_t i = 0;
    std::string name;
    quoted = !line.empty() && line[0] == '"';
    if (quoted) {
        size_t close = line.find('"', 1);
        if (close == std::string_view::npos) {
            name = line.substr(1);
            i = line.size();
        } else {
            name = line.substr(1, close - 1);
            i = close + 1;
        }
    } else {
        while (i < line.size() && !IsBlank(line[i])) ++i;
        name = line.substr(0, i);
    }
    rest = line.substr(i);
    return name;
}

std::vector<std::string> SplitArguments(std::string_view s) {
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = s.size();
    while (i < n && IsBlank(s[i])) ++i;
    while (i < n) {
        std::string arg;
        // Counts the quotes that opened or closed a quoted part; odd while inside one.
        int quotes = 0;
        while (i < n && !(IsBlank(s[i]) && quotes == 0)) {
            if (s[i] == '\\') {
                size_t count = 0;
                while (i < n && s[i] == '\\') {
                    ++count;
                    ++i;
                }
                if (i < n && s[i] == '"') {
                    arg.append(count / 2, '\\');
                    if (count % 2 == 1) {
                        arg += '"';
                        ++i;
                        continue;
                    }
                    // An even count: the quote below opens or closes.
                } else {
                    arg.append(count, '\\');
                }
                continue;
            }
            if (s[i] == '"') {
                ++quotes;
                ++i;
                // A run of quotes: every third one of the run is a literal quote.
                while (i < n && s[i] == '"') {
                    if (++quotes == 3) {
                        arg += '"';
                        quotes = 0;
                    }
                    ++i;
                }
                if (quotes == 2) quotes = 0;
                continue;
            }
            arg += s[i++];
        }
        args.push_back(std::move(arg));
        while (i < n && IsBlank(s[i])) ++i;
    }
    return args;
}

}  // namespace navo::win32
