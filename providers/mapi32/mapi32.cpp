// The default Simple MAPI provider on Linux, loaded as MAPI32.DLL (mapi32.dll.so).
//
// It resolves Internet addresses and delivers a message in one of two ways:
//  - with MAPI_DIALOG in a desktop session that has xdg-email, the message goes to the
//    user's mail client for review (xdg-email, started without a shell, given the whole
//    message as one mailto: URI);
//  - otherwise it is written as a standards-conforming .eml file into the outbox of the
//    emulated system state (<state directory>/outbox), atomically and a piece at a time.
// When the desktop's client does not take the message, it goes to the outbox instead and
// the provider says so (on standard error and through NavoMAPIGetLastText).
// NAVOTOOLS_MAIL_DELIVERY=outbox or =xdg-email forces one way; NAVOTOOLS_MAIL_FROM sets
// the sender.

#include <windows.h>

#include <mapi.h>

#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "mime.h"
#include "system/file_read.h"

namespace {

using navo::mail::Address;

std::mutex g_lock;
// What this thread's last MAPISendMail has to say: why it failed, or where the message
// went when the desktop's client did not take it. Kept under a pthread key rather than in
// thread_local storage: a module loaded at run time then adds no block to each thread's
// dynamic TLS vector, which LeakSanitizer's scan of the threads trips over.
std::string& LastText() {
    static const pthread_key_t key = [] {
        pthread_key_t k{};
        pthread_key_create(&k, +[](void* text) { delete static_cast<std::string*>(text); });
        return k;
    }();
    auto* text = static_cast<std::string*>(pthread_getspecific(key));
    if (!text) {
        text = new std::string;
        pthread_setspecific(key, text);
    }
    return *text;
}
std::set<LHANDLE> g_sessions;
std::set<void*> g_buffers;
LHANDLE g_nextSession = 1;

bool ValidSession(LHANDLE session) {
    std::lock_guard<std::mutex> guard(g_lock);
    return g_sessions.count(session) != 0;
}

std::string RandomHex(size_t digits) {
    static const char kHex[] = "0123456789abcdef";
    std::random_device device;
    std::string out;
    for (size_t i = 0; i < digits; ++i) out += kHex[device() & 15];
    return out;
}

std::string HostName() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0 || !*host) return "localhost";
    return host;
}

Address Sender() {
    Address from;
    const char* configured = getenv("NAVOTOOLS_MAIL_FROM");
    if (configured && navo::mail::ParseAddress(configured, from)) return from;
    const passwd* pw = getpwuid(getuid());
    std::string user = pw && pw->pw_name ? pw->pw_name : "user";
    from.address = user + "@" + HostName();
    if (pw && pw->pw_gecos && *pw->pw_gecos) {
        std::string gecos = pw->pw_gecos;
        from.name = gecos.substr(0, gecos.find(','));
    }
    return from;
}

std::string RfcDate() {
    char text[64];
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S %z", &local);
    return text;
}

// A recipient record as the message names it: its address field (with or without SMTP:)
// or, failing that, its name.
bool RecipientAddress(const MapiRecipDesc& r, Address& out) {
    if (r.lpszAddress && *r.lpszAddress && navo::mail::ParseAddress(r.lpszAddress, out)) {
        if (r.lpszName && *r.lpszName && std::strcmp(r.lpszName, out.address.c_str()) != 0) out.name = r.lpszName;
        return true;
    }
    return r.lpszName && navo::mail::ParseAddress(r.lpszName, out);
}

ULONG Fail(ULONG code, std::string text) {
    LastText() = std::move(text);
    return code;
}

std::string ErrnoText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}

using navo::win32::Fd;

// Opens an attachment for reading as the Win32 layer opens files: a FIFO or a device never
// blocks the open, anything but a regular file is refused, and so is a file over the size
// limit.
ULONG OpenAttachment(const char* path, Fd& out) {
    const std::string quoted = std::string("The attachment '") + path + "'";
    struct stat st{};
    Fd fd(navo::win32::OpenForReading(path, st));
    if (fd.Get() < 0) {
        int error = errno;
        if (error == ENOENT || error == ENOTDIR) return Fail(MAPI_E_ATTACHMENT_NOT_FOUND, quoted + " does not exist.");
        if (error == EMFILE || error == ENFILE)
            return Fail(MAPI_E_TOO_MANY_FILES, quoted + " cannot be opened: too many files are open.");
        if (error == EISDIR || error == ENXIO)
            return Fail(MAPI_E_ATTACHMENT_OPEN_FAILURE, quoted + " is not a regular file.");
        return Fail(MAPI_E_ATTACHMENT_OPEN_FAILURE, quoted + " cannot be opened: " + ErrnoText(error) + ".");
    }
    if (uint64_t(st.st_size) > navo::mail::kMaxAttachmentBytes)
        return Fail(MAPI_E_ATTACHMENT_OPEN_FAILURE, navo::mail::AttachmentTooLargeText(path));
    out = std::move(fd);
    return SUCCESS_SUCCESS;
}

