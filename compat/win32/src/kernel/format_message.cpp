// FormatMessageA and NavoFormatMessageArrayA: message sources (a string, a module's
// message table, the system table) and the insert language.
//
// The behaviour follows the platform as Wine's conformance tests record it
// (dlls/kernel32/tests/format_msg.c) and as Wine's RtlFormatMessageEx and kernelbase
// FormatMessageA implement it. The ANSI code page is UTF-8 here, so the expander works on
// bytes; where the platform counts UTF-16 units (line width, string precision) this
// layer counts bytes, which is the same for ASCII text.

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "formats/byte_reader.h"
#include "formats/utf.h"
#include "kernel/format_message_parser.h"
#include "kernel/system_messages.h"

namespace navo::win32 {
namespace {

// What current systems report for an empty result.
constexpr DWORD kErrorNoWorkDone = ERROR_NO_WORK_DONE;

// The resource name under which a module keeps its message table.
constexpr WORD kMessageTableName = 1;

// Output bounded by kMaxMessageChars; every append can fail.
class BoundedText {
public:
    explicit BoundedText(std::string& text) : text_(text) {}

    [[nodiscard]] bool Append(std::string_view s) {
        if (s.size() > Room()) return false;
        text_.append(s);
        return true;
    }
    [[nodiscard]] bool Append(char c) { return Append(std::string_view(&c, 1)); }
    [[nodiscard]] bool Fill(char c, std::size_t count) {
        if (count > Room()) return false;
        text_.append(count, c);
        return true;
    }
    std::size_t Room() const { return kMaxMessageChars - text_.size(); }
    std::size_t Size() const { return text_.size(); }
    std::string& Text() { return text_; }

private:
    std::string& text_;
};

// Values for the inserts, fetched the way the platform fetches them.
class InsertValues {
public:
    explicit InsertValues(MessageArguments& arguments) : args_(arguments) {}

    bool HasArguments() const { return args_.array || args_.list; }

    // The values that insert `insert` with `stars` '*' fields hands to its conversion, in
    // the order the conversion consumes them (width, precision, value). False when a value
    // lies outside the arguments.
    [[nodiscard]] bool Fetch(int insert, int stars, ULONG_PTR* values) {
        int count = 0;
        if (args_.list) {
            // A va_list is read once, in order; the values are kept for later inserts.
            // Stars take the arguments after the insert's own. The platform then steps
            // back one place before reading the value, so the value lands on the slot of
            // the following insert number: Wine replicates this, and so does this layer.
            ULONG_PTR ignored = 0;
            if (insert > 1 && !FromList(insert - 1, &ignored)) return false;
            int nr = insert;
            for (int i = 0; i < stars; ++i) {
                if (!FromList(nr, &values[count++])) return false;
                nr = kNext;
            }
            if (stars > 0) --last_;
            return FromList(nr, &values[count]);
        }
        // An argument array: the insert number names the first value the conversion
        // consumes, and each star reads on from the furthest argument used so far (the
        // platform documents %1!*.*s! as width %1, precision %2, string %3).
        const std::size_t first = static_cast<std::size_t>(insert) - 1;
        if (first >= args_.arrayCount) return false;
        values[count++] = args_.array[first];
        if (last_ < insert) last_ = insert;
        for (int i = 0; i < stars; ++i) {
            if (static_cast<std::size_t>(last_) >= args_.arrayCount) return false;
            values[count++] = args_.array[last_++];
        }
        return true;
    }

private:
    static constexpr int kNext = -1;
    // 99 inserts and their stars; a message that walks further is refused.
    static constexpr int kCacheSize = 128;

    bool FromList(int nr, ULONG_PTR* value) {
        if (nr == kNext) nr = last_ + 1;
        if (nr < 1 || nr > kCacheSize) return false;
        // The caller started the list; FromList runs only when it gave one (args_.list).
        while (nr > last_) cache_[last_++] = va_arg(*args_.list, ULONG_PTR);  // NOLINT(clang-analyzer-valist.Uninitialized)
        *value = cache_[nr - 1];
        return true;
    }

