// GetPrivateProfileStringA and WritePrivateProfileStringA over INI files.

#include "profile.h"

#include <windows.h>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "file_read.h"
#include "system_state.h"

namespace navo::win32 {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// "[name]" (text after the bracket ignored), giving the name; false for any other line.
bool SectionName(std::string_view line, std::string_view& name) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return false;
    size_t close = line.find(']');
    name = Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    return true;
}

// "key=value", giving both; false for comments, blank lines and lines without '='.
bool Entry(std::string_view line, std::string_view& key, std::string_view& value) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';') return false;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos) return false;
    key = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    return true;
}

std::string Utf16ToUtf8(std::string_view bytes) {
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t cp = char32_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
            char32_t low = char32_t(uint8_t(bytes[i + 2]) | uint8_t(bytes[i + 3]) << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string Utf8ToUtf16(std::string_view text) {
    int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::u16string wide(size_t(units > 0 ? units : 0), u'\0');
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), reinterpret_cast<LPWSTR>(wide.data()), units);
    std::string out;
    out.reserve(wide.size() * 2);
    for (char16_t u : wide) {
        out += char(u & 0xFF);
        out += char(u >> 8);
    }
    return out;
}

}  // namespace

Profile Profile::Parse(std::string_view bytes) {
    Profile p;
    std::string text;
    if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE) {
        p.utf16_ = p.bom_ = true;
        text = Utf16ToUtf8(bytes.substr(2));
    } else {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
            p.bom_ = true;
            bytes.remove_prefix(3);
        }
        text.assign(bytes);
    }
    std::string_view rest = text;
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        // A NUL ends the line's meaningful text, as the platform's reader stops at one.
        size_t nul = line.find('\0');
        if (nul != std::string_view::npos) line = line.substr(0, nul);
        p.lines_.push_back({std::string(line)});
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return p;
}

std::vector<std::string> Profile::Sections() const {
    std::vector<std::string> names;
    for (const Line& line : lines_) {
        std::string_view name;
        if (!SectionName(line.text, name)) continue;
        bool seen = false;
        for (const std::string& n : names) seen = seen || SameName(n, name);
        if (!seen) names.emplace_back(name);
    }
    return names;
}

std::vector<std::string> Profile::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    bool inside = false;
    for (const Line& line : lines_) {
        std::string_view name, key, value;
        if (SectionName(line.text, name)) {
            inside = SameName(name, section);
            continue;
        }
        if (!inside || !Entry(line.text, key, value)) continue;
        bool seen = false;
        for (const std::string& k : keys) seen = seen || SameName(k, key);
        if (!seen) keys.emplace_back(key);
    }
    return keys;
}

std::optional<std::string> Profile::Get(std::string_view section, std::string_view wanted) const {
    bool inside = false;
    for (const Line& line : lines_) {
        std::string_view name, key, value;
        if (SectionName(line.text, name)) {
            inside = SameName(name, section);
            continue;
        }
        if (!inside || !Entry(line.text, key, value) || !SameName(key, wanted)) continue;
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return std::nullopt;
}

void Profile::Set(std::string_view section, const std::string* key, const std::string* value) {
    // The extent of the first matching section: its header line and the lines up to the next.
    size_t header = lines_.size(), end = lines_.size();
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::string_view name;
        if (!SectionName(lines_[i].text, name)) continue;
        if (header != lines_.size()) {
            end = i;
            break;
        }
        if (SameName(name, section)) header = i;
    }
    if (!key) {
        if (header != lines_.size()) lines_.erase(lines_.begin() + long(header), lines_.begin() + long(end));
        return;
    }
    if (header == lines_.size()) {
        if (!value) return;
        lines_.push_back({"[" + std::string(section) + "]"});
        lines_.push_back({*key + "=" + *value});
        return;
    }
    for (size_t i = header + 1; i < end; ++i) {
        std::string_view k, v;
        if (!Entry(lines_[i].text, k, v) || !SameName(k, *key)) continue;
        if (value) lines_[i].text = std::string(k) + "=" + *value;
        else lines_.erase(lines_.begin() + long(i));
        return;
    }
    if (!value) return;
    // After the section's last entry, before blank lines that separate it from the next.
    size_t at = end;
    while (at > header + 1 && Trim(lines_[at - 1].text).empty()) --at;
    lines_.insert(lines_.begin() + long(at), {*key + "=" + *value});
}

std::string Profile::Serialize() const {
    std::string text;
    for (const Line& line : lines_) {
        text += line.text;
        text += "\r\n";
    }
    if (!utf16_) return bom_ ? "\xEF\xBB\xBF" + text : text;
    return "\xFF\xFE" + Utf8ToUtf16(text);
}

