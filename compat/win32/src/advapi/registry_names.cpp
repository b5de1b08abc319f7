// Name folding and key paths: the names' case-insensitive forms, computed once per call.
#include "advapi/registry_names.h"

#include <unicode/utf8.h>

#include <cstdint>

#include "formats/upper_case.h"
#include "formats/utf.h"

namespace navo::win32::registry {
namespace {

void AppendFolded(std::string_view name, std::string& folded) {
    const auto* s = reinterpret_cast<const uint8_t*>(name.data());
    const int32_t length = int32_t(name.size());
    int32_t i = 0;
    while (i < length) {
        uint8_t byte = s[i];
        if (byte < 0x80) {
            folded.push_back(byte >= 'a' && byte <= 'z' ? char(byte - 'a' + 'A') : char(byte));
            ++i;
            continue;
        }
        int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0) {
            folded.append(name.substr(size_t(start), size_t(i - start)));
            continue;
        }
        // A well-formed character's upper case is one too: nothing is replaced here.
        utf::AppendUtf8(folded, SimpleUpper(char32_t(c)), utf::kReplace);
    }
}

}  // namespace

void FoldName(std::string_view name, std::string& folded) {
    folded.clear();
    folded.reserve(name.size());
    AppendFolded(name, folded);
}

size_t NameCharacters(std::string_view name) {
    const auto* s = reinterpret_cast<const uint8_t*>(name.data());
    const int32_t length = int32_t(name.size());
    size_t count = 0;
    int32_t i = 0;
    while (i < length) {
        if (s[i] < 0x80) {
            ++count;
            ++i;
            continue;
        }
        int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0) count += size_t(i - start);
        else count += c >= 0x10000 ? 2 : 1;
    }
    return count;
}

LONG KeyPath::Parse(std::string_view path) {
    names_.clear();
    fold_.clear();
    while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    text_ = path;
    if (path.empty()) return ERROR_SUCCESS;
    if (path.front() == '\\') return ERROR_BAD_PATHNAME;
    fold_.reserve(path.size());
    size_t start = 0;
    for (;;) {
        size_t end = path.find('\\', start);
        std::string_view name = path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (name.empty()) return ERROR_BAD_PATHNAME;
        if (name.size() > NAVO_REG_MAX_KEY_NAME && NameCharacters(name) > NAVO_REG_MAX_KEY_NAME)
            return ERROR_INVALID_PARAMETER;
        if (!names_.empty()) fold_.push_back('\\');
        const size_t foldAt = fold_.size();
        AppendFolded(name, fold_);
        names_.push_back({start, name.size(), foldAt, fold_.size() - foldAt});
        if (end == std::string_view::npos) return ERROR_SUCCESS;
        start = end + 1;
    }
}

Name KeyPath::operator[](size_t i) const {
    const Span& span = names_[i];
    return {text_.substr(span.at, span.size), std::string_view(fold_).substr(span.foldAt, span.foldSize)};
}

}  // namespace navo::win32::registry