    MessageArguments& args_;
    ULONG_PTR cache_[kCacheSize] = {};
    int last_ = 0;
};

// A parsed !printf-format!.
struct Conversion {
    bool leftAlign = false;
    bool plus = false;
    bool blank = false;
    bool alternate = false;
    bool zeroPad = false;
    bool widthStar = false;
    bool precisionStar = false;
    long width = -1;      // -1: none
    long precision = -1;  // -1: none
    enum class Size { Default, Char, Short, Long, LongLong, Int32, Int64, Ptr, Wide } size =
        Size::Default;
    char type = 's';
    std::string_view tail;  // literal text after the conversion, as printf prints it
};

constexpr std::size_t kMaxDirectiveLength = 30;  // the platform's limit for the text between the '!'

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads digits, saturating far above kMaxMessageChars so that no overflow can happen.
long ReadNumber(std::string_view directive, std::size_t& pos) {
    long value = 0;
    while (pos < directive.size() && IsDigit(directive[pos])) {
        if (value <= static_cast<long>(kMaxMessageChars) * 10) value = value * 10 + (directive[pos] - '0');
        ++pos;
    }
    return value;
}

// Flags, width and precision in printf's order, a size prefix and the conversion. The
// platform hands the text to its printf; orders printf would not parse are refused here.
bool ParseConversion(std::string_view directive, Conversion& conv) {
    std::size_t pos = 0;
    for (; pos < directive.size(); ++pos) {
        const char c = directive[pos];
        if (c == '-') conv.leftAlign = true;
        else if (c == '+') conv.plus = true;
        else if (c == ' ') conv.blank = true;
        else if (c == '#') conv.alternate = true;
        else if (c == '0') conv.zeroPad = true;
        else break;
    }
    if (pos < directive.size() && directive[pos] == '*') {
        conv.widthStar = true;
        ++pos;
    } else if (pos < directive.size() && IsDigit(directive[pos])) {
        conv.width = ReadNumber(directive, pos);
    }
    if (pos < directive.size() && directive[pos] == '.') {
        ++pos;
        if (pos < directive.size() && directive[pos] == '*') {
            conv.precisionStar = true;
            ++pos;
        } else {
            conv.precision = ReadNumber(directive, pos);
        }
    }
    auto startsWith = [&](std::string_view prefix) {
        return directive.substr(pos, prefix.size()) == prefix;
    };
    using Size = Conversion::Size;
    if (startsWith("I64")) { conv.size = Size::Int64; pos += 3; }
    else if (startsWith("I32")) { conv.size = Size::Int32; pos += 3; }
    // "I" must be tried after "I64" and "I32", so it cannot join the z/j/t branch below.
    else if (startsWith("I")) { conv.size = Size::Ptr; pos += 1; }  // NOLINT(bugprone-branch-clone)
    else if (startsWith("hh")) { conv.size = Size::Char; pos += 2; }
    else if (startsWith("h")) { conv.size = Size::Short; pos += 1; }
    else if (startsWith("ll")) { conv.size = Size::LongLong; pos += 2; }
    else if (startsWith("l")) { conv.size = Size::Long; pos += 1; }
    else if (startsWith("w")) { conv.size = Size::Wide; pos += 1; }
    else if (startsWith("z") || startsWith("j") || startsWith("t")) { conv.size = Size::Ptr; pos += 1; }
    if (pos >= directive.size()) return false;
    conv.type = directive[pos++];
    conv.tail = directive.substr(pos);
    // The tail goes out as literal text; a '%' in it would be a second conversion with
    // no argument behind it.
    if (conv.tail.find('%') != std::string_view::npos) return false;

    switch (conv.type) {
    case 'd': case 'i': case 'u': case 'x': case 'X': case 'o':
        return conv.size != Size::Wide;
    case 'c': case 'C': case 's': case 'S':
        return conv.size == Size::Default || conv.size == Size::Short ||
               conv.size == Size::Long || conv.size == Size::Wide;
    case 'p':
        return conv.size == Size::Default;
    default:
        // Floating point needs a double the argument list cannot carry; %n would write
        // through an argument. Both, and anything unknown, are refused.
        return false;
    }
}

// Reads at most `limit` units of a UTF-16 string and appends them as UTF-8; the reads stop
// at the terminator, so a string is never read past its end or past what the output can
// hold. Lone surrogates become U+FFFD, as the platform's conversion to UTF-8 does.
void ConvertWide(const WCHAR* s, std::size_t limit, std::string& out) {
    std::size_t n = 0;
    while (n < limit && s[n] != 0) ++n;
    out += utf::ToUtf8(std::u16string_view(s, n), utf::kReplace);
}

// Pads `body` to the width, as printf does for strings, characters and pointers.
bool AppendPadded(BoundedText& out, std::string_view body, const Conversion& conv, long width) {
    const std::size_t pad =
        width > 0 && static_cast<std::size_t>(width) > body.size() ? width - body.size() : 0;
    if (conv.leftAlign) return out.Append(body) && out.Fill(' ', pad);
    return out.Fill(conv.zeroPad ? '0' : ' ', pad) && out.Append(body);
}

bool IsWideText(const Conversion& conv) {
    using Size = Conversion::Size;
    const bool upper = conv.type == 'S' || conv.type == 'C';
    if (conv.size == Size::Short) return false;
    if (conv.size == Size::Long || conv.size == Size::Wide) return true;
    return upper;  // in an ANSI caller %S and %C take wide text
}

// Formats one value; returns ERROR_SUCCESS or the error for the whole message.
DWORD AppendConversion(BoundedText& out, const Conversion& conv, const ULONG_PTR* values) {
    int next = 0;
    long width = conv.width;
    long precision = conv.precision;
    bool leftAlign = conv.leftAlign;
    if (conv.widthStar) {
        // printf reads an int; a negative width asks for left alignment.
        const long star = static_cast<int32_t>(values[next++]);
        if (star < 0) leftAlign = true;
        width = star < 0 ? -star : star;
    }
    if (conv.precisionStar) {
        const long star = static_cast<int32_t>(values[next++]);
        precision = star < 0 ? -1 : star;
    }
    const ULONG_PTR value = values[next];
    if (width > static_cast<long>(out.Room()) || precision > static_cast<long>(out.Room())) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    Conversion effective = conv;
    effective.leftAlign = leftAlign;

    std::string body;
    switch (conv.type) {
    case 's': case 'S': {
        // At most what the output can still take is read, plus one to see that it is
        // too long.
        const std::size_t limit =
            std::min<std::size_t>(precision >= 0 ? precision : SIZE_MAX, out.Room() + 1);
        if (value == 0) {
            body = std::string_view("(null)").substr(0, limit);
        } else if (IsWideText(conv)) {
            ConvertWide(reinterpret_cast<const WCHAR*>(value), limit, body);
        } else {
            const char* s = reinterpret_cast<const char*>(value);
            body.assign(s, strnlen(s, limit));
        }
        if (!AppendPadded(out, body, effective, width)) return ERROR_INSUFFICIENT_BUFFER;
        break;
    }
    case 'c': case 'C':
        if (IsWideText(conv)) utf::AppendUtf8(body, static_cast<char16_t>(value), utf::kReplace);
        else body.assign(1, static_cast<char>(value & 0xFF));
        if (!AppendPadded(out, body, effective, width)) return ERROR_INSUFFICIENT_BUFFER;
        break;
    case 'p': {
        char digits[2 * sizeof(ULONG_PTR) + 1];
        std::snprintf(digits, sizeof digits, "%0*llX", static_cast<int>(2 * sizeof(ULONG_PTR)),
                      static_cast<unsigned long long>(value));
        if (!AppendPadded(out, digits, effective, width)) return ERROR_INSUFFICIENT_BUFFER;
        break;
    }
    default: {
        // Integers take the platform's widths: no prefix, l and I32 are 32 bits; ll, I64
        // and I are 64 bits; h is 16 and hh 8.
        using Size = Conversion::Size;
        const bool isSigned = conv.type == 'd' || conv.type == 'i';
        long long signedValue = 0;
        unsigned long long unsignedValue = 0;
        switch (conv.size) {
        case Size::Char:
            signedValue = static_cast<int8_t>(value);  // NOLINT(bugprone-signed-char-misuse): %hhd sign-extends its byte
            unsignedValue = static_cast<uint8_t>(value);
            break;
        case Size::Short:
            signedValue = static_cast<int16_t>(value);
            unsignedValue = static_cast<uint16_t>(value);
            break;
        case Size::LongLong: case Size::Int64: case Size::Ptr:
            signedValue = static_cast<int64_t>(value);
            unsignedValue = static_cast<uint64_t>(value);
            break;
        default:
            signedValue = static_cast<int32_t>(value);
            unsignedValue = static_cast<uint32_t>(value);
            break;
        }
        char fmt[16];
        std::size_t f = 0;
        fmt[f++] = '%';
        if (leftAlign) fmt[f++] = '-';
        if (conv.plus) fmt[f++] = '+';
        if (conv.blank) fmt[f++] = ' ';
        if (conv.alternate) fmt[f++] = '#';
        if (conv.zeroPad) fmt[f++] = '0';
        fmt[f++] = '*';
        fmt[f++] = '.';
        fmt[f++] = '*';
        fmt[f++] = 'l';
        fmt[f++] = 'l';
        fmt[f++] = conv.type == 'i' ? 'd' : conv.type;
        fmt[f] = '\0';
        const int w = width < 0 ? 0 : static_cast<int>(width);
        const int p = static_cast<int>(precision);
        // Width and precision are bounded above, so the text is at most a few dozen
        // characters longer than kMaxMessageChars.
        const int needed = isSigned ? std::snprintf(nullptr, 0, fmt, w, p, signedValue)
                                    : std::snprintf(nullptr, 0, fmt, w, p, unsignedValue);
        if (needed < 0) return ERROR_INVALID_PARAMETER;
        if (static_cast<std::size_t>(needed) > out.Room()) return ERROR_INSUFFICIENT_BUFFER;
        body.resize(static_cast<std::size_t>(needed) + 1);
        if (isSigned) std::snprintf(body.data(), body.size(), fmt, w, p, signedValue);
        else std::snprintf(body.data(), body.size(), fmt, w, p, unsignedValue);
        body.resize(static_cast<std::size_t>(needed));
        if (!out.Append(body)) return ERROR_INSUFFICIENT_BUFFER;
        break;
    }
    }
    if (!out.Append(conv.tail)) return ERROR_INSUFFICIENT_BUFFER;
    return ERROR_SUCCESS;
}

// One insert: `pos` is just past its number; on success it is past the insert.
DWORD AppendInsert(BoundedText& out, std::string_view format, std::size_t& pos, int insert,
                   InsertValues& values) {
    Conversion conv;
    if (pos < format.size() && format[pos] == '!') {
        const std::size_t close = format.find('!', pos + 1);
        if (close == std::string_view::npos || close - (pos + 1) > kMaxDirectiveLength) {
            return ERROR_INVALID_PARAMETER;
        }
        if (!ParseConversion(format.substr(pos + 1, close - (pos + 1)), conv)) {
            return ERROR_INVALID_PARAMETER;
        }
        pos = close + 1;
    }
    // Without a format the insert is a string, inserted as it is: its own '%' are text.
    ULONG_PTR fetched[3] = {};
    const int stars = (conv.widthStar ? 1 : 0) + (conv.precisionStar ? 1 : 0);
    if (!values.Fetch(insert, stars, fetched)) return ERROR_INVALID_PARAMETER;
    return AppendConversion(out, conv, fetched);
}

}  // namespace

DWORD ExpandMessage(std::string_view format, DWORD maxWidth, Inserts inserts, MessageArguments& arguments,
                    std::string& text) {
    const bool ignoreInserts = inserts == Inserts::Ignore;
    text.clear();
    const std::size_t nul = format.find('\0');
    if (nul != std::string_view::npos) format = format.substr(0, nul);

    BoundedText out(text);
    InsertValues values(arguments);
    constexpr std::size_t kNone = std::string::npos;
    std::size_t line = 0;     // where the current output line starts
    std::size_t space = kNone;  // the last place the line may be broken

    auto newLine = [&](std::string_view breakText) {
        if (!out.Append(breakText)) return false;
        line = out.Size();
        space = kNone;
        return true;
    };

    std::size_t pos = 0;
    bool ended = false;
    while (pos < format.size() && !ended) {
        const char c = format[pos++];
        bool ok = true;
        switch (c) {
        case '\r':
        case '\n':
            if (c == '\r' && pos < format.size() && format[pos] == '\n') ++pos;
            if (maxWidth == 0) {
                ok = newLine("\r\n");
                break;
            }
            // With a line width, the message's own line breaks are blanks.
            space = out.Size();
            ok = out.Append(' ');
            break;
        case ' ':
            space = out.Size();
            ok = out.Append(' ');
            break;
        case '\t':
            // A tab right after a break point moves the break point past it.
            if (space != kNone && space + 1 == out.Size()) space = out.Size();
            ok = out.Append('\t');
            break;
        case '%': {
            if (pos >= format.size()) return ERROR_INVALID_PARAMETER;  // a lone % at the end
            const char e = format[pos++];
            switch (e) {
            case 'n':
                ok = newLine("\r\n");
                break;
            case 't':
                // The platform's wrapping code turns %t into a line break when a width
                // is set; Wine does the same.
                ok = maxWidth == 0 ? out.Append('\t') : newLine("\r\n");
                break;
            case 'r':
                ok = newLine("\r");
                break;
            case '0':
                ended = true;
                break;
            default:
                if (e >= '1' && e <= '9' && !ignoreInserts) {
                    if (!values.HasArguments()) return ERROR_INVALID_PARAMETER;
                    int insert = e - '0';
                    // Two digits at most: %100 is insert 10 followed by the text "0".
                    if (pos < format.size() && IsDigit(format[pos])) insert = insert * 10 + (format[pos++] - '0');
                    const DWORD error = AppendInsert(out, format, pos, insert, values);
                    if (error != ERROR_SUCCESS) return error;
                    break;
                }
                // Any other character stands for itself: %% %. %! "% " %b. With
                // IGNORE_INSERTS the escape stays as written, inserts included.
                if (ignoreInserts) ok = out.Append('%');
                ok = ok && out.Append(e);
                break;
            }
            break;
        }
        default:
            ok = out.Append(c);
            break;
        }
        if (!ok) return ERROR_INSUFFICIENT_BUFFER;

        // Wrap once the line reaches the width: at the last blank, dropping the blanks
        // before it, or in the middle of a word longer than the line.
        if (maxWidth != 0 && out.Size() - line >= maxWidth) {
            std::size_t breakAt = space;
            std::size_t next;
            if (breakAt != kNone) {
                next = breakAt + 1;
                while (breakAt > line && (text[breakAt - 1] == ' ' || text[breakAt - 1] == '\t')) --breakAt;
            } else {
                breakAt = next = out.Size();
            }
            const std::size_t removed = next - breakAt;
            if (removed < 2 && 2 - removed > out.Room()) return ERROR_INSUFFICIENT_BUFFER;
            text.replace(breakAt, removed, "\r\n");
            line = breakAt + 2;
            space = kNone;
        }
    }
    return ERROR_SUCCESS;
}

namespace {

// A MESSAGE_RESOURCE_DATA image:
//   MESSAGE_RESOURCE_DATA:  +0 NumberOfBlocks, +4 blocks[]
//   MESSAGE_RESOURCE_BLOCK: +0 LowId, +4 HighId, +8 OffsetToEntries (from the image start)
//   MESSAGE_RESOURCE_ENTRY: +0 Length (of the whole entry), +2 Flags (1: UTF-16), +4 Text
// Entries of a block follow each other, one per id from LowId to HighId.
constexpr std::size_t kMessageBlockSize = 12;
constexpr std::size_t kMessageEntryHeaderSize = 4;
constexpr WORD kMessageUnicode = 1;

struct MessageEntry {
    WORD flags = 0;
    ByteView text;  // the entry's bytes after its header
};

// The entry of message `id`; none when no block holds the ID, an error when the table or
// the walk to the entry leaves the image.
Expected<std::optional<MessageEntry>> FindMessageEntry(ByteView image, DWORD id) {
    ByteReader blocks(image);
    auto count = blocks.U32("message table: NumberOfBlocks");
    if (!count) return count.error();
    if (*count > blocks.remaining() / kMessageBlockSize) return blocks.Fail("message table: blocks", "past the end");
    for (DWORD b = 0; b < *count; ++b) {
        const DWORD low = CantFail(blocks.U32("message table: LowId"));
        const DWORD high = CantFail(blocks.U32("message table: HighId"));
        const DWORD entries = CantFail(blocks.U32("message table: OffsetToEntries"));
        if (id < low || id > high) continue;
        ByteReader entry(image);
        if (auto at = entry.Seek(entries, "message table: OffsetToEntries"); !at) return at.error();
        // Walk to the entry; each step is checked against the image before it is taken.
        for (DWORD skip = id - low;; --skip) {
            const std::size_t entryAt = entry.offset();
            auto length = entry.U16("message table: entry Length");
            auto flags = entry.U16("message table: entry Flags");
            if (!length || !flags) return ReadError{"message table: entry header: past the end", entryAt};
            if (*length < kMessageEntryHeaderSize) return ReadError{"message table: entry Length: too small", entryAt};
            auto text = entry.Take(*length - kMessageEntryHeaderSize, "message table: entry Text");
            if (!text) return ReadError{"message table: entry Length: past the end", entryAt};
            if (skip == 0) return std::optional<MessageEntry>(MessageEntry{*flags, *text});
        }
    }
    return std::optional<MessageEntry>();
}

// The message table of `module` (null: the executable), language search as the platform's.
[[nodiscard]] DWORD LoadModuleMessage(HMODULE module, DWORD id, LANGID language, std::string& text) {
    if (!module) module = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceExA(module, RT_MESSAGETABLE, MAKEINTRESOURCEA(kMessageTableName), language);
    if (!resource) return GetLastError();
    HGLOBAL loaded = LoadResource(module, resource);
    const DWORD size = SizeofResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return ERROR_RESOURCE_DATA_NOT_FOUND;
    return ReadMessageTable(static_cast<const unsigned char*>(data), size, id, text);
}

// The shared body of both entry points.
DWORD FormatMessageCommon(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                          LPSTR buffer, DWORD size, MessageArguments& arguments) {
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        // The platform reports a missing place for the pointer as an allocation failure.
        if (!buffer) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        *reinterpret_cast<LPSTR*>(buffer) = nullptr;
    }
    // The platform refuses sizes its work buffer could never fill.
    if (size > kMaxMessageChars) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD width = flags & FORMAT_MESSAGE_MAX_WIDTH_MASK;
    if (width == FORMAT_MESSAGE_MAX_WIDTH_MASK) width = 0xFFFFFFFFu;  // never wrap

