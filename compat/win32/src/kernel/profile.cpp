// GetPrivateProfileStringA and WritePrivateProfileStringA over INI files.

#include "kernel/profile.h"

#include <windows.h>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "formats/utf.h"
#include "system/file_read.h"
#include "system/system_state.h"

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

}  // namespace

// Lines keep the bytes they were read from, line end included, and are written back
// from them until they are changed: a rewrite leaves every other line as it was, whatever
// it holds (a NUL and what follows it, an unpaired UTF-16 surrogate, a lone CR, bytes that
// are not UTF-8).
Profile Profile::Parse(std::string_view bytes) {
    Profile p;
    if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE) {
        p.utf16_ = true;
        p.prefix_.assign(bytes.substr(0, 2));
        bytes.remove_prefix(2);
    } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        p.prefix_.assign(bytes.substr(0, 3));
        bytes.remove_prefix(3);
    }
    const size_t unit = p.utf16_ ? 2 : 1;
    size_t start = 0;
    for (size_t i = 0; i + unit <= bytes.size(); i += unit) {
        if (bytes[i] != '\n' || (unit == 2 && bytes[i + 1] != '\0')) continue;
        p.AddReadLine(bytes.substr(start, i + unit - start));
        start = i + unit;
    }
    if (start < bytes.size()) p.AddReadLine(bytes.substr(start));
    return p;
}

void Profile::AddReadLine(std::string_view raw) {
    // Lone surrogates read as U+FFFD; half a unit at the end of the file is no character.
    std::string text = utf16_ ? utf::Utf16LeToUtf8(raw, utf::kReplace, utf::CutUnit::kDrop) : std::string(raw);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (!text.empty() && text.back() == '\r') text.pop_back();
    // A NUL ends the line's meaningful text, as the platform's reader stops at one.
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    lines_.push_back({std::move(text), std::string(raw)});
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

template <typename Visit>
void Profile::ForEachEntry(std::string_view section, Visit visit) const {
    bool inside = false;
    for (const Line& line : lines_) {
        std::string_view name, key, value;
        if (SectionName(line.text, name)) {
            inside = SameName(name, section);
            continue;
        }
        if (inside && Entry(line.text, key, value) && visit(key, value)) return;
    }
}

std::vector<std::string> Profile::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    ForEachEntry(section, [&](std::string_view key, std::string_view) {
        bool seen = false;
        for (const std::string& k : keys) seen = seen || SameName(k, key);
        if (!seen) keys.emplace_back(key);
        return false;
    });
    return keys;
}

std::optional<std::string> Profile::Get(std::string_view section, std::string_view wanted) const {
    std::optional<std::string> found;
    ForEachEntry(section, [&](std::string_view key, std::string_view value) {
        if (!SameName(key, wanted)) return false;
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        found = std::string(value);
        return true;
    });
    return found;
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
        lines_.push_back({"[" + std::string(section) + "]", {}});
        lines_.push_back({*key + "=" + *value, {}});
        return;
    }
    for (size_t i = header + 1; i < end; ++i) {
        std::string_view k, v;
        if (!Entry(lines_[i].text, k, v) || !SameName(k, *key)) continue;
        if (value) lines_[i] = {std::string(k) + "=" + *value, {}};
        else lines_.erase(lines_.begin() + long(i));
        return;
    }
    if (!value) return;
    // After the section's last entry, before blank lines that separate it from the next.
    size_t at = end;
    while (at > header + 1 && Trim(lines_[at - 1].text).empty()) --at;
    lines_.insert(lines_.begin() + long(at), {*key + "=" + *value, {}});
}

std::string Profile::Serialize() const {
    // Text written in a UTF-16 file: bytes that are not UTF-8 are written as U+FFFD.
    auto encode = [this](const std::string& text) { return utf16_ ? utf::Utf8ToUtf16Le(text, utf::kReplace) : text; };
    std::string out = prefix_;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.raw.empty()) {
            out += encode(line.text + "\r\n");
            continue;
        }
        out += line.raw;
        // The file's last line may lack its line end; one is added when lines follow it.
        if (i + 1 == lines_.size()) continue;
        if (utf16_) {
            if (out.size() % 2) out.push_back('\0');
            // Only a whole last unit is a line end: "\n\0" at an odd offset is not one.
            if (line.raw.size() < 2 || line.raw.size() % 2 ||
                line.raw.compare(line.raw.size() - 2, 2, std::string("\n\0", 2)) != 0)
                out += encode("\r\n");
        } else if (line.raw.back() != '\n') {
            out += "\r\n";
        }
    }
    return out;
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

// The platform's error for a failed open or read of a profile file.
DWORD ErrorOfFile(int error) {
    switch (error) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EFBIG: return ERROR_FILE_TOO_LARGE;
        case EROFS: return ERROR_WRITE_PROTECT;
        case ENOSPC:
        case EDQUOT: return ERROR_DISK_FULL;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        // A folder, a FIFO or a device in place of the file, a symbolic link where one is
        // written (ELOOP with O_NOFOLLOW), or no permission.
        default: return ERROR_ACCESS_DENIED;
    }
}

