// Message composition for the mail provider.

#include "mime.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace navo::mail {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Input pieces of whole base64 lines (57 bytes make a line of 76 characters).
constexpr size_t kPieceBytes = size_t(57) * 1024;

bool IsAsciiPrintable(unsigned char c) { return c >= 0x20 && c < 0x7F; }

bool NeedsEncoding(std::string_view text) {
    for (unsigned char c : text)
        if (!IsAsciiPrintable(c)) return true;
    // "=?" would read as the start of an encoded word.
    return text.find("=?") != std::string_view::npos;
}

// The byte length of the UTF-8 sequence that starts with `lead`; 1 for a stray byte.
size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

bool IsAtext(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-/=?^_`{|}~.").find(c) != std::string_view::npos;
}

bool ValidAddress(std::string_view a) {
    size_t at = a.rfind('@');
    if (at == std::string_view::npos || at == 0 || at + 1 == a.size() || a.size() > 254) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (i == at) continue;
        if (!IsAtext(a[i])) return false;
    }
    std::string_view domain = a.substr(at + 1);
    return domain.front() != '.' && domain.back() != '.' && domain.find("..") == std::string_view::npos;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string_view StripSmtp(std::string_view s) {
    if (s.size() > 5 && (s.substr(0, 5) == "SMTP:" || s.substr(0, 5) == "smtp:")) s.remove_prefix(5);
    return s;
}

// A display name as a phrase: atoms as they are, anything else quoted or encoded.
std::string Phrase(std::string_view name) {
    if (name.empty()) return {};
    if (NeedsEncoding(name)) return EncodeHeaderText(name);
    bool plain = true;
    for (char c : name) plain = plain && (IsAtext(c) || c == ' ') && c != '.';
    if (plain) return std::string(name);
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string Mailbox(const Address& a) {
    if (a.name.empty()) return a.address;
    return Phrase(a.name) + " <" + a.address + ">";
}

std::string AddressList(const std::vector<Address>& list) {
    std::string out;
    for (const Address& a : list) {
        if (!out.empty()) out += ",\r\n ";
        out += Mailbox(a);
    }
    return out;
}

// Folds a header at blanks so that lines stay within 78 characters where they can.
std::string Header(std::string_view name, std::string_view value) {
    std::string line = std::string(name) + ": ";
    std::string out;
    size_t column = line.size();
    out = line;
    size_t start = 0;
    while (start <= value.size()) {
        size_t space = value.find(' ', start);
        std::string_view word = value.substr(start, space == std::string_view::npos ? std::string_view::npos : space - start);
        if (column + word.size() > 78 && column > name.size() + 2) {
            out += "\r\n ";
            column = 1;
        } else if (start > 0) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        // A folded address list carries its own line breaks.
        size_t lastBreak = std::string_view(word).rfind('\n');
        if (lastBreak != std::string_view::npos) column = word.size() - lastBreak;
        if (space == std::string_view::npos) break;
        start = space + 1;
    }
    return out + "\r\n";
}

std::string QuotedParameter(std::string_view value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// RFC 2231: charset''percent-encoded.
std::string ExtendedParameter(std::string_view value) { return "UTF-8''" + PercentEncode(value, "!#$&+-.^_`|~"); }

bool BodyIs7bit(std::string_view body) {
    size_t lineLength = 0;
    for (unsigned char c : body) {
        if (c == '\n') {
            lineLength = 0;
            continue;
        }
        if (c != '\r' && c != '\t' && !IsAsciiPrintable(c)) return false;
        if (++lineLength > 900) return false;
    }
    return true;
}

// Brings line ends to CR LF whatever they were, fed in pieces: a CR that ends one piece
// and an LF that starts the next are one line end.
class CanonicalLines {
public:
    std::string Add(std::string_view text) {
        std::string out;
        out.reserve(text.size() + text.size() / 32 + 2);
        for (char c : text) {
            if (afterCr_ && c == '\n') {
                afterCr_ = false;
                continue;
            }
            afterCr_ = c == '\r';
            if (c == '\r' || c == '\n') out += "\r\n";
            else out += c;
        }
        return out;
    }

private:
    bool afterCr_ = false;
};

// Base64 in lines of 76 characters, fed in pieces of any size and written as it goes.
class Base64Stream {
public:
    explicit Base64Stream(Sink& out) : out_(out) {}

    [[nodiscard]] bool Add(std::string_view bytes) {
        // Room for every group of this piece and a line end after each 19 of them. The
        // buffer is kept from piece to piece: one allocation for the whole stream.
        size_t room = (bytes.size() / 3 + 2) * 4 + (bytes.size() / 57 + 2) * 2;
        if (text_.size() < room) text_.resize(room);
        char* start = text_.data();
        char* end = start;
        while (pending_ > 0 && pending_ < 3 && !bytes.empty()) {
            group_[pending_++] = bytes.front();
            bytes.remove_prefix(1);
        }
        if (pending_ == 3) {
            end = Group(group_, 3, end);
            pending_ = 0;
        }
        size_t whole = bytes.size() / 3 * 3;
        for (size_t i = 0; i < whole; i += 3) end = Group(bytes.data() + i, 3, end);
        for (size_t i = whole; i < bytes.size(); ++i) group_[pending_++] = bytes[i];
        return end == start || out_.Write(std::string_view(start, size_t(end - start)));
    }

    // Pads the last group and ends the last line.
    [[nodiscard]] bool Finish() {
        char text[8];
        char* end = pending_ ? Group(group_, pending_, text) : text;
        pending_ = 0;
        if (column_) {
            *end++ = '\r';
            *end++ = '\n';
        }
        column_ = 0;
        return end == text || out_.Write(std::string_view(text, size_t(end - text)));
    }

private:
    char* Group(const char* p, size_t n, char* out) {
        uint32_t v = uint32_t(uint8_t(p[0])) << 16;
        if (n > 1) v |= uint32_t(uint8_t(p[1])) << 8;
        if (n > 2) v |= uint8_t(p[2]);
        *out++ = kAlphabet[(v >> 18) & 63];
        *out++ = kAlphabet[(v >> 12) & 63];
        *out++ = n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
        *out++ = n > 2 ? kAlphabet[v & 63] : '=';
        column_ += 4;
        if (column_ >= 76) {
            *out++ = '\r';
            *out++ = '\n';
            column_ = 0;
        }
        return out;
    }

    Sink& out_;
    std::string text_;
    char group_[3] = {};
    size_t pending_ = 0;
    size_t column_ = 0;
};

bool WriteTextPart(std::string_view body, Sink& out) {
    const bool plain = BodyIs7bit(body);
    std::string head = "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: ";
    head += plain ? "7bit\r\n\r\n" : "base64\r\n\r\n";
    if (!out.Write(head)) return false;
    CanonicalLines lines;
    Base64Stream base64(out);
    bool endsWithLineEnd = false;
    for (size_t i = 0; i < body.size(); i += kPieceBytes) {
        std::string piece = lines.Add(body.substr(i, kPieceBytes));
        if (piece.empty()) continue;
        endsWithLineEnd = piece.size() >= 2 && piece.compare(piece.size() - 2, 2, "\r\n") == 0;
        if (!(plain ? out.Write(piece) : base64.Add(piece))) return false;
    }
    if (plain) return endsWithLineEnd || out.Write("\r\n");
    return base64.Finish();
}

// One attachment's part: its headers, then its bytes read and encoded a piece at a time.
bool WriteAttachment(const Attachment& a, std::string_view boundary, Sink& out, std::vector<char>& buffer,
                     std::string& error) {
    std::string name;
    for (char c : a.name) name += (c == '\r' || c == '\n') ? ' ' : c;
    bool ascii = !NeedsEncoding(name);
    std::string head = "\r\n--" + std::string(boundary) + "\r\n";
    head += "Content-Type: application/octet-stream";
    head += ascii ? "; name=" + QuotedParameter(name) : "; name=\"" + EncodeHeaderText(name) + "\"";
    head += "\r\nContent-Transfer-Encoding: base64\r\n";
    head += "Content-Disposition: attachment; ";
    head += ascii ? "filename=" + QuotedParameter(name) : "filename*=" + ExtendedParameter(name);
    head += "\r\n\r\n";
    if (!out.Write(head)) {
        error = out.Failure();
        return false;
    }
    Base64Stream base64(out);
    uint64_t total = 0;
    while (true) {
        ssize_t n = read(a.fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "The attachment '" + a.path + "' cannot be read: " + std::strerror(errno) + ".";
            return false;
        }
        if (n == 0) break;
        total += uint64_t(n);
        // The size was checked when the file was opened; this catches a file that grows.
        if (total > kMaxAttachmentBytes) {
            error = AttachmentTooLargeText(a.path);
            return false;
        }
        if (!base64.Add(std::string_view(buffer.data(), size_t(n)))) {
            error = out.Failure();
            return false;
        }
    }
    if (!base64.Finish()) {
        error = out.Failure();
        return false;
    }
    return true;
}

}  // namespace

