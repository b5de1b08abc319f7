// Composing Internet messages: RFC 5322 headers, RFC 2047 encoded words, MIME multipart
// with base64 parts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace navo::mail {

struct Address {
    std::string name;     // display name, may be empty
    std::string address;  // local@domain
};

// Parses "user@example.org", "Name <user@example.org>", "\"Last, First\" <u@x>" and the
// same with an "SMTP:" prefix on the address. False for anything else, and for addresses
// with blanks, control characters, quotes or angle brackets in them.
bool ParseAddress(std::string_view text, Address& out);

// The largest attachment a message takes: 64 MiB, about 86 MiB once base64-encoded. Mail
// systems commonly refuse messages far smaller than that.
inline constexpr uint64_t kMaxAttachmentBytes = uint64_t(64) << 20;

// "The attachment '<path>' is larger than the limit of 64 MiB (67108864 bytes)."
std::string AttachmentTooLargeText(std::string_view path);

struct Attachment {
    std::string name;  // as the recipient sees it
    std::string path;  // as the caller named it, for error texts
    int fd = -1;       // an open regular file, read from its current offset to its end
};

// Where a composed message goes, piece by piece.
class Sink {
public:
    virtual ~Sink() = default;
    // False when the bytes could not be stored; Failure() then says why.
    [[nodiscard]] virtual bool Write(std::string_view bytes) = 0;
    const std::string& Failure() const { return failure_; }

protected:
    std::string failure_;
};

struct Message {
    Address from;
    std::vector<Address> to, cc, bcc;
    std::string subject;
    std::string body;
    std::vector<Attachment> attachments;
    std::string date;       // RFC 5322 date-time
    std::string messageId;  // without the angle brackets
};

// Writes the message to `out`, lines ending in CR LF. Header texts are folded, non-ASCII
// and control characters go into encoded words; a CR or LF in a header text can never
// start a header of its own. The body is 7bit when it is plain ASCII with short lines,
// base64 otherwise; attachments are base64 parts named by filename (RFC 2231 for
// non-ASCII). The body and the attachments are encoded in pieces as they are written, so
// memory stays bounded whatever their size. False, with the reason in `error`, when the
// sink fails, an attachment cannot be read or grows past kMaxAttachmentBytes.
[[nodiscard]] bool Compose(const Message& message, std::string_view boundary, Sink& out, std::string& error);

std::string Base64(std::string_view bytes, size_t lineLength = 76);

// An unstructured header text as RFC 2047 encoded words where it needs them.
std::string EncodeHeaderText(std::string_view text);

// `text` with every byte but ASCII letters, digits and those in `unreserved` written as
// %XX (upper-case hexadecimal), as URIs (RFC 3986) and RFC 2231 parameters want.
std::string PercentEncode(std::string_view text, std::string_view unreserved);

}  // namespace navo::mail
