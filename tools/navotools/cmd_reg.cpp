// navotools reg: the registry from a shell: query, set, delete, list, protect, import and
// export of .reg files.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <shlwapi.h>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace {

int Run(const Args& args);

const Command kCommand = {
    "reg", "reg query|set|delete|list|protect|import|export ...",
    "  reg query KEY [VALUE]         the key's values (name, type, data), or one value\n"
    "  reg set KEY VALUE TYPE DATA.. [--volatile]\n"
    "                                stores a value, creating the key and missing parents.\n"
    "                                TYPE: REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ (one DATA per\n"
    "                                string), REG_DWORD, REG_QWORD (decimal or 0x-hex),\n"
    "                                REG_BINARY, REG_NONE or any type number (DATA as hex\n"
    "                                bytes, commas allowed). Strings get their terminator.\n"
    "  reg delete KEY [VALUE]        removes one value, or the key with everything below it\n"
    "  reg list KEY                  the sub-keys in order, marked volatile or read-only\n"
    "  reg protect KEY [--off]       marks the key read-only: opens asking for write access\n"
    "                                are refused (ERROR_ACCESS_DENIED); --off undoes it\n"
    "  reg import FILE               applies a .reg file of either format, all or nothing\n"
    "  reg export KEY FILE [--format 4|5]\n"
    "                                writes the key and everything below it; 5 (the default)\n"
    "                                is \"Windows Registry Editor Version 5.00\" in UTF-16LE,\n"
    "                                4 is REGEDIT4\n"
    "KEY is ROOT\\path with ROOT one of HKEY_CLASSES_ROOT (HKCR), HKEY_CURRENT_USER (HKCU),\n"
    "HKEY_LOCAL_MACHINE (HKLM), HKEY_USERS (HKU), HKEY_CURRENT_CONFIG (HKCC). An empty VALUE\n"
    "(\"\") is the default value. The store is the file registry.db of the state directory\n"
    "($NAVOTOOLS_HOME, by default ~/.config/navotools).",
    &Run};

struct Root {
    const char* full;
    const char* brief;
    HKEY key;
};
const Root kRoots[] = {
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},   {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE}, {"HKEY_USERS", "HKU", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG},
};

bool SplitKey(const std::string& text, HKEY& root, std::string& path) {
    size_t slash = text.find('\\');
    std::string head = text.substr(0, slash);
    for (const Root& r : kRoots) {
        if (strcasecmp(head.c_str(), r.full) == 0 || strcasecmp(head.c_str(), r.brief) == 0) {
            root = r.key;
            path = slash == std::string::npos ? "" : text.substr(slash + 1);
            return true;
        }
    }
    return false;
}

int Failed(const std::string& what, LONG code) {
    CString description = GetSystemErrorMessage(code);
    description.TrimRight();
    fprintf(stderr, "navotools reg: %s: error %d (%s)\n", what.c_str(), int(code), static_cast<LPCSTR>(description));
    return kFailed;
}

