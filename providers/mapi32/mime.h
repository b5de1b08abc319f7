// Composing Internet messages: RFC 5322 headers, RFC 2047 encoded words, MIME multipart
// with base64 parts.
#pragma once

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

struct Attachment {
    std::string name;   // as the recipient sees it
    std::string bytes;
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

// The message as bytes, lines ending in CR LF. Header texts are folded, non-ASCII and
// control characters go into encoded words; a CR or LF in a header text can never start
// a header of its own. The body is 7bit when it is plain ASCII with short lines, base64
// otherwise; attachments are base64 parts named by filename (RFC 2231 for non-ASCII).
std::string Compose(const Message& message, std::string_view boundary);

std::string Base64(std::string_view bytes, size_t lineLength = 76);

// An unstructured header text as RFC 2047 encoded words where it needs them.
std::string EncodeHeaderText(std::string_view text);

}  // namespace navo::mail
