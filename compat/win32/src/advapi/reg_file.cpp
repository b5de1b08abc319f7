// regedit's .reg files: the reader, the writer, and the import and export functions.
//
// Values round-trip byte for byte. A string value is written in quotes only when its data
// is UTF-8 text with one terminating NUL and no other; anything else of type REG_SZ is
// written as hex(1). A REG_DWORD of other than 4 bytes is written as hex(4). In the
// version 5 format the data of the string types (1, 2 and 7) written as hex are UTF-16LE,
// as regedit writes them, and are turned back into UTF-8 when read.

#include "advapi/reg_file.h"
#include "formats/byte_reader.h"

#include <shlwapi.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "formats/utf.h"
#include "system/file_read.h"
#include "advapi/registry_handles.h"
#include "advapi/registry_store.h"

namespace navo::win32::regfile {

namespace {

constexpr char kHeader4[] = "REGEDIT4";
constexpr char kHeader5[] = "Windows Registry Editor Version 5.00";

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

int RootByName(std::string_view name) {
    struct Alias {
        const char* full;
        const char* brief;
        int id;
    };
    static const Alias kAliases[] = {
        {"HKEY_CLASSES_ROOT", "HKCR", int(registry::kClassesRootId)},
        {"HKEY_CURRENT_USER", "HKCU", int(registry::kCurrentUserId)},
        {"HKEY_LOCAL_MACHINE", "HKLM", int(registry::kLocalMachineId)},
        {"HKEY_USERS", "HKU", int(registry::kUsersId)},
        {"HKEY_CURRENT_CONFIG", "HKCC", int(registry::kCurrentConfigId)},
    };
    for (const Alias& a : kAliases) {
        if (name.size() == strlen(a.full) && strncasecmp(name.data(), a.full, name.size()) == 0) return a.id;
        if (name.size() == strlen(a.brief) && strncasecmp(name.data(), a.brief, name.size()) == 0) return a.id;
    }
    return 0;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Parser {
public:
    Parser(std::string_view text, bool unicode) : text_(text), unicode_(unicode) {}

    bool Run(std::vector<Operation>& ops, std::string& error) {
        bool haveKey = false, keyDeleted = false;
        Operation key;
        while (pos_ < text_.size()) {
            SkipBlank();
            if (pos_ >= text_.size()) break;
            char c = text_[pos_];
            if (c == '\r' || c == '\n') {
                NextLine();
                continue;
            }
            if (c == ';') {
                SkipToLineEnd();
                continue;
            }
            if (c == '[') {
                if (!ParseKeyLine(key, keyDeleted)) return Fail(error);
                haveKey = true;
                ops.push_back(key);
                continue;
            }
            if (c == '"' || c == '@') {
                if (!haveKey) return Fail(error, "a value before any key");
                if (keyDeleted) return Fail(error, "a value in a key that is being deleted");
                Operation value;
                value.root = key.root;
                value.path = key.path;
                if (!ParseValueLine(value)) return Fail(error);
                ops.push_back(std::move(value));
                continue;
            }
            return Fail(error, "a line that is neither a key, a value nor a comment");
        }
        return true;
    }

private:
    bool Fail(std::string& error, const char* why = nullptr) {
        char line[32];
        snprintf(line, sizeof line, "line %zu: ", line_);
        error = line;
        error += why ? why : reason_;
        return false;
    }
    bool Reason(const char* why) {
        reason_ = why;
        return false;
    }
    void SkipBlank() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    }
    void NextLine() {
        if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
        ++pos_;
        ++line_;
    }
    void SkipToLineEnd() {
        while (pos_ < text_.size() && text_[pos_] != '\r' && text_[pos_] != '\n') ++pos_;
    }
    // After a value: blanks, an optional comment, then the end of the line or the input.
    bool EndOfLine() {
        SkipBlank();
        if (pos_ < text_.size() && text_[pos_] == ';') SkipToLineEnd();
        if (pos_ >= text_.size()) return true;
        if (text_[pos_] != '\r' && text_[pos_] != '\n') return Reason("unexpected text after the value");
        NextLine();
        return true;
    }

    bool ParseKeyLine(Operation& key, bool& deleted) {
        size_t start = pos_ + 1;
        SkipToLineEnd();
        std::string_view line = text_.substr(start, pos_ - start);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        if (line.empty() || line.back() != ']') return Reason("a key line without its closing bracket");
        line.remove_suffix(1);
        deleted = !line.empty() && line.front() == '-';
        if (deleted) line.remove_prefix(1);
        if (!KeyPathWritable(line)) return Reason("a key name with a control character");
        size_t slash = line.find('\\');
        int root = RootByName(line.substr(0, slash));
        if (!root) return Reason("an unknown root key");
        key = Operation{};
        key.kind = deleted ? Operation::kDeleteKey : Operation::kCreateKey;
        key.root = root;
        if (slash != std::string_view::npos) key.path.assign(line.substr(slash + 1));
        if (pos_ < text_.size()) NextLine();
        return true;
    }

    // A quoted text with the escapes \\ and \"; it may run over several lines.
    bool ParseQuoted(std::string& out) {
        ++pos_;  // the opening quote
        out.clear();
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (c == '"') {
                ++pos_;
                return true;
            }
            if (c == '\\') {
                if (pos_ + 1 >= text_.size()) break;
                char next = text_[pos_ + 1];
                if (next != '\\' && next != '"') return Reason("an unknown escape in a quoted text");
                out.push_back(next);
                pos_ += 2;
                continue;
            }
            if (c == '\n') ++line_;
            out.push_back(c);
            ++pos_;
        }
        return Reason("a quoted text without its closing quote");
    }

