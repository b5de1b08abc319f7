// Registry names as the store compares them: each name's case-insensitive form (its
// "fold"), and paths of key names parsed and folded once per call.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace navo::win32::registry {

// The case-insensitive form of a name: each character of the UTF-8 text in simple upper
// case, as the platform compares names; bytes that are not UTF-8 stay as they are.
void FoldName(std::string_view name, std::string& folded);

// A name's length as the platform counts it: UTF-16 code units (bytes that are not UTF-8
// count one each).
size_t NameCharacters(std::string_view name);

// A name with its folded form, as the store writes and finds names.
struct Name {
    std::string_view text;
    std::string_view fold;
};

// A value name folded once.
class FoldedName {
public:
    explicit FoldedName(std::string_view text) : text_(text) { FoldName(text, fold_); }
    Name Get() const { return {text_, fold_}; }
    std::string_view Fold() const { return fold_; }

private:
    std::string_view text_;
    std::string fold_;
};

// A key path split into its names and folded, once. The text it was parsed from must
// outlive it.
class KeyPath {
public:
    // Trailing backslashes are allowed, as on the platform; a leading backslash or an
    // empty name inside the path is ERROR_BAD_PATHNAME, a name longer than the platform's
    // limit ERROR_INVALID_PARAMETER.
    [[nodiscard]] LONG Parse(std::string_view path);

    // No names: the key the path starts from.
    bool Empty() const { return names_.empty(); }
    size_t Size() const { return names_.size(); }
    Name operator[](size_t i) const;
    // The path without its trailing backslashes.
    std::string_view Text() const { return text_; }
    // The folded path: the folded names joined by backslashes.
    std::string_view Fold() const { return fold_; }

private:
    struct Span {
        size_t at, size;          // in text_
        size_t foldAt, foldSize;  // in fold_
    };
    std::string_view text_;
    std::string fold_;
    std::vector<Span> names_;
};

}  // namespace navo::win32::registry
