// navotools reg: the registry from a shell: query, set, delete, list, protect, import and
// export of .reg files.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <shlwapi.h>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace reg_command {

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

int Failed(const std::string& what, LONG code) { return Fail(what, DWORD(code)); }

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
    PrintOut("%s\t%s\t", *name ? name : "(default)", TypeText(type).c_str());
    const void* nul = memchr(data.data(), 0, data.size());
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && (nul && nul == data.data() + data.size() - 1)) {
        size_t n = !data.empty() && data.back() == '\0' ? data.size() - 1 : data.size();
        WriteOut(data.data(), n);
    } else if (type == REG_DWORD && data.size() == 4) {
        DWORD n;
        memcpy(&n, data.data(), 4);
        PrintOut("0x%08x (%u)", unsigned(n), unsigned(n));
    } else if (type == REG_QWORD && data.size() == 8) {
        unsigned long long n;
        memcpy(&n, data.data(), 8);
        PrintOut("0x%016llx (%llu)", n, n);
    } else {
        for (size_t i = 0; i < data.size(); ++i) PrintOut("%s%02x", i ? "," : "", unsigned(uint8_t(data[i])));
    }
    WriteOut("\n");
}


// A private temporary file for "-": the registry reads and writes .reg files by path.
class TempFile {
public:
    TempFile() {
        const char* dir = getenv("TMPDIR");
        path_ = std::string(dir && *dir ? dir : "/tmp") + "/navotools-reg-XXXXXX";
        fd_ = mkstemp(path_.data());
        if (fd_ < 0) path_.clear();
    }
    ~TempFile() {
        if (fd_ >= 0) close(fd_);
        if (!path_.empty()) unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }
    int fd() const { return fd_; }

private:
    std::string path_;
    int fd_ = -1;
};

struct KeyArg {
    std::string text;
    HKEY root = nullptr;
    std::string path;
};

// Resolves the KEY operand; a usage error (false) for an unknown root.
bool Resolve(KeyArg& key) {
    if (SplitKey(key.text, key.root, key.path)) return true;
    Usage("unknown root in " + key.text + " (HKCR, HKCU, HKLM, HKU, HKCC or their long names)");
    return false;
}

CLI::Option* AddKey(CLI::App& app, KeyArg& key) {
    return AddOperand(app, "KEY", key.text, "ROOT\\path, such as HKCU\\Software\\Example")->required();
}

// A key and, optionally, one value of it, as `query` and `delete` take them.
struct KeyAndValue {
    KeyArg key;
    std::string value;
    CLI::Option* valueOption = nullptr;
};

std::shared_ptr<KeyAndValue> AddKeyAndValue(CLI::App& app, const char* valueHelp) {
    auto o = std::make_shared<KeyAndValue>();
    AddKey(app, o->key);
    o->valueOption = AddOperand(app, "VALUE", o->value, valueHelp);
    return o;
}

void DeclareQuery(CLI::App& app) {
    auto o = AddKeyAndValue(app, "one value; \"\" is the default value");
    SetAction(app, [o] {
        if (!Resolve(o->key)) return int(kUsage);
        HKEY key;
        LONG r = RegOpenKeyExA(o->key.root, o->key.path.c_str(), 0, KEY_READ, &key);
        if (r) return Failed("cannot open " + o->key.text, r);
        int status = kOk;
        if (o->valueOption->count()) {
            DWORD type = 0, size = 0;
            r = RegQueryValueExA(key, o->value.c_str(), nullptr, &type, nullptr, &size);
            std::string data(size, '\0');
            if (!r)
                r = RegQueryValueExA(key, o->value.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(data.data()), &size);
            if (r) status = Failed("cannot query " + o->value, r);
            else PrintValue(o->value.c_str(), type, data.substr(0, size));
        } else {
            DWORD maxName = 0, maxData = 0;
            r = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                                 nullptr, nullptr);
            for (DWORD i = 0; !r; ++i) {
                std::string name(maxName + 1, '\0'), data(maxData, '\0');
                DWORD nameLength = maxName + 1, size = maxData, type = 0;
                r = RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &type,
                                  reinterpret_cast<LPBYTE>(data.data()), &size);
                if (!r) PrintValue(name.c_str(), type, data.substr(0, size));
            }
            if (r != ERROR_NO_MORE_ITEMS) status = Failed("cannot enumerate " + o->key.text, r);
        }
        RegCloseKey(key);
        return status;
    });
}