bool ParseAddress(std::string_view text, Address& out) {
    text = TrimBlanks(text);
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F) return false;
    Address result;
    size_t open = text.rfind('<');
    if (open != std::string_view::npos) {
        if (text.back() != '>') return false;
        std::string_view address = StripSmtp(TrimBlanks(text.substr(open + 1, text.size() - open - 2)));
        std::string_view name = TrimBlanks(text.substr(0, open));
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
        if (!ValidAddress(address)) return false;
        result.address = std::string(address);
        for (size_t i = 0; i < name.size(); ++i) {
            if (name[i] == '\\' && i + 1 < name.size()) ++i;
            result.name += name[i];
        }
    } else {
        std::string_view address = StripSmtp(text);
        if (!ValidAddress(address)) return false;
        result.address = std::string(address);
    }
    out = std::move(result);
    return true;
}

std::string AttachmentTooLargeText(std::string_view path) {
    return "The attachment '" + std::string(path) + "' is larger than the limit of " +
           std::to_string(kMaxAttachmentBytes >> 20) + " MiB (" + std::to_string(kMaxAttachmentBytes) + " bytes).";
}

std::string Base64(std::string_view bytes, size_t lineLength) {
    std::string out;
    out.reserve(bytes.size() / 3 * 4 + bytes.size() / 57 * 2 + 8);
    size_t column = 0;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t n = uint32_t(uint8_t(bytes[i])) << 16;
        if (i + 1 < bytes.size()) n |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) n |= uint8_t(bytes[i + 2]);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[n & 63] : '=';
        column += 4;
        if (lineLength && column >= lineLength) {
            out += "\r\n";
            column = 0;
        }
    }
    if (lineLength && column) out += "\r\n";
    return out;
}