    // Comma-separated byte pairs; a backslash at the end of a line continues the list.
    bool ParseHex(std::string& out) {
        out.clear();
        bool expectByte = true, any = false;
        for (;;) {
            SkipBlank();
            if (pos_ < text_.size() && text_[pos_] == '\\') {
                ++pos_;
                SkipBlank();
                if (pos_ >= text_.size() || (text_[pos_] != '\r' && text_[pos_] != '\n'))
                    return Reason("a backslash in hex data that does not end the line");
                NextLine();
                continue;
            }
            if (pos_ >= text_.size() || text_[pos_] == '\r' || text_[pos_] == '\n' || text_[pos_] == ';') break;
            if (expectByte) {
                if (pos_ + 1 >= text_.size()) return Reason("a hex byte cut short");
                int hi = HexDigit(text_[pos_]), lo = HexDigit(text_[pos_ + 1]);
                if (hi < 0 || lo < 0) return Reason("a hex byte that is not two hex digits");
                out.push_back(char(hi * 16 + lo));
                pos_ += 2;
                expectByte = false;
                any = true;
            } else {
                if (text_[pos_] != ',') return Reason("hex bytes not separated by commas");
                ++pos_;
                expectByte = true;
            }
        }
        if (any && expectByte) return Reason("hex data that ends with a comma");
        return true;
    }

    bool ParseValueLine(Operation& value) {
        if (text_[pos_] == '@') {
            ++pos_;
            value.name.clear();
        } else if (!ParseQuoted(value.name)) {
            return false;
        }
        SkipBlank();
        if (pos_ >= text_.size() || text_[pos_] != '=') return Reason("a value name without '='");
        ++pos_;
        SkipBlank();
        std::string_view rest = text_.substr(pos_);
        if (!rest.empty() && rest[0] == '-') {
            ++pos_;
            value.kind = Operation::kDeleteValue;
            return EndOfLine();
        }
        value.kind = Operation::kSetValue;
        if (!rest.empty() && rest[0] == '"') {
            if (!ParseQuoted(value.data)) return false;
            value.type = REG_SZ;
            value.data.push_back('\0');
            return EndOfLine();
        }
        if (rest.substr(0, 6) == "dword:") {
            pos_ += 6;
            DWORD number = 0;
            int digits = 0;
            while (pos_ < text_.size() && HexDigit(text_[pos_]) >= 0) {
                if (++digits > 8) return Reason("a dword of more than 8 hex digits");
                number = number * 16 + DWORD(HexDigit(text_[pos_++]));
            }
            if (digits == 0) return Reason("a dword without hex digits");
            value.type = REG_DWORD;
            value.data.assign({char(number), char(number >> 8), char(number >> 16), char(number >> 24)});
            return EndOfLine();
        }
        if (rest.substr(0, 4) == "hex:") {
            pos_ += 4;
            value.type = REG_BINARY;
        } else if (rest.substr(0, 4) == "hex(") {
            pos_ += 4;
            DWORD type = 0;
            int digits = 0;
            while (pos_ < text_.size() && HexDigit(text_[pos_]) >= 0) {
                if (++digits > 8) return Reason("a value type of more than 8 hex digits");
                type = type * 16 + DWORD(HexDigit(text_[pos_++]));
            }
            if (digits == 0 || text_.substr(pos_, 2) != "):") return Reason("a malformed hex(type): prefix");
            pos_ += 2;
            value.type = type;
        } else {
            return Reason("value data of an unknown form");
        }
        if (!ParseHex(value.data)) return false;
        if (unicode_ && IsStringType(value.type)) {
            // regedit writes these as UTF-16; data that is not UTF-16 stays as it was read.
            if (auto text = utf::Utf16LeToUtf8(value.data, utf::kStrict)) value.data = std::move(*text);
        }
        return EndOfLine();
    }