std::string WindowsDirectory() {
    std::string state = StateDirectory();
    return state.empty() ? std::string() : state + "/windows";
}

std::string ProfilePath(const char* fileName) {
    std::string name = fileName;
    for (char& c : name)
        if (c == '\\') c = '/';
    if (name.find('/') != std::string::npos) return name;
    std::string folder = WindowsDirectory();
    if (folder.empty()) return {};
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (strcasecmp(entry->d_name, name.c_str()) == 0) {
                name = entry->d_name;
                break;
            }
        }
        closedir(dir);
    }
    return folder + "/" + name;
}

}  // namespace navo::win32

namespace {

using navo::win32::Profile;

// Reads a profile file; false with the platform's error when it is missing or unreadable.
bool ReadProfile(const std::string& path, Profile& profile, DWORD& error) {
    std::string bytes;
    switch (navo::win32::ReadFileBounded(path, navo::win32::kMaxProfileBytes, bytes)) {
        case 0: profile = Profile::Parse(bytes); return true;
        case EACCES:
        case EISDIR: error = ERROR_ACCESS_DENIED; return false;
        case EFBIG:
        case EINVAL: error = ERROR_FILE_TOO_LARGE; return false;
        default: error = ERROR_FILE_NOT_FOUND; return false;
    }
}

// Copies a list of names, each terminated, and a final terminator, truncated to `size`:
// the platform then returns size - 2.
DWORD CopyList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
    if (size == 0) return 0;
    std::string list;
    for (const std::string& n : names) {
        list += n;
        list += '\0';
    }
    if (list.size() + 1 <= size) {
        memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        // An empty list still has its final terminator.
        if (list.empty() && size > 1) buffer[1] = '\0';
        return DWORD(list.size());
    }
    if (size == 1) {
        buffer[0] = '\0';
        return 0;
    }
    memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

DWORD CopyValue(std::string_view value, LPSTR buffer, DWORD size) {
    if (size == 0) return 0;
    size_t n = value.size() < size - 1 ? value.size() : size - 1;
    memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return DWORD(n);
}

}  // namespace

extern "C" {

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                                      LPCSTR fileName) {
    if (!buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string path = navo::win32::ProfilePath(fileName ? fileName : "win.ini");
    Profile profile;
    DWORD error = ERROR_SUCCESS;
    bool read = !path.empty() && ReadProfile(path, profile, error);
    if (!read) SetLastError(path.empty() ? ERROR_PATH_NOT_FOUND : error);
    if (!section) return CopyList(read ? profile.Sections() : std::vector<std::string>{}, buffer, size);
    if (!key) return CopyList(read ? profile.Keys(section) : std::vector<std::string>{}, buffer, size);
    std::optional<std::string> value = read ? profile.Get(section, key) : std::nullopt;
    if (value) return CopyValue(*value, buffer, size);
    // The default loses its trailing blanks, as on the platform.
    std::string_view fallback = defaultValue ? defaultValue : "";
    while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
    if (read) SetLastError(ERROR_FILE_NOT_FOUND);
    return CopyValue(fallback, buffer, size);
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    if (!section || !fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string path = navo::win32::ProfilePath(fileName);
    if (path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    // A bare name lives in the Windows directory, which is made on first use.
    std::string name = fileName;
    if (name.find('/') == std::string::npos && name.find('\\') == std::string::npos) {
        if (navo::win32::EnsureStateDirectory().empty() ||
            (mkdir(navo::win32::WindowsDirectory().c_str(), 0700) != 0 && errno != EEXIST)) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return FALSE;
        }
    }
    Profile profile;
    DWORD error = ERROR_SUCCESS;
    if (!ReadProfile(path, profile, error) && error != ERROR_FILE_NOT_FOUND) {
        SetLastError(error);
        return FALSE;
    }
    // Line breaks in a name or value would make lines of their own: refused.
    for (LPCSTR s : {section, key, value})
        if (s && strpbrk(s, "\r\n")) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    std::string keyText = key ? key : "", valueText = value ? value : "";
    profile.Set(section, key ? &keyText : nullptr, value ? &valueText : nullptr);
    std::string bytes = profile.Serialize();
    // Written beside the file and renamed over it: a failure leaves the old file whole.
    std::string temp = path + ".tmp" + std::to_string(getpid());
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        SetLastError(errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += size_t(n);
    }
    bool ok = done == bytes.size() && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    std::string folder = navo::win32::WindowsDirectory();
    if (folder.size() + 1 > size || !buffer) return UINT(folder.size() + 1);
    memcpy(buffer, folder.c_str(), folder.size() + 1);
    return UINT(folder.size());
}

}  // extern "C"