std::string LastComponent(const char* path) {
    std::string p = path ? path : "";
    size_t cut = p.find_last_of("/\\");
    return cut == std::string::npos ? p : p.substr(cut + 1);
}

// Only absolute folders of PATH count: an empty or relative entry would run whatever
// lies in the current folder.
bool FindInPath(const char* program, std::string& found) {
    const char* path = getenv("PATH");
    std::string rest = path ? path : "/usr/bin:/bin";
    while (true) {
        size_t colon = rest.find(':');
        std::string dir = rest.substr(0, colon);
        std::string candidate = dir + "/" + program;
        if (!dir.empty() && dir[0] == '/' && access(candidate.c_str(), X_OK) == 0) {
            found = candidate;
            return true;
        }
        if (colon == std::string::npos) return false;
        rest.erase(0, colon + 1);
    }
}

// Percent-encodes every byte but letters, digits, "-._~" and '@'.
std::string UriEncode(std::string_view text) { return navo::mail::PercentEncode(text, "-._~@"); }

// The whole message as one mailto: URI (RFC 6068): the To addresses, then cc, bcc,
// subject, body (line ends as CR LF) and each attachment's absolute path as xdg-email
// itself writes it (attach=). As one argument that starts with "mailto:" it never reads
// as an option, whatever an address starts with; and being percent-encoded it holds no
// blank, quote, backslash or line break for xdg-email's shell code to reinterpret.
std::string MailtoUri(const navo::mail::Message& m, const std::vector<std::string>& files) {
    std::string uri = "mailto:";
    for (size_t i = 0; i < m.to.size(); ++i) uri += (i ? "," : "") + UriEncode(m.to[i].address);
    std::vector<std::string> fields;
    for (const Address& a : m.cc) fields.push_back("cc=" + UriEncode(a.address));
    for (const Address& a : m.bcc) fields.push_back("bcc=" + UriEncode(a.address));
    if (!m.subject.empty()) fields.push_back("subject=" + UriEncode(m.subject));
    if (!m.body.empty()) {
        std::string body;
        for (size_t i = 0; i < m.body.size(); ++i) {
            char c = m.body[i];
            if (c == '\r' && i + 1 < m.body.size() && m.body[i + 1] == '\n') continue;
            body += (c == '\r' || c == '\n') ? std::string("\r\n") : std::string(1, c);
        }
        fields.push_back("body=" + UriEncode(body));
    }
    for (const std::string& f : files) {
        char* absolute = realpath(f.c_str(), nullptr);
        fields.push_back("attach=" + UriEncode(absolute ? absolute : f.c_str()));
        free(absolute);
    }
    for (size_t i = 0; i < fields.size(); ++i) uri += (i ? "&" : "?") + fields[i];
    return uri;
}

// Hands the message to the desktop's mail client: xdg-email gets the URI as its one
// argument, and no shell of ours reads anything. False, with the reason, when xdg-email
// cannot be started or does not report success.
bool HandToClient(const std::string& program, const std::string& uri, std::string& reason) {
    std::vector<std::string> args = {program, uri};
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int error = posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (error != 0) {
        reason = program + " could not be started: " + ErrnoText(error);
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            reason = "the end of " + program + " could not be awaited: " + ErrnoText(errno);
            return false;
        }
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    reason = WIFEXITED(status) ? program + " exited with status " + std::to_string(WEXITSTATUS(status))
                               : program + " was ended by signal " + std::to_string(WTERMSIG(status));
    return false;
}

// The outbox file, written through a buffer so that the many small pieces of a message
// become few writes.
class FileSink : public navo::mail::Sink {
public:
    FileSink(int fd, std::string path) : fd_(fd), path_(std::move(path)) { buffer_.reserve(kBufferBytes); }
    bool Write(std::string_view bytes) override {
        if (buffer_.size() + bytes.size() > kBufferBytes && !Flush()) return false;
        if (bytes.size() >= kBufferBytes) return WriteAll(bytes);
        buffer_.append(bytes);
        return true;
    }
    [[nodiscard]] bool Flush() {
        bool ok = WriteAll(buffer_);
        buffer_.clear();
        return ok;
    }

private:
    bool WriteAll(std::string_view bytes) {
        while (!bytes.empty()) {
            ssize_t n = write(fd_, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                failure_ = "The outbox file '" + path_ + "' cannot be written: " + ErrnoText(n < 0 ? errno : ENOSPC) + ".";
                return false;
            }
            bytes.remove_prefix(size_t(n));
        }
        return true;
    }