    std::string_view text_;
    bool unicode_;
    size_t pos_ = 0;
    size_t line_ = 1;
    const char* reason_ = "malformed input";
};

// A name for a message: control characters as \xNN.
std::string Printable(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (uint8_t(c) >= 0x20 && c != '\x7f') {
            out.push_back(c);
            continue;
        }
        char escape[8];
        snprintf(escape, sizeof escape, "\\x%02X", unsigned(uint8_t(c)));
        out += escape;
    }
    return out;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

void AppendHex(std::string& out, std::string_view bytes, size_t lineStart) {
    static const char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) {
            out.push_back(',');
            // Lines of at most 80 characters, as regedit keeps them.
            if (out.size() - lineStart > 76) {
                out += "\\\r\n  ";
                lineStart = out.size() - 2;
            }
        }
        out.push_back(kDigits[uint8_t(bytes[i]) >> 4]);
        out.push_back(kDigits[uint8_t(bytes[i]) & 15]);
    }
}

}  // namespace

bool ParseRegFile(std::string_view bytes, std::vector<Operation>& operations, std::string& error) {
    operations.clear();
    if (bytes.size() > kMaxRegFileBytes) {
        error = "the file is larger than 64 MiB";
        return false;
    }
    std::string converted;
    bool unicode = false;
    if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE) {
        // An odd length or a lone surrogate is not UTF-16LE text.
        auto text = utf::Utf16LeToUtf8(bytes.substr(2), utf::kStrict);
        if (!text) {
            error = "the file is not UTF-16LE text";
            return false;
        }
        converted = std::move(*text);
        bytes = converted;
        unicode = true;
    } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    size_t end = bytes.find_first_of("\r\n");
    std::string_view header = bytes.substr(0, end);
    while (!header.empty() && (header.back() == ' ' || header.back() == '\t')) header.remove_suffix(1);
    bool v5 = header == kHeader5;
    if (!v5 && header != kHeader4) {
        error = "line 1: neither \"REGEDIT4\" nor \"Windows Registry Editor Version 5.00\"";
        return false;
    }
    // The version 5 header in a file of bytes, as some tools write it, reads as UTF-8.
    (void)v5;
    Parser parser(bytes.substr(end == std::string_view::npos ? bytes.size() : end), unicode);
    if (!parser.Run(operations, error)) {
        operations.clear();
        return false;
    }
    return true;
}

bool KeyPathWritable(std::string_view path) {
    for (char c : path)
        if (uint8_t(c) < 0x20 || c == '\x7f') return false;
    return true;
}