void DeclareSet(CLI::App& app) {
    struct O {
        KeyArg key;
        std::string value, type;
        std::vector<std::string> data;
        bool makeVolatile = false;
    };
    auto o = std::make_shared<O>();
    AddKey(app, o->key);
    AddOperand(app, "VALUE", o->value, "the value's name; \"\" is the default value")->required();
    AddOperand(app, "TYPE", o->type,
               "REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY, REG_NONE or a number")
        ->required();
    app.add_option("DATA", o->data,
                   "the data: one string, each string of a REG_MULTI_SZ, a number (decimal or\n"
                   "0x-hex) or hex bytes (commas allowed)")
        ->option_text(" ");
    app.add_flag("--volatile", o->makeVolatile, "create the key volatile: it lasts until the session ends");
    SetAction(app, [o] {
        if (!Resolve(o->key)) return int(kUsage);
        DWORD type;
        if (!ParseType(o->type, type)) return Usage("unknown type " + o->type);
        const std::vector<std::string>& rest = o->data;
        std::string data;
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            if (rest.size() != 1) return Usage("a string type takes one DATA");
            data = rest[0];
            data.push_back('\0');
        } else if (type == REG_MULTI_SZ) {
            for (const std::string& s : rest) data += s + std::string(1, '\0');
            data.push_back('\0');
        } else if (type == REG_DWORD || type == REG_QWORD) {
            if (rest.size() != 1) return Usage("a number type takes one DATA");
            const char* text = rest[0].c_str();
            char* end = nullptr;
            errno = 0;
            unsigned long long n = strtoull(text, &end, 0);
            if (errno || !*text || *end || *text == '-' || (type == REG_DWORD && n > 0xFFFFFFFFull))
                return Usage("not a number of that size: " + rest[0]);
            for (size_t i = 0; i < (type == REG_DWORD ? 4u : 8u); ++i) data.push_back(char(n >> (8 * i)));
        } else {
            if (rest.size() > 1) return Usage("binary data is one DATA of hex bytes");
            if (rest.size() == 1 && !ParseHexBytes(rest[0], data)) return Usage("not hex bytes: " + rest[0]);
        }
        HKEY key;
        LONG r = RegCreateKeyExA(o->key.root, o->key.path.c_str(), 0, nullptr,
                                 o->makeVolatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                                 &key, nullptr);
        if (r) return Failed("cannot create " + o->key.text, r);
        r = RegSetValueExA(key, o->value.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                           DWORD(data.size()));
        RegCloseKey(key);
        return r ? Failed("cannot set " + o->value, r) : int(kOk);
    });
}

void DeclareDelete(CLI::App& app) {
    auto o = AddKeyAndValue(app, "the value to remove; without it, the key goes");
    SetAction(app, [o] {
        if (!Resolve(o->key)) return int(kUsage);
        if (!o->valueOption->count()) {
            if (o->key.path.find_first_not_of('\\') == std::string::npos)
                return Usage("a predefined root cannot be deleted");
            LONG r = SHDeleteKeyA(o->key.root, o->key.path.c_str());
            return r ? Failed("cannot delete " + o->key.text, r) : int(kOk);
        }
        HKEY key;
        LONG r = RegOpenKeyExA(o->key.root, o->key.path.c_str(), 0, KEY_WRITE, &key);
        if (r) return Failed("cannot open " + o->key.text, r);
        r = RegDeleteValueA(key, o->value.c_str());
        RegCloseKey(key);
        return r ? Failed("cannot delete " + o->value, r) : int(kOk);
    });
}

void DeclareList(CLI::App& app) {
    auto key = std::make_shared<KeyArg>();
    AddKey(app, *key);
    SetAction(app, [k = key] {
        if (!Resolve(*k)) return int(kUsage);
        HKEY key;
        LONG r = RegOpenKeyExA(k->root, k->path.c_str(), 0, KEY_READ, &key);
        if (r) return Failed("cannot open " + k->text, r);
        for (DWORD i = 0; !r; ++i) {
            char name[1024];
            DWORD length = sizeof name;
            r = RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (r) break;
            DWORD flags = 0;
            NavoRegGetKeyFlagsA(key, name, &flags);
            PrintOut("%s%s%s\n", name, (flags & NAVO_REG_KEY_VOLATILE) ? "\tvolatile" : "",
                     (flags & NAVO_REG_KEY_READ_ONLY) ? "\tread-only" : "");
        }
        RegCloseKey(key);
        return r == ERROR_NO_MORE_ITEMS ? int(kOk) : Failed("cannot enumerate " + k->text, r);
    });
}

void DeclareProtect(CLI::App& app) {
    struct O {
        KeyArg key;
        bool off = false;
    };
    auto o = std::make_shared<O>();
    AddKey(app, o->key);
    app.add_flag("--off", o->off, "take the mark away again");
    SetAction(app, [o] {
        if (!Resolve(o->key)) return int(kUsage);
        LONG r = NavoRegSetKeyReadOnlyA(o->key.root, o->key.path.c_str(), o->off ? FALSE : TRUE);
        return r ? Failed("cannot protect " + o->key.text, r) : int(kOk);
    });
}