    static constexpr size_t kBufferBytes = size_t(64) << 10;
    int fd_;
    std::string path_;
    std::string buffer_;
};

// The outbox folder, created 0700 whatever the umask and opened without following a
// symbolic link. One that another user owns or can write is refused: what lies in it
// could have been planted.
ULONG OpenOutbox(Fd& dir, std::string& path) {
    char state[4096];
    DWORD n = NavoGetStateDirectoryA(state, sizeof state, TRUE);
    if (n == 0 || n >= sizeof state) return Fail(MAPI_E_FAILURE, "The folder of the system state cannot be made.");
    path = std::string(state) + "/outbox";
    if (mkdir(path.c_str(), 0700) == 0) {
        // The umask may have taken away bits that the owner needs even to open the folder;
        // where this cannot be done, the fchmod below still sets the mode of one that opens.
        (void)fchmodat(AT_FDCWD, path.c_str(), 0700, AT_SYMLINK_NOFOLLOW);
    } else if (errno != EEXIST) {
        return Fail(MAPI_E_DISK_FULL, "The outbox folder '" + path + "' cannot be created: " + ErrnoText(errno) + ".");
    }
    Fd fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.Get() < 0) {
        int error = errno;
        if (error == ELOOP || error == ENOTDIR)
            return Fail(MAPI_E_ACCESS_DENIED, "The outbox '" + path + "' is not a folder but a symbolic link or a file.");
        return Fail(MAPI_E_ACCESS_DENIED, "The outbox folder '" + path + "' cannot be opened: " + ErrnoText(error) + ".");
    }
    struct stat st{};
    if (fstat(fd.Get(), &st) != 0)
        return Fail(MAPI_E_ACCESS_DENIED, "The outbox folder '" + path + "' cannot be examined: " + ErrnoText(errno) + ".");
    if (st.st_uid != geteuid())
        return Fail(MAPI_E_ACCESS_DENIED, "The outbox folder '" + path + "' belongs to another user.");
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        return Fail(MAPI_E_ACCESS_DENIED, "The outbox folder '" + path + "' can be written by other users; make it private (chmod 700).");
    if ((st.st_mode & 07777) != 0700 && fchmod(fd.Get(), 0700) != 0)
        return Fail(MAPI_E_ACCESS_DENIED, "The outbox folder '" + path + "' cannot be made private: " + ErrnoText(errno) + ".");
    dir = std::move(fd);
    return SUCCESS_SUCCESS;
}