DWORD FormatRegFile(const std::vector<ExportKey>& keys, DWORD format, std::string& bytes, std::string& error) {
    const bool v5 = format == NAVO_REG_FORMAT_REGEDIT5;
    std::string out = v5 ? kHeader5 : kHeader4;
    out += "\r\n";
    for (const ExportKey& key : keys) {
        if (!KeyPathWritable(key.path)) {
            error = "a key name with a line break or another control character, which a .reg file cannot "
                    "hold: " + Printable(key.path);
            return ERROR_BADKEY;
        }
        if (v5 && !utf::IsUtf8(key.path)) {
            error = "a key name that is not UTF-8: " + key.path;
            return ERROR_NO_UNICODE_TRANSLATION;
        }
        out += "\r\n[" + key.path + "]\r\n";
        for (const ExportValue& value : key.values) {
            size_t lineStart = out.size();
            if (v5 && !utf::IsUtf8(value.name)) {
                error = "a value name that is not UTF-8 in " + key.path;
                return ERROR_NO_UNICODE_TRANSLATION;
            }
            if (value.name.empty()) out.push_back('@');
            else AppendQuoted(out, value.name);
            out.push_back('=');
            std::string_view data = value.data;
            const bool quotable = value.type == REG_SZ && !data.empty() && data.back() == '\0' &&
                                  data.find('\0') == data.size() - 1 && utf::IsUtf8(data);
            if (quotable) {
                AppendQuoted(out, data.substr(0, data.size() - 1));
            } else if (value.type == REG_DWORD && data.size() == 4) {
                char text[16];
                const DWORD n =
                    CantFail(ByteView(reinterpret_cast<const BYTE*>(data.data()), data.size()).U32(0, "REG_DWORD"));
                snprintf(text, sizeof text, "dword:%08x", n);
                out += text;
            } else {
                std::optional<std::string> wide;
                if (v5 && IsStringType(value.type)) {
                    wide = utf::Utf8ToUtf16Le(data, utf::kStrict);
                    if (!wide) {
                        error = "string data that is not UTF-8 in " + key.path + "; REGEDIT4 keeps it unchanged";
                        return ERROR_NO_UNICODE_TRANSLATION;
                    }
                    data = *wide;
                }
                if (value.type == REG_BINARY) {
                    out += "hex:";
                } else {
                    char prefix[24];
                    snprintf(prefix, sizeof prefix, "hex(%x):", unsigned(value.type));
                    out += prefix;
                }
                AppendHex(out, data, lineStart);
            }
            out += "\r\n";
        }
    }
    out += "\r\n";
    if (!v5) {
        bytes = std::move(out);
        return ERROR_SUCCESS;
    }
    auto wide = utf::Utf8ToUtf16Le(out, utf::kStrict);
    if (!wide) {
        error = "text that is not UTF-8";
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    bytes = "\xFF\xFE" + *wide;
    return ERROR_SUCCESS;
}

}  // namespace navo::win32::regfile

using namespace navo::win32;
using namespace navo::win32::regfile;

