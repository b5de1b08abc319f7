// Reads a shell link with lnkinfo (liblnk), a reader this project did not write, and
// returns its "name: value" lines.
#pragma once

#include <cstdio>
#include <map>
#include <string>

struct LnkInfo {
    bool ran = false;   // lnkinfo ran and exited 0
    std::map<std::string, std::string> fields;  // "Local path", "Working directory", ...

    bool Has(const std::string& name) const { return fields.count(name) != 0; }
    std::string operator[](const std::string& name) const {
        auto it = fields.find(name);
        return it == fields.end() ? std::string() : it->second;
    }
};

inline std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline LnkInfo ReadWithLnkinfo(const std::string& path) {
    LnkInfo info;
    FILE* pipe = popen(("LC_ALL=C.UTF-8 lnkinfo " + ShellQuote(path) + " 2>/dev/null").c_str(), "r");
    if (!pipe) return info;
    char line[4096];
    while (fgets(line, sizeof line, pipe)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        size_t colon = text.find(": ");
        if (colon == std::string::npos || text.empty() || text[0] != '\t') continue;
        std::string name = text.substr(1, colon - 1);
        while (!name.empty() && (name.back() == '\t' || name.back() == ' ')) name.pop_back();
        info.fields[name] = text.substr(colon + 2);
    }
    info.ran = pclose(pipe) == 0;
    return info;
}