void DeclareImport(CLI::App& app) {
    auto file = std::make_shared<std::string>();
    AddOperand(app, "FILE", *file, "the .reg file; \"-\" reads standard input")->required();
    SetAction(app, [file] {
        std::string path = *file;
        TempFile temp;
        if (*file == "-") {
            std::string bytes;
            if (!ReadOperand("-", bytes)) return int(kFailed);
            if (temp.path().empty()) return FailText("cannot import standard input", strerror(errno));
            if (write(temp.fd(), bytes.data(), bytes.size()) != ssize_t(bytes.size()))
                return FailText("cannot import standard input", strerror(errno));
            path = temp.path();
        }
        const std::string name = *file == "-" ? std::string("standard input") : *file;
        char message[512] = {};
        LONG r = NavoRegImportFileA(path.c_str(), message, sizeof message);
        if (r == ERROR_INVALID_DATA && message[0]) return FailText("cannot import " + name, message);
        return r ? Failed("cannot import " + name, r) : int(kOk);
    });
}

void DeclareExport(CLI::App& app) {
    struct O {
        KeyArg key;
        std::string file;
        std::string format = "5";
    };
    auto o = std::make_shared<O>();
    AddKey(app, o->key);
    AddOperand(app, "FILE", o->file, "the .reg file to write; \"-\" writes standard output")->required();
    app.add_option("--format", o->format, "5 (the default): Windows Registry Editor Version 5.00 in\n"
                                          "UTF-16LE; 4: REGEDIT4")
        ->option_text(" 4|5")
        ->check(CLI::IsMember({"4", "5"}));
    SetAction(app, [o] {
        if (!Resolve(o->key)) return int(kUsage);
        DWORD format = o->format == "4" ? NAVO_REG_FORMAT_REGEDIT4 : NAVO_REG_FORMAT_REGEDIT5;
        TempFile temp;
        std::string path = o->file;
        if (o->file == "-") {
            if (temp.path().empty()) return FailText("cannot export " + o->key.text, strerror(errno));
            path = temp.path();
        }
        LONG r = NavoRegExportFileA(o->key.root, o->key.path.c_str(), path.c_str(), format);
        if (r == ERROR_NO_UNICODE_TRANSLATION)
            return FailText("cannot export " + o->key.text, "it holds bytes that are not UTF-8; use --format 4");
        if (r) return Failed("cannot export " + o->key.text, r);
        if (o->file != "-") return int(kOk);
        std::string bytes;
        if (!ReadOperand(path, bytes)) return int(kFailed);
        WriteOut(bytes);
        return int(kOk);
    });
}

struct Sub {
    const char* name;
    const char* description;
    void (*declare)(CLI::App&);
};

const Sub kSubs[] = {
    {"query", "print a key's values, or one value\nOne \"NAME<TAB>TYPE<TAB>DATA\" line each.", &DeclareQuery},
    {"set",
     "store a value, creating the key and missing parents\n"
     "Strings get their terminator; REG_MULTI_SZ takes one DATA per string; REG_BINARY,\n"
     "REG_NONE and type numbers take hex bytes.",
     &DeclareSet},
    {"delete", "remove one value, or the key with everything below it", &DeclareDelete},
    {"list", "print the sub-keys in order, marked volatile or read-only", &DeclareList},
    {"protect",
     "mark a key read-only\nOpens asking for write access are refused (ERROR_ACCESS_DENIED).", &DeclareProtect},
    {"import", "apply a .reg file of either format, all or nothing", &DeclareImport},
    {"export", "write a key and everything below it as a .reg file", &DeclareExport},
};

void Declare(CLI::App& app) {
    app.description(
        "read and write the registry\n"
        "KEY is ROOT\\path with ROOT one of HKEY_CLASSES_ROOT (HKCR), HKEY_CURRENT_USER\n"
        "(HKCU), HKEY_LOCAL_MACHINE (HKLM), HKEY_USERS (HKU), HKEY_CURRENT_CONFIG (HKCC).\n"
        "The store is the file registry.db of the state directory ($NAVOTOOLS_HOME, by\n"
        "default ~/.config/navotools).");
    app.require_subcommand(1, 1);
    for (const Sub& s : kSubs) {
        CLI::App* sub = app.add_subcommand(s.name, s.description);
        sub->formatter(app.get_formatter());
        sub->group("Commands");
        sub->set_help_flag("-h,--help", "print this help and exit");
        s.declare(*sub);
    }
}

NAVOTOOLS_COMMAND("reg", "read and write the registry", &Declare);
}  // namespace reg_command
}  // namespace navotools