namespace {

// The file's bytes, refusing what is not a regular file (a FIFO is not waited on) and
// what is larger than the parser takes.
bool ReadWholeFile(const char* path, std::string& bytes, LONG& error, std::string& message) {
    switch (ReadFileBounded(path, kMaxRegFileBytes, bytes)) {
        case 0: return true;
        case ENOENT: error = ERROR_FILE_NOT_FOUND; break;
        case ENOTDIR: error = ERROR_PATH_NOT_FOUND; break;
        case EFBIG:
            error = ERROR_INVALID_DATA;
            message = "the file is larger than 64 MiB";
            break;
        case EISDIR:
        case EINVAL: error = ERROR_ACCESS_DENIED; message = "not a regular file"; break;
        case EACCES:
        case EPERM: error = ERROR_ACCESS_DENIED; break;
        default: error = ERROR_READ_FAULT; break;
    }
    return false;
}

void CopyMessage(LPSTR message, DWORD size, const std::string& text) {
    if (!message || size == 0) return;
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    memcpy(message, text.data(), n);
    message[n] = '\0';
}

// Applies the operations inside the caller's write transaction.
LONG Apply(registry::Store& store, const std::vector<Operation>& ops) {
    registry::KeyRow current;
    for (const Operation& op : ops) {
        registry::KeyPath path;
        if (LONG error = path.Parse(op.path)) return error;
        registry::BaseKey root;
        root.id = op.root;
        root.predefined = true;
        switch (op.kind) {
        case Operation::kCreateKey: {
            registry::KeyRow start;
            if (LONG error = store.LoadKey(root.id, start)) return error;
            bool created = false;
            if (LONG error = registry::CreatePath(store, start, path, registry::KeyLifetime::kStable, "", current, created))
                return error;
            break;
        }
        case Operation::kDeleteKey: {
            registry::KeyRow row;
            LONG error = registry::WalkPath(store, root, path, row);
            if (error == ERROR_FILE_NOT_FOUND) break;  // already absent
            if (error) return error;
            if (row.depth == 0) return ERROR_ACCESS_DENIED;  // a predefined root stays
            if ((error = store.DeleteTree(row.id))) return error;
            break;
        }
        case Operation::kSetValue:
        case Operation::kDeleteValue: {
            if (!registry::ValueNameFits(op.name)) return ERROR_INVALID_PARAMETER;
            if (current.readOnly) return ERROR_ACCESS_DENIED;
            if (LONG error = store.Touch(current.id)) return error;
            const registry::FoldedName name(op.name);
            LONG error = op.kind == Operation::kSetValue
                             ? store.SetValue(current.id, name.Get(), op.type, op.data.data(), op.data.size())
                             : store.DeleteValue(current.id, name.Fold());
            if (error && error != ERROR_FILE_NOT_FOUND) return error;
            break;
        }
        }
    }
    return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

LSTATUS WINAPI NavoRegImportFileA(LPCSTR path, LPSTR message, DWORD messageSize) {
    CopyMessage(message, messageSize, "");
    if (!path) return ERROR_INVALID_PARAMETER;
    std::string bytes, why;
    LONG error = ERROR_SUCCESS;
    if (!ReadWholeFile(path, bytes, error, why)) {
        CopyMessage(message, messageSize, why);
        return error;
    }
    std::vector<Operation> ops;
    if (!ParseRegFile(bytes, ops, why)) {
        CopyMessage(message, messageSize, why);
        return ERROR_INVALID_DATA;
    }
    registry::Store* store = registry::CurrentStore(error);
    if (!store) return error;
    if (!store->Writable()) return ERROR_ACCESS_DENIED;
    if ((error = store->Begin(registry::Transaction::kWrite))) return error;
    if ((error = Apply(*store, ops))) {
        store->Rollback();
        return error;
    }
    return store->Commit();
}

LSTATUS WINAPI NavoRegExportFileA(HKEY hKey, LPCSTR subKey, LPCSTR path, DWORD format) {
    if (!path || (format != NAVO_REG_FORMAT_REGEDIT4 && format != NAVO_REG_FORMAT_REGEDIT5))
        return ERROR_INVALID_PARAMETER;
    registry::Store* store = nullptr;
    registry::BaseKey base;
    if (LONG error = registry::ResolveHandle(hKey, store, base)) return error;
    if (!base.predefined) return ERROR_INVALID_PARAMETER;
    std::string_view sub = subKey ? std::string_view(subKey) : std::string_view();
    while (!sub.empty() && sub.back() == '\\') sub.remove_suffix(1);
    registry::KeyPath subPath;
    if (LONG error = subPath.Parse(sub)) return error;
    std::vector<ExportKey> keys;
    {
        if (LONG error = store->Begin(registry::Transaction::kRead)) return error;
        struct Pending {
            registry::KeyId id;
            std::string path;
        };
        registry::KeyRow row;
        LONG error = registry::WalkPath(*store, base, subPath, row);
        std::vector<Pending> stack;
        if (!error) {
            std::string top = registry::RootName(base.id);
            if (!sub.empty()) top += "\\" + std::string(sub);
            stack.push_back({row.id, top});
        }
        // Depth first, sub-keys in their sorted order: each key before the keys below it.
        while (!error && !stack.empty()) {
            Pending key = std::move(stack.back());
            stack.pop_back();
            ExportKey out;
            out.path = key.path;
            for (DWORD i = 0;; ++i) {
                ExportValue value;
                error = store->ValueAt(key.id, i, value.name, value.type, value.data);
                if (error) break;
                out.values.push_back(std::move(value));
            }
            if (error != ERROR_NO_MORE_ITEMS) break;
            std::vector<Pending> children;
            for (DWORD i = 0;; ++i) {
                std::string name, keyClass, fold;
                int64_t written;
                error = store->SubKeyAt(key.id, i, name, keyClass, written);
                if (error) break;
                registry::KeyRow child;
                registry::FoldName(name, fold);
                if ((error = store->LookupChild(key.id, fold, child))) break;
                children.push_back({child.id, key.path + "\\" + name});
            }
            if (error != ERROR_NO_MORE_ITEMS) break;
            error = ERROR_SUCCESS;
            for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(std::move(*it));
            keys.push_back(std::move(out));
        }
        store->EndRead();
        if (error) return error;
    }
    std::string bytes, why;
    // A key the file could not hold as it is (a name with a line break would even read
    // back as keys and values of the name's making) fails the whole export: nothing is
    // written that would import differently from the registry.
    if (DWORD error = FormatRegFile(keys, format, bytes, why)) return LONG(error);
    FILE* f = fopen(path, "wb");
    if (!f) return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = fclose(f) == 0 && ok;
    return ok ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

}  // extern "C"