// Reads a profile file; false with the platform's error when it is missing or unreadable.
bool ReadProfile(const std::string& path, Profile& profile, DWORD& error) {
    std::string bytes;
    int why = navo::win32::ReadFileBounded(path, navo::win32::kMaxProfileBytes, bytes);
    if (why == 0) {
        profile = Profile::Parse(bytes);
        return true;
    }
    error = ErrorOfFile(why);
    return false;
}

// A writer's hold on a profile file: the file open and locked with flock, so that writers
// in other threads and processes wait for this one's whole read, change and replace. The
// file is created (empty, 0600) when missing, so that there is something to lock; the
// path is never followed through a symbolic link. A writer that waited finds the file
// replaced under the path, and opens and locks the new one.
class LockedProfile {
public:
    // 0, or the errno of what failed.
    int Open(const std::string& path) {
        for (;;) {
            struct stat st{};
            bool created = true;
            int fd = navo::win32::OpenForReading(path, st, O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
            if (fd < 0 && errno == EEXIST) {
                created = false;
                fd = navo::win32::OpenForReading(path, st, O_NOFOLLOW);
                if (fd < 0 && errno == ENOENT) continue;  // removed meanwhile
            }
            if (fd < 0) return errno;
            if (created && fchmod(fd, 0600) != 0) {
                int error = errno;
                close(fd);
                unlink(path.c_str());
                return error;
            }
            int r;
            while ((r = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
            }
            struct stat now{};
            if (r == 0 && fstat(fd, &st) == 0 && lstat(path.c_str(), &now) == 0 && now.st_dev == st.st_dev &&
                now.st_ino == st.st_ino) {
                fd_.Reset(fd);
                st_ = st;
                created_ = created;
                return 0;
            }
            int error = errno;
            close(fd);
            if (r != 0) return error;
            // Replaced or removed by the writer that held the lock: lock what is there now.
        }
    }

    // Whether Open made the file, which is then empty.
    bool created() const { return created_; }
    int fd() const { return fd_.Get(); }
    const struct stat& status() const { return st_; }

private:
    navo::win32::Fd fd_;
    struct stat st_{};
    bool created_ = false;
};

// A new file beside `path` that no one else can have made or planted: a name with a
// random part, created with O_EXCL (which never follows a symbolic link), private whatever
// the umask. Returns the descriptor and fills `temp`, or -1 with errno.
int CreateTempBeside(const std::string& path, std::string& temp) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char random[10];
        if (getrandom(random, sizeof random, 0) != ssize_t(sizeof random)) return -1;
        temp = path + ".tmp-";
        for (unsigned char r : random) temp += kChars[r % (sizeof kChars - 1)];
        int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            if (fchmod(fd, 0600) != 0) {
                int error = errno;
                close(fd);
                unlink(temp.c_str());
                errno = error;
                return -1;
            }
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

// Writes `bytes` to a new file beside `path` and renames it over `path`: readers see the
// old file or the new one, never a part, and a failure leaves the old file whole.
DWORD ReplaceFile(const std::string& path, const std::string& bytes) {
    std::string temp;
    int fd = CreateTempBeside(path, temp);
    if (fd < 0) return ErrorOfFile(errno);
    size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += size_t(n);
    }
    if (!error && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && !error) error = errno;
    if (!error && rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (!error) return ERROR_SUCCESS;
    unlink(temp.c_str());
    switch (error) {
        case ENOSPC:
        case EDQUOT: return ERROR_DISK_FULL;
        case EACCES:
        case EPERM: return ERROR_ACCESS_DENIED;  // a file of another user in a sticky folder
        default: return ERROR_WRITE_FAULT;
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
        const std::string folder = navo::win32::WindowsDirectory();
        if (navo::win32::EnsureStateDirectory().empty() || folder.empty()) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return FALSE;
        }
        if (mkdir(folder.c_str(), 0700) == 0) {
            chmod(folder.c_str(), 0700);  // private whatever the umask
        } else if (errno != EEXIST) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return FALSE;
        }
    }
    // Line breaks in a name or value would make lines of their own: refused.
    for (LPCSTR s : {section, key, value})
        if (s && strpbrk(s, "\r\n")) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    LockedProfile locked;
    if (int why = locked.Open(path)) {
        SetLastError(why == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorOfFile(why));
        return FALSE;
    }
    std::string bytes;
    if (int why = navo::win32::ReadOpenFile(locked.fd(), locked.status(), navo::win32::kMaxProfileBytes, bytes)) {
        SetLastError(ErrorOfFile(why));
        return FALSE;
    }
    Profile profile = Profile::Parse(bytes);
    std::string keyText = key ? key : "", valueText = value ? value : "";
    profile.Set(section, key ? &keyText : nullptr, value ? &valueText : nullptr);
    std::string written = profile.Serialize();
    // Nothing changed (a key deleted that was not there): the file stays as it is.
    if (written == bytes) return TRUE;
    if (DWORD error = ReplaceFile(path, written)) {
        // The empty file this call made for its lock goes again.
        if (locked.created()) unlink(path.c_str());
        SetLastError(error);
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
