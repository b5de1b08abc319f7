// The shell link object: IShellLinkA over the link's fields and IPersistFile over a
// shell link file in the published binary format.
#include <shlobj.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "shell/com_classes.h"
#include "system/file_read.h"
#include "system/diagnosis.h"
#include "formats/shell_link_format.h"
#include "formats/utf.h"
#include "system/win_paths.h"

namespace navo::win32 {

namespace {

constexpr DWORD kFileAttributeDirectory = 0x10;
constexpr DWORD kFileAttributeArchive = 0x20;
constexpr DWORD kFileAttributeReadonly = 0x01;
constexpr ULONGLONG kUnixEpochAsFileTime = 116444736000000000ull;  // 1970-01-01 in 100 ns since 1601

ULONGLONG FileTimeOf(const timespec& t) {
    if (t.tv_sec < 0) return 0;
    return kUnixEpochAsFileTime + ULONGLONG(t.tv_sec) * 10000000ull + ULONGLONG(t.tv_nsec) / 100;
}

FILETIME SplitFileTime(ULONGLONG t) { return FILETIME{DWORD(t), DWORD(t >> 32)}; }

HRESULT HResultFromErrno(int error) { return HRESULT_FROM_WIN32(long(Win32ErrorFromErrno(error))); }

// A text from the caller in the ANSI code page, as the link keeps it: ill-formed bytes
// become U+FFFD, as the platform's conversion makes them. False when the text is longer
// than a link can hold.
bool NormalizeText(LPCSTR text, std::string& out) {
    out.clear();
    if (!text || !*text) return true;
    std::u16string units;
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 0) return false;
    units.resize(size_t(n));
    MultiByteToWideChar(CP_ACP, 0, text, -1, reinterpret_cast<LPWSTR>(units.data()), n);
    units.pop_back();  // the terminator
    if (units.size() > kShellLinkMaxStringUnits) return false;
    out = utf::ToUtf8(units, utf::kReplace);
    return true;
}

// Copies text into buffer as the getters do: at most size - 1 bytes, never half a
// character, always terminated.
HRESULT CopyOut(const std::string& text, LPSTR buffer, int size) {
    if (!buffer || size <= 0) return E_INVALIDARG;
    size_t n = text.size();
    if (n > size_t(size) - 1) {
        n = size_t(size) - 1;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return S_OK;
}

std::string FileNameFromWide(LPCOLESTR name) {
    std::u16string units;
    for (const OLECHAR* p = name; *p; ++p) units.push_back(*p);
    return utf::ToUtf8(units, utf::kReplace);
}

class ShellLink final : public IShellLinkA, public IPersistFile {
public:
    // IUnknown, shared by both interfaces.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IShellLinkA)) {
            *object = static_cast<IShellLinkA*>(this);
        } else if (IsEqualIID(riid, IID_IPersistFile) || IsEqualIID(riid, IID_IPersist)) {
            *object = static_cast<IPersistFile*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    // IShellLinkA.
    HRESULT STDMETHODCALLTYPE GetPath(LPSTR file, int size, WIN32_FIND_DATAA* findData, DWORD) override {
        HRESULT hr = CopyOut(link_.target, file, size);
        if (FAILED(hr)) return hr;
        if (findData) {
            memset(findData, 0, sizeof *findData);
            findData->dwFileAttributes = link_.fileAttributes;
            findData->ftCreationTime = SplitFileTime(link_.creationTime);
            findData->ftLastAccessTime = SplitFileTime(link_.accessTime);
            findData->ftLastWriteTime = SplitFileTime(link_.writeTime);
            findData->nFileSizeLow = link_.fileSize;
            size_t slash = link_.target.find_last_of("\\/");
            std::string base = slash == std::string::npos ? link_.target : link_.target.substr(slash + 1);
            CopyOut(base, findData->cFileName, MAX_PATH);
        }
        return link_.target.empty() ? S_FALSE : S_OK;
    }
    // Item identifier lists belong to the shell namespace, which this layer does not have.
    HRESULT STDMETHODCALLTYPE GetIDList(LPITEMIDLIST* idList) override {
        if (idList) *idList = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetIDList(LPCITEMIDLIST) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDescription(LPSTR name, int size) override {
        return CopyOut(link_.description, name, size);
    }
    HRESULT STDMETHODCALLTYPE SetDescription(LPCSTR name) override { return SetText(name, link_.description); }
    HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPSTR dir, int size) override {
        return CopyOut(link_.workingDirectory, dir, size);
    }
    HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCSTR dir) override { return SetText(dir, link_.workingDirectory); }
    HRESULT STDMETHODCALLTYPE GetArguments(LPSTR args, int size) override { return CopyOut(link_.arguments, args, size); }
    HRESULT STDMETHODCALLTYPE SetArguments(LPCSTR args) override { return SetText(args, link_.arguments); }
    HRESULT STDMETHODCALLTYPE GetHotkey(WORD* hotkey) override {
        if (!hotkey) return E_INVALIDARG;
        *hotkey = link_.hotkey;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetHotkey(WORD hotkey) override {
        link_.hotkey = hotkey;
        dirty_ = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetShowCmd(int* showCmd) override {
        if (!showCmd) return E_INVALIDARG;
        *showCmd = link_.showCommand;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetShowCmd(int showCmd) override {
        link_.showCommand = showCmd;
        dirty_ = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIconLocation(LPSTR iconPath, int size, int* icon) override {
        if (!icon) return E_INVALIDARG;
        HRESULT hr = CopyOut(link_.iconLocation, iconPath, size);
        if (SUCCEEDED(hr)) *icon = link_.iconIndex;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetIconLocation(LPCSTR iconPath, int icon) override {
        HRESULT hr = SetText(iconPath, link_.iconLocation);
        if (SUCCEEDED(hr)) link_.iconIndex = icon;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetRelativePath(LPCSTR pathRel, DWORD) override {
        return SetText(pathRel, link_.relativePath);
    }
    // The target is checked where it was recorded; a target that moved is not searched for.
    HRESULT STDMETHODCALLTYPE Resolve(HWND, DWORD) override {
        struct stat st;
        std::string path = LinuxPathFromWin32(link_.target);
        if (link_.target.empty() || path.empty()) return E_FAIL;
        if (stat(path.c_str(), &st) != 0) return HResultFromErrno(errno);
        return S_OK;
    }
    // Records the target and, when it exists, its attributes, times and size, which the
    // link keeps so that a moved target can be recognized.
    HRESULT STDMETHODCALLTYPE SetPath(LPCSTR file) override {
        if (!file) return E_INVALIDARG;
        std::string target;
        if (!NormalizeText(file, target)) return E_INVALIDARG;
        link_.target = target;
        link_.fileAttributes = 0;
        link_.creationTime = link_.accessTime = link_.writeTime = 0;
        link_.fileSize = 0;
        struct stat st;
        std::string path = LinuxPathFromWin32(target);
        if (!path.empty() && stat(path.c_str(), &st) == 0) {
            link_.fileAttributes = S_ISDIR(st.st_mode) ? kFileAttributeDirectory : kFileAttributeArchive;
            if (access(path.c_str(), W_OK) != 0 && errno == EACCES) link_.fileAttributes |= kFileAttributeReadonly;
            link_.creationTime = FileTimeOf(st.st_ctim);
            link_.accessTime = FileTimeOf(st.st_atim);
            link_.writeTime = FileTimeOf(st.st_mtim);
            link_.fileSize = DWORD(st.st_size);  // the low 32 bits, as the format keeps them
        }
        dirty_ = true;
        return S_OK;
    }

    // IPersist, IPersistFile.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override {
        if (!classId) return E_POINTER;
        *classId = CLSID_ShellLink;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return dirty_ ? S_OK : S_FALSE; }

    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR fileName, DWORD) override {
        ClearDiagnosis();
        if (!fileName || !*fileName) return E_INVALIDARG;
        std::string name = FileNameFromWide(fileName);
        std::string path = LinuxPathFromWin32(name);
        if (path.empty()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        int fd = OpenRegularFile(path);  // a FIFO or a device is refused, not waited on
        if (fd < 0) {
            int why = errno;
            struct stat st{};
            if (why == EISDIR) SetDiagnosis(path + " is a folder, not a file");
            else if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) SetDiagnosis(path + " is not a regular file");
            return why == ENOENT ? HRESULT_FROM_WIN32(long(NotFoundError(path))) : HResultFromErrno(why);
        }
        std::vector<BYTE> bytes;
        HRESULT hr = ReadAll(fd, bytes);
        close(fd);
        if (FAILED(hr)) {
            struct stat st{};
            if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) SetDiagnosis(path + " is a folder, not a file");
            else if (hr == HRESULT_FROM_WIN32(ERROR_BAD_FORMAT)) SetDiagnosis(path + " is not a regular file of a link's size");
            return hr;
        }
        auto parsed = ReadShellLink(ByteView(bytes.data(), bytes.size()));
        if (!parsed) {
            SetDiagnosis("not a shell link: " + parsed.error().Message());
            return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
        }
        link_ = std::move(*parsed);
        curFile_ = name;
        dirty_ = false;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Save(LPCOLESTR fileName, BOOL remember) override {
        std::string name;
        if (fileName) {
            if (!*fileName) return E_INVALIDARG;
            name = FileNameFromWide(fileName);
        } else {
            if (curFile_.empty()) return E_INVALIDARG;
            name = curFile_;
            remember = TRUE;
        }
        auto bytes = WriteShellLink(link_);
        if (!bytes) return E_INVALIDARG;
        std::string path = LinuxPathFromWin32(name);
        if (path.empty()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        HRESULT hr = WriteAtomically(path, *bytes);
        if (FAILED(hr)) return hr;
        if (remember) {
            curFile_ = name;
            dirty_ = false;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* fileName) override {
        if (!fileName) return E_POINTER;
        *fileName = nullptr;
        // Without a current file the answer is the default save prompt.
        const std::string& name = curFile_.empty() ? kDefaultPrompt : curFile_;
        // A name that is not UTF-8 is answered as an empty one.
        const std::u16string units = utf::ToUtf16(name, utf::kStrict).value_or(std::u16string());
        auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((units.size() + 1) * sizeof(OLECHAR)));
        if (!out) return E_OUTOFMEMORY;
        memcpy(out, units.data(), units.size() * sizeof(OLECHAR));
        out[units.size()] = 0;
        *fileName = out;
        return curFile_.empty() ? S_FALSE : S_OK;
    }

private:
    ~ShellLink() = default;

    HRESULT SetText(LPCSTR text, std::string& field) {
        std::string value;
        if (!NormalizeText(text, value)) return E_INVALIDARG;
        field = std::move(value);
        dirty_ = true;
        return S_OK;
    }

    static HRESULT ReadAll(int fd, std::vector<BYTE>& bytes) {
        struct stat st;
        if (fstat(fd, &st) != 0) return HResultFromErrno(errno);
        if (S_ISDIR(st.st_mode)) return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
        if (!S_ISREG(st.st_mode) || size_t(st.st_size) > kShellLinkMaxFileSize) return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
        // The size was checked: only a failed read is left to report.
        if (int error = ReadOpenFile(fd, st, kShellLinkMaxFileSize, bytes)) return HResultFromErrno(error);
        return S_OK;
    }

    // Writes a temporary file next to the destination and renames it over the destination,
    // so that a reader sees the old link or the new one, and a failure leaves no partial
    // file behind.
    static HRESULT WriteAtomically(const std::string& path, const std::vector<BYTE>& bytes) {
        // O_EXCL with the mode of an ordinary new file: the umask applies as it would to
        // the destination, without changing the process's umask.
        static std::atomic<unsigned> counter{0};
        std::string temp;
        int fd = -1;
        for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
            temp = path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(counter++);
            fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST) break;
        }
        // A missing folder on the way: the platform's "path not found".
        if (fd < 0) return errno == ENOENT ? HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) : HResultFromErrno(errno);
        int error = 0;
        size_t done = 0;
        while (!error && done < bytes.size()) {
            ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) error = errno;
            else done += size_t(n);
        }
        if (!error && fsync(fd) != 0) error = errno;
        if (close(fd) != 0 && !error) error = errno;
        if (!error && rename(temp.c_str(), path.c_str()) != 0) error = errno;
        if (error) {
            unlink(temp.c_str());
            return HResultFromErrno(error);
        }
        return S_OK;
    }

    static inline const std::string kDefaultPrompt = "*.lnk";

    std::atomic<ULONG> refs_{1};
    ShellLinkData link_;
    std::string curFile_;
    bool dirty_ = false;
};

}  // namespace

HRESULT CreateShellLink(REFIID riid, void** object) {
    auto* link = new (std::nothrow) ShellLink();
    if (!link) return E_OUTOFMEMORY;
    HRESULT hr = static_cast<IShellLinkA*>(link)->QueryInterface(riid, object);
    static_cast<IShellLinkA*>(link)->Release();
    return hr;
}

}  // namespace navo::win32