    std::string loaded;
    std::string_view format;
    if (flags & FORMAT_MESSAGE_FROM_STRING) {
        if (!source) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        format = static_cast<const char*>(source);
    } else if (flags & (FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM)) {
        const LANGID language = LANGIDFROMLCID(languageId);
        DWORD error = ERROR_MR_MID_NOT_FOUND;
        bool found = false;
        if (flags & FORMAT_MESSAGE_FROM_HMODULE) {
            HMODULE module = static_cast<HMODULE>(const_cast<void*>(source));
            error = LoadModuleMessage(module, messageId, language, loaded);
            found = error == ERROR_SUCCESS;
        }
        if (!found && (flags & FORMAT_MESSAGE_FROM_SYSTEM)) {
            if (const char* text = FindSystemMessage(messageId, language, &error)) {
                loaded = text;
                found = true;
            }
        }
        if (!found) {
            SetLastError(error);
            return 0;
        }
        format = loaded;
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }

    std::string result;
    const Inserts inserts = (flags & FORMAT_MESSAGE_IGNORE_INSERTS) ? Inserts::Ignore : Inserts::Expand;
    const DWORD error = ExpandMessage(format, width, inserts, arguments, result);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return 0;
    }
    if (result.empty()) {
        // Nothing is stored and no buffer is allocated.
        SetLastError(kErrorNoWorkDone);
        return 0;
    }
    const std::size_t needed = result.size() + 1;
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        // nSize is the least the caller wants allocated.
        auto* block = static_cast<LPSTR>(LocalAlloc(LMEM_ZEROINIT, std::max<std::size_t>(size, needed)));
        if (!block) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        std::memcpy(block, result.c_str(), needed);
        *reinterpret_cast<LPSTR*>(buffer) = block;
        return static_cast<DWORD>(result.size());
    }
    if (needed > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (!buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::memcpy(buffer, result.c_str(), needed);
    return static_cast<DWORD>(result.size());
}

}  // namespace