struct TypeName {
    const char* name;
    DWORD type;
};
const TypeName kTypes[] = {
    {"REG_NONE", REG_NONE},     {"REG_SZ", REG_SZ},         {"REG_EXPAND_SZ", REG_EXPAND_SZ},
    {"REG_BINARY", REG_BINARY}, {"REG_DWORD", REG_DWORD},   {"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN},
    {"REG_LINK", REG_LINK},     {"REG_MULTI_SZ", REG_MULTI_SZ}, {"REG_QWORD", REG_QWORD},
};

std::string TypeText(DWORD type) {
    for (const TypeName& t : kTypes)
        if (t.type == type) return t.name;
    char text[16];
    snprintf(text, sizeof text, "0x%x", unsigned(type));
    return text;
}

bool ParseType(const std::string& text, DWORD& type) {
    for (const TypeName& t : kTypes) {
        if (strcasecmp(text.c_str(), t.name) == 0) {
            type = t.type;
            return true;
        }
    }
    long long value = 0;
    if (!ParseCode(text, value) || value < 0) return false;
    type = DWORD(value);
    return true;
}

bool ParseHexBytes(const std::string& text, std::string& bytes) {
    std::string digits;
    for (char c : text) {
        if (c == ',' || c == ' ') continue;
        if (!isxdigit(static_cast<unsigned char>(c))) return false;
        digits.push_back(c);
    }
    if (digits.size() % 2) return false;
    for (size_t i = 0; i < digits.size(); i += 2) bytes.push_back(char(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return true;
}

void PrintValue(const char* name, DWORD type, const std::string& data) {
    printf("%s\t%s\t", *name ? name : "(default)", TypeText(type).c_str());
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && memchr(data.data(), 0, data.size()) >= data.data() + data.size() - 1) {
        size_t n = !data.empty() && data.back() == '\0' ? data.size() - 1 : data.size();
        fwrite(data.data(), 1, n, stdout);
    } else if (type == REG_DWORD && data.size() == 4) {
        DWORD n;
        memcpy(&n, data.data(), 4);
        printf("0x%08x (%u)", unsigned(n), unsigned(n));
    } else if (type == REG_QWORD && data.size() == 8) {
        unsigned long long n;
        memcpy(&n, data.data(), 8);
        printf("0x%016llx (%llu)", n, n);
    } else {
        for (size_t i = 0; i < data.size(); ++i) printf("%s%02x", i ? "," : "", unsigned(uint8_t(data[i])));
    }
    printf("\n");
}

int Query(const Args& args) {
    if (args.size() < 2 || args.size() > 3) return UsageError(kCommand, "query expects KEY [VALUE]");
    HKEY root;
    std::string path;
    if (!SplitKey(args[1], root, path)) return UsageError(kCommand, "unknown root in " + args[1]);
    HKEY key;
    LONG r = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key);
    if (r) return Failed("open " + args[1], r);
    int status = kOk;
    if (args.size() == 3) {
        DWORD type = 0, size = 0;
        r = RegQueryValueExA(key, args[2].c_str(), nullptr, &type, nullptr, &size);
        std::string data(size, '\0');
        if (!r) r = RegQueryValueExA(key, args[2].c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(data.data()), &size);
        if (r) status = Failed("query " + args[2], r);
        else PrintValue(args[2].c_str(), type, data.substr(0, size));
    } else {
        DWORD maxName = 0, maxData = 0;
        r = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                             nullptr, nullptr);
        for (DWORD i = 0; !r; ++i) {
            std::string name(maxName + 1, '\0'), data(maxData, '\0');
            DWORD nameLength = maxName + 1, size = maxData, type = 0;
            r = RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &type, reinterpret_cast<LPBYTE>(data.data()),
                              &size);
            if (!r) PrintValue(name.c_str(), type, data.substr(0, size));
        }
        if (r != ERROR_NO_MORE_ITEMS) status = Failed("enumerate " + args[1], r);
    }
    RegCloseKey(key);
    return status;
}

int Set(const Args& args) {
    Args rest;
    bool makeVolatile = false;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--volatile") makeVolatile = true;
        else rest.push_back(args[i]);
    }
    if (rest.size() < 3) return UsageError(kCommand, "set expects KEY VALUE TYPE DATA");
    HKEY root;
    std::string path;
    if (!SplitKey(rest[0], root, path)) return UsageError(kCommand, "unknown root in " + rest[0]);
    DWORD type;
    if (!ParseType(rest[2], type)) return UsageError(kCommand, "unknown type " + rest[2]);
    std::string data;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        if (rest.size() != 4) return UsageError(kCommand, "a string type takes one DATA");
        data = rest[3];
        data.push_back('\0');
    } else if (type == REG_MULTI_SZ) {
        for (size_t i = 3; i < rest.size(); ++i) data += rest[i] + std::string(1, '\0');
        data.push_back('\0');
    } else if (type == REG_DWORD || type == REG_QWORD) {
        if (rest.size() != 4) return UsageError(kCommand, "a number type takes one DATA");
        const char* text = rest[3].c_str();
        char* end = nullptr;
        errno = 0;
        unsigned long long n = strtoull(text, &end, 0);
        if (errno || !*text || *end || *text == '-' || (type == REG_DWORD && n > 0xFFFFFFFFull))
            return UsageError(kCommand, "not a number of that size: " + rest[3]);
        for (size_t i = 0; i < (type == REG_DWORD ? 4u : 8u); ++i) data.push_back(char(n >> (8 * i)));
    } else {
        if (rest.size() > 4) return UsageError(kCommand, "binary data is one DATA of hex bytes");
        if (rest.size() == 4 && !ParseHexBytes(rest[3], data)) return UsageError(kCommand, "not hex bytes: " + rest[3]);
    }
    HKEY key;
    LONG r = RegCreateKeyExA(root, path.c_str(), 0, nullptr, makeVolatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE,
                             KEY_WRITE, nullptr, &key, nullptr);
    if (r) return Failed("create " + rest[0], r);
    r = RegSetValueExA(key, rest[1].c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()));
    RegCloseKey(key);
    return r ? Failed("set " + rest[1], r) : kOk;
}

