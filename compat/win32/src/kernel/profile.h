// Initialization files (INI): a bounded reader and a writer that keeps every line it does
// not change.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace navo::win32 {

// The largest file read; larger ones are refused as a whole.
inline constexpr size_t kMaxProfileBytes = 16u << 20;

// The lines of an INI file, decoded to UTF-8 for reading. Sections are "[name]" lines; entries are
// "key=value" lines (blanks around either side are not part of it); lines starting with
// ';' and blank lines belong to no entry. Names compare case-insensitively (ASCII).
class Profile {
public:
    // Decodes the bytes: UTF-8 with or without a byte-order mark, or UTF-16LE with one.
    static Profile Parse(std::string_view bytes);

    // Section names, and the keys of a section, in file order, first spelling of each.
    std::vector<std::string> Sections() const;
    std::vector<std::string> Keys(std::string_view section) const;
    // The value of the first matching key of the first matching section, trimmed, with one
    // pair of enclosing quotes (" or ') removed.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;

    // Sets a key's value (adding the section and key when missing), deletes a key
    // (value null) or a whole section (key null).
    void Set(std::string_view section, const std::string* key, const std::string* value);

    // The file's bytes, in the encoding it was read in: the lines not changed as they were
    // read, byte for byte; the lines written end in CR LF.
    std::string Serialize() const;

private:
    struct Line {
        std::string text;  // decoded, without its line end, up to a NUL
        std::string raw;   // the bytes read, line end included; empty for a line written
    };
    void AddReadLine(std::string_view raw);
    // Calls visit(key, value) for each entry of each section named `section`, in file
    // order, until it returns true.
    template <typename Visit>
    void ForEachEntry(std::string_view section, Visit visit) const;

    std::vector<Line> lines_;
    std::string prefix_;  // the byte-order mark as read
    bool utf16_ = false;
};

// Where a profile file name leads: a name with a folder part ('/' or '\\') as given; a
// bare name ("WIN.INI") in the Windows directory of the emulated system, matched
// case-insensitively. Empty when there is no state directory.
std::string ProfilePath(const char* fileName);

// The Windows directory of the emulated system: <state directory>/windows.
std::string WindowsDirectory();

}  // namespace navo::win32