// Writes the message into the outbox a piece at a time: a temporary file, private and
// created afresh (never through a symbolic link), renamed into place when whole, so that
// a reader of the outbox never sees half a mail. `saved` gets the file's path.
ULONG PlaceInOutbox(const navo::mail::Message& m, std::string& saved) {
    Fd dir;
    std::string outbox;
    if (ULONG code = OpenOutbox(dir, outbox); code != SUCCESS_SUCCESS) return code;
    static std::atomic<unsigned> counter{0};
    char stamp[32];
    time_t now = time(nullptr);
    tm utc{};
    gmtime_r(&now, &utc);
    strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    std::string name = std::string(stamp) + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
                       RandomHex(6) + ".eml";
    std::string temp = "." + name + ".tmp";
    Fd file(openat(dir.Get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (file.Get() < 0)
        return Fail(MAPI_E_DISK_FULL, "The outbox file '" + outbox + "/" + temp + "' cannot be created: " + ErrnoText(errno) + ".");
    FileSink sink(file.Get(), outbox + "/" + temp);
    std::string error;
    ULONG code = MAPI_E_DISK_FULL;
    if (fchmod(file.Get(), 0600) != 0) {
        error = "The outbox file '" + outbox + "/" + temp + "' cannot be made private: " + ErrnoText(errno) + ".";
    } else if (!navo::mail::Compose(m, "=_navotools_" + RandomHex(24), sink, error)) {
        // A write that failed is the outbox's fault; anything else is an attachment's.
        if (sink.Failure().empty()) code = MAPI_E_ATTACHMENT_OPEN_FAILURE;
    } else if (!sink.Flush()) {
        error = sink.Failure();
    } else if (fsync(file.Get()) != 0) {
        error = "The outbox file '" + outbox + "/" + temp + "' cannot be stored: " + ErrnoText(errno) + ".";
    }
    if (close(file.Release()) != 0 && error.empty())
        error = "The outbox file '" + outbox + "/" + temp + "' cannot be stored: " + ErrnoText(errno) + ".";
    if (error.empty() && renameat(dir.Get(), temp.c_str(), dir.Get(), name.c_str()) != 0)
        error = "The outbox file '" + outbox + "/" + name + "' cannot be put in place: " + ErrnoText(errno) + ".";
    if (!error.empty()) {
        unlinkat(dir.Get(), temp.c_str(), 0);
        return Fail(code, error);
    }
    // The new name survives a crash too.
    fsync(dir.Get());
    saved = outbox + "/" + name;
    return SUCCESS_SUCCESS;
}

}  // namespace

#define MAPI_EXPORT extern "C" __attribute__((visibility("default")))

MAPI_EXPORT ULONG WINAPI MAPILogon(ULONG_PTR, LPSTR, LPSTR, FLAGS, ULONG, LPLHANDLE session) {
    if (!session) return MAPI_E_FAILURE;
    std::lock_guard<std::mutex> guard(g_lock);
    *session = g_nextSession++;
    g_sessions.insert(*session);
    return SUCCESS_SUCCESS;
}

MAPI_EXPORT ULONG WINAPI MAPILogoff(LHANDLE session, ULONG_PTR, FLAGS, ULONG) {
    std::lock_guard<std::mutex> guard(g_lock);
    return g_sessions.erase(session) ? ULONG(SUCCESS_SUCCESS) : ULONG(MAPI_E_INVALID_SESSION);
}

MAPI_EXPORT ULONG WINAPI MAPIFreeBuffer(LPVOID buffer) {
    if (!buffer) return SUCCESS_SUCCESS;
    std::lock_guard<std::mutex> guard(g_lock);
    // A pointer this provider did not hand out is refused, not freed.
    if (!g_buffers.erase(buffer)) return MAPI_E_FAILURE;
    free(buffer);
    return SUCCESS_SUCCESS;
}

MAPI_EXPORT ULONG WINAPI MAPIResolveName(LHANDLE session, ULONG_PTR, LPSTR name, FLAGS, ULONG,
                                         lpMapiRecipDesc* recipient) {
    if (!recipient || !name) return MAPI_E_FAILURE;
    if (session && !ValidSession(session)) return MAPI_E_INVALID_SESSION;
    Address address;
    if (!navo::mail::ParseAddress(name, address)) return MAPI_E_UNKNOWN_RECIPIENT;
    std::string display = address.name.empty() ? address.address : address.name;
    std::string smtp = "SMTP:" + address.address;
    // One block holds the record and its texts, so that one MAPIFreeBuffer releases all.
    size_t size = sizeof(MapiRecipDesc) + display.size() + 1 + smtp.size() + 1;
    auto* block = static_cast<char*>(calloc(1, size));
    if (!block) return MAPI_E_INSUFFICIENT_MEMORY;
    auto* r = reinterpret_cast<MapiRecipDesc*>(block);
    char* text = block + sizeof(MapiRecipDesc);
    memcpy(text, display.c_str(), display.size() + 1);
    r->lpszName = text;
    text += display.size() + 1;
    memcpy(text, smtp.c_str(), smtp.size() + 1);
    r->lpszAddress = text;
    r->ulRecipClass = MAPI_TO;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        g_buffers.insert(block);
    }
    *recipient = r;
    return SUCCESS_SUCCESS;
}