// Finds message `id` in a MESSAGE_RESOURCE_DATA image and stores its text as UTF-8.
DWORD ReadMessageTable(const unsigned char* data, std::size_t size, DWORD id, std::string& text) {
    auto found = FindMessageEntry(ByteView(data, size), id);
    if (!found) return ERROR_INVALID_DATA;
    if (!*found) return ERROR_MR_MID_NOT_FOUND;
    const MessageEntry& entry = **found;
    text.clear();
    if (entry.flags & kMessageUnicode) {
        const std::u16string units = entry.text.Utf16BeforeZero();
        ConvertWide(reinterpret_cast<const WCHAR*>(units.c_str()), units.size(), text);
    } else {
        const ByteView bytes = entry.text.BeforeZero();
        text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    return ERROR_SUCCESS;
}

}  // namespace navo::win32

extern "C" {

DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                            LPSTR buffer, DWORD size, va_list* arguments) {
    navo::win32::MessageArguments args;
    if (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) {
        // The caller's array has no known length, as on the platform.
        args.array = reinterpret_cast<const DWORD_PTR*>(arguments);
        args.arrayCount = args.array ? SIZE_MAX : 0;
    } else {
        args.list = arguments;
    }
    return navo::win32::FormatMessageCommon(flags, source, messageId, languageId, buffer, size, args);
}

DWORD WINAPI NavoFormatMessageArrayA(DWORD flags, LPCVOID source, DWORD messageId,
                                     DWORD languageId, LPSTR buffer, DWORD size,
                                     const DWORD_PTR* arguments, DWORD argCount) {
    navo::win32::MessageArguments args;
    args.array = arguments;
    args.arrayCount = arguments ? argCount : 0;
    return navo::win32::FormatMessageCommon(flags | FORMAT_MESSAGE_ARGUMENT_ARRAY, source, messageId,
                                            languageId, buffer, size, args);
}

}  // extern "C"