int Delete(const Args& args) {
    if (args.size() < 2 || args.size() > 3) return UsageError(kCommand, "delete expects KEY [VALUE]");
    HKEY root;
    std::string path;
    if (!SplitKey(args[1], root, path)) return UsageError(kCommand, "unknown root in " + args[1]);
    if (args.size() == 2) {
        if (path.find_first_not_of('\\') == std::string::npos)
            return UsageError(kCommand, "a predefined root cannot be deleted");
        LONG r = SHDeleteKeyA(root, path.c_str());
        return r ? Failed("delete " + args[1], r) : kOk;
    }
    HKEY key;
    LONG r = RegOpenKeyExA(root, path.c_str(), 0, KEY_WRITE, &key);
    if (r) return Failed("open " + args[1], r);
    r = RegDeleteValueA(key, args[2].c_str());
    RegCloseKey(key);
    return r ? Failed("delete " + args[2], r) : kOk;
}

int List(const Args& args) {
    if (args.size() != 2) return UsageError(kCommand, "list expects KEY");
    HKEY root;
    std::string path;
    if (!SplitKey(args[1], root, path)) return UsageError(kCommand, "unknown root in " + args[1]);
    HKEY key;
    LONG r = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key);
    if (r) return Failed("open " + args[1], r);
    for (DWORD i = 0; !r; ++i) {
        char name[1024];
        DWORD length = sizeof name;
        r = RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (r) break;
        DWORD flags = 0;
        NavoRegGetKeyFlagsA(key, name, &flags);
        printf("%s%s%s\n", name, (flags & NAVO_REG_KEY_VOLATILE) ? "\tvolatile" : "",
               (flags & NAVO_REG_KEY_READ_ONLY) ? "\tread-only" : "");
    }
    RegCloseKey(key);
    return r == ERROR_NO_MORE_ITEMS ? kOk : Failed("enumerate " + args[1], r);
}

int Protect(const Args& args) {
    bool off = args.size() == 3 && args[2] == "--off";
    if (args.size() != 2 && !off) return UsageError(kCommand, "protect expects KEY [--off]");
    HKEY root;
    std::string path;
    if (!SplitKey(args[1], root, path)) return UsageError(kCommand, "unknown root in " + args[1]);
    LONG r = NavoRegSetKeyReadOnlyA(root, path.c_str(), off ? FALSE : TRUE);
    return r ? Failed("protect " + args[1], r) : kOk;
}

int Import(const Args& args) {
    if (args.size() != 2) return UsageError(kCommand, "import expects FILE");
    char message[512];
    LONG r = NavoRegImportFileA(args[1].c_str(), message, sizeof message);
    if (r == ERROR_INVALID_DATA && message[0]) {
        fprintf(stderr, "navotools reg: %s: %s\n", args[1].c_str(), message);
        return kFailed;
    }
    return r ? Failed("import " + args[1], r) : kOk;
}

int Export(const Args& args) {
    DWORD format = NAVO_REG_FORMAT_REGEDIT5;
    Args rest;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--format" && i + 1 < args.size()) {
            const std::string& f = args[++i];
            if (f == "4") format = NAVO_REG_FORMAT_REGEDIT4;
            else if (f == "5") format = NAVO_REG_FORMAT_REGEDIT5;
            else return UsageError(kCommand, "the format is 4 or 5");
        } else {
            rest.push_back(args[i]);
        }
    }
    if (rest.size() != 2) return UsageError(kCommand, "export expects KEY FILE");
    HKEY root;
    std::string path;
    if (!SplitKey(rest[0], root, path)) return UsageError(kCommand, "unknown root in " + rest[0]);
    LONG r = NavoRegExportFileA(root, path.c_str(), rest[1].c_str(), format);
    if (r == ERROR_NO_UNICODE_TRANSLATION) {
        fprintf(stderr, "navotools reg: export %s: it holds bytes that are not UTF-8; use --format 4\n", rest[0].c_str());
        return kFailed;
    }
    return r ? Failed("export " + rest[0], r) : kOk;
}

int Run(const Args& args) {
    if (args.empty()) return UsageError(kCommand, "expects a subcommand");
    const std::string& sub = args[0];
    if (sub == "query") return Query(args);
    if (sub == "set") return Set(args);
    if (sub == "delete") return Delete(args);
    if (sub == "list") return List(args);
    if (sub == "protect") return Protect(args);
    if (sub == "import") return Import(args);
    if (sub == "export") return Export(args);
    return UsageError(kCommand, "unknown subcommand " + sub);
}

}  // namespace
NAVOTOOLS_COMMAND(kCommand);
}  // namespace navotools