MAPI_EXPORT ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR, lpMapiMessage message, FLAGS flags, ULONG) {
    LastText().clear();
    if (!message) return Fail(MAPI_E_FAILURE, "No message was given.");
    if (session && !ValidSession(session)) return Fail(MAPI_E_INVALID_SESSION, "The session is not open.");
    navo::mail::Message m;
    m.from = Sender();
    for (ULONG i = 0; i < message->nRecipCount; ++i) {
        if (!message->lpRecips) return Fail(MAPI_E_INVALID_RECIPS, "The message counts recipients but has none.");
        const MapiRecipDesc& r = message->lpRecips[i];
        Address a;
        if (!RecipientAddress(r, a)) {
            const char* text = r.lpszAddress && *r.lpszAddress ? r.lpszAddress : r.lpszName ? r.lpszName : "";
            return Fail(MAPI_E_UNKNOWN_RECIPIENT, std::string("The recipient '") + text + "' is not an Internet mail address.");
        }
        switch (r.ulRecipClass) {
            case MAPI_TO: m.to.push_back(a); break;
            case MAPI_CC: m.cc.push_back(a); break;
            case MAPI_BCC: m.bcc.push_back(a); break;
            default: return Fail(MAPI_E_BAD_RECIPTYPE, "A recipient is neither To, Cc nor Bcc.");
        }
    }
    const bool dialog = (flags & MAPI_DIALOG) != 0;
    // Without the dialog nobody could add a recipient later.
    if (m.to.empty() && m.cc.empty() && m.bcc.empty() && !dialog)
        return Fail(MAPI_E_INVALID_RECIPS, "The message has no recipient.");
    m.subject = message->lpszSubject ? message->lpszSubject : "";
    m.body = message->lpszNoteText ? message->lpszNoteText : "";
    // Every attachment is opened and checked before anything is delivered: one that is
    // missing, too large or not a regular file stops it all. The files stay open, and the
    // outbox reads them from these descriptors a piece at a time.
    std::vector<Fd> opened;
    std::vector<std::string> paths;
    for (ULONG i = 0; i < message->nFileCount; ++i) {
        if (!message->lpFiles) return Fail(MAPI_E_ATTACHMENT_NOT_FOUND, "The message counts attachments but has none.");
        const MapiFileDesc& f = message->lpFiles[i];
        if (!f.lpszPathName || !*f.lpszPathName) return Fail(MAPI_E_ATTACHMENT_NOT_FOUND, "An attachment has no path.");
        Fd fd;
        if (ULONG code = OpenAttachment(f.lpszPathName, fd); code != SUCCESS_SUCCESS) return code;
        navo::mail::Attachment a;
        a.name = f.lpszFileName && *f.lpszFileName ? f.lpszFileName : LastComponent(f.lpszPathName);
        if (a.name.empty()) a.name = "attachment";
        a.path = f.lpszPathName;
        a.fd = fd.Get();
        opened.push_back(std::move(fd));
        m.attachments.push_back(std::move(a));
        paths.emplace_back(f.lpszPathName);
    }
    m.date = RfcDate();
    m.messageId = RandomHex(24) + "@" + HostName();

    const char* delivery = getenv("NAVOTOOLS_MAIL_DELIVERY");
    std::string mode = delivery ? delivery : "auto";
    bool desktop = (getenv("DISPLAY") && *getenv("DISPLAY")) || (getenv("WAYLAND_DISPLAY") && *getenv("WAYLAND_DISPLAY"));
    std::string saved;
    if (mode == "xdg-email" || (mode == "auto" && dialog && desktop)) {
        std::string client;
        if (!FindInPath("xdg-email", client)) {
            if (mode == "xdg-email") return Fail(MAPI_E_FAILURE, "xdg-email was not found in PATH.");
        } else {
            std::string reason;
            if (HandToClient(client, MailtoUri(m, paths), reason)) return SUCCESS_SUCCESS;
            if (mode == "xdg-email")
                return Fail(MAPI_E_FAILURE, "The desktop's mail client did not take the message: " + reason + ".");
            // Nothing is lost: the message is kept in the outbox, and the caller is told.
            if (ULONG code = PlaceInOutbox(m, saved); code != SUCCESS_SUCCESS)
                return Fail(code, "The desktop's mail client did not take the message (" + reason +
                                      "), and the outbox failed too: " + LastText());
            LastText() = "The desktop's mail client did not take the message (" + reason +
                         "); it was saved in the outbox instead: " + saved;
            fprintf(stderr, "mapi32.dll: %s\n", LastText().c_str());
            return SUCCESS_SUCCESS;
        }
    }
    return PlaceInOutbox(m, saved);
}

// Not part of Simple MAPI: the text that explains this thread's last MAPISendMail, that is
// why it failed, or where the message went when the desktop's mail client did not take
// it (the call then returned 0); empty after a plain success. Copies at most size - 1
// bytes and a terminating NUL into the buffer and returns the whole text's length.
MAPI_EXPORT ULONG WINAPI NavoMAPIGetLastText(LPSTR buffer, ULONG size) {
    if (buffer && size) {
        size_t n = std::min<size_t>(LastText().size(), size - 1);
        memcpy(buffer, LastText().data(), n);
        buffer[n] = '\0';
    }
    return ULONG(LastText().size());
}