std::string EncodeHeaderText(std::string_view text) {
    // Line breaks inside a header text become blanks: they must not end the header.
    std::string flat;
    for (char c : text) flat += (c == '\r' || c == '\n') ? ' ' : c;
    if (!NeedsEncoding(flat)) return flat;
    // Encoded words of at most 75 characters: 12 of framing leave 63 of base64, 45 bytes.
    std::string out;
    size_t i = 0;
    while (i < flat.size()) {
        size_t take = 0;
        while (i + take < flat.size()) {
            size_t n = SequenceLength(uint8_t(flat[i + take]));
            if (take + n > 45) break;
            take += n;
        }
        if (take == 0) take = 1;
        if (!out.empty()) out += ' ';
        out += "=?UTF-8?B?" + Base64(std::string_view(flat).substr(i, take), 0) + "?=";
        i += take;
    }
    return out;
}

bool Compose(const Message& m, std::string_view boundary, Sink& out, std::string& error) {
    std::string head;
    head += Header("Date", m.date);
    head += Header("From", Mailbox(m.from));
    if (!m.to.empty()) head += "To: " + AddressList(m.to) + "\r\n";
    if (!m.cc.empty()) head += "Cc: " + AddressList(m.cc) + "\r\n";
    // A draft for review keeps its blind copies; the client removes them when it sends.
    if (!m.bcc.empty()) head += "Bcc: " + AddressList(m.bcc) + "\r\n";
    head += Header("Subject", EncodeHeaderText(m.subject));
    head += "Message-ID: <" + m.messageId + ">\r\n";
    head += "X-Unsent: 1\r\n";
    head += "MIME-Version: 1.0\r\n";
    if (!m.attachments.empty()) {
        head += "Content-Type: multipart/mixed; boundary=\"" + std::string(boundary) + "\"\r\n\r\n";
        head += "This is a message in MIME format.\r\n";
        head += "\r\n--" + std::string(boundary) + "\r\n";
    }
    if (!out.Write(head) || !WriteTextPart(m.body, out)) {
        error = out.Failure();
        return false;
    }
    if (m.attachments.empty()) return true;
    std::vector<char> buffer(kPieceBytes);
    for (const Attachment& a : m.attachments)
        if (!WriteAttachment(a, boundary, out, buffer, error)) return false;
    if (!out.Write("\r\n--" + std::string(boundary) + "--\r\n")) {
        error = out.Failure();
        return false;
    }
    return true;
}

std::string PercentEncode(std::string_view text, std::string_view unreserved) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            unreserved.find(char(c)) != std::string_view::npos) {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace navo::mail
