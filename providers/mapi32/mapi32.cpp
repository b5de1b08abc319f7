// The default Simple MAPI provider on Linux, loaded as MAPI32.DLL (mapi32.dll.so).
//
// It resolves Internet addresses and delivers a message in one of two ways:
//  - with MAPI_DIALOG in a desktop session that has xdg-email, the message goes to the
//    user's mail client for review (xdg-email, started without a shell);
//  - otherwise it is written as a standards-conforming .eml file into the outbox of the
//    emulated system state (<state directory>/outbox), atomically.
// NAVOTOOLS_MAIL_DELIVERY=outbox or =xdg-email forces one way; NAVOTOOLS_MAIL_FROM sets
// the sender.

#include <windows.h>

#include <mapi.h>

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
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

extern char** environ;

namespace {

using navo::mail::Address;

constexpr size_t kMaxAttachmentBytes = size_t(64) << 20;

std::mutex g_lock;
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

bool ReadFile(const char* path, std::string& bytes, ULONG& error) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno == ENOENT || errno == ENOTDIR ? MAPI_E_ATTACHMENT_NOT_FOUND : MAPI_E_ATTACHMENT_OPEN_FAILURE;
        return false;
    }
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || size_t(st.st_size) > kMaxAttachmentBytes) {
        close(fd);
        error = MAPI_E_ATTACHMENT_OPEN_FAILURE;
        return false;
    }
    bytes.resize(size_t(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += size_t(n);
    }
    close(fd);
    if (done != bytes.size()) {
        error = MAPI_E_ATTACHMENT_OPEN_FAILURE;
        return false;
    }
    return true;
}

std::string LastComponent(const char* path) {
    std::string p = path ? path : "";
    size_t cut = p.find_last_of("/\\");
    return cut == std::string::npos ? p : p.substr(cut + 1);
}

bool FindInPath(const char* program, std::string& found) {
    const char* path = getenv("PATH");
    std::string rest = path ? path : "/usr/bin:/bin";
    while (true) {
        size_t colon = rest.find(':');
        std::string dir = rest.substr(0, colon);
        std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) {
            found = candidate;
            return true;
        }
        if (colon == std::string::npos) return false;
        rest.erase(0, colon + 1);
    }
}

// Hands the message to the desktop's mail client. Every text is one element of the
// argument vector: nothing is ever read by a shell.
ULONG HandToClient(const std::string& program, const navo::mail::Message& m, const std::vector<std::string>& files) {
    std::vector<std::string> args = {program, "--utf8"};
    for (const Address& a : m.cc) args.insert(args.end(), {"--cc", a.address});
    for (const Address& a : m.bcc) args.insert(args.end(), {"--bcc", a.address});
    if (!m.subject.empty()) args.insert(args.end(), {"--subject", m.subject});
    if (!m.body.empty()) args.insert(args.end(), {"--body", m.body});
    for (const std::string& f : files) args.insert(args.end(), {"--attach", f});
    // "--" keeps an address that starts with '-' from reading as an option.
    args.push_back("--");
    for (const Address& a : m.to) args.push_back(a.address);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return MAPI_E_FAILURE;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ULONG(SUCCESS_SUCCESS) : ULONG(MAPI_E_FAILURE);
}

ULONG PlaceInOutbox(const std::string& bytes) {
    char state[4096];
    DWORD n = NavoGetStateDirectoryA(state, sizeof state, TRUE);
    if (n == 0 || n >= sizeof state) return MAPI_E_FAILURE;
    std::string outbox = std::string(state) + "/outbox";
    if (mkdir(outbox.c_str(), 0700) != 0 && errno != EEXIST) return MAPI_E_DISK_FULL;
    static std::atomic<unsigned> counter{0};
    char stamp[32];
    time_t now = time(nullptr);
    tm utc{};
    gmtime_r(&now, &utc);
    strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    std::string name = std::string(stamp) + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
                       RandomHex(6) + ".eml";
    std::string temp = outbox + "/." + name + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return MAPI_E_DISK_FULL;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t w = write(fd, bytes.data() + done, bytes.size() - done);
        if (w <= 0) break;
        done += size_t(w);
    }
    bool ok = done == bytes.size() && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    // Renamed into place only when whole: a reader of the outbox never sees half a mail.
    if (!ok || rename(temp.c_str(), (outbox + "/" + name).c_str()) != 0) {
        unlink(temp.c_str());
        return MAPI_E_DISK_FULL;
    }
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
    if (!message) return MAPI_E_FAILURE;
    if (session && !ValidSession(session)) return MAPI_E_INVALID_SESSION;
    navo::mail::Message m;
    m.from = Sender();
    for (ULONG i = 0; i < message->nRecipCount; ++i) {
        if (!message->lpRecips) return MAPI_E_INVALID_RECIPS;
        const MapiRecipDesc& r = message->lpRecips[i];
        Address a;
        if (!RecipientAddress(r, a)) return MAPI_E_UNKNOWN_RECIPIENT;
        switch (r.ulRecipClass) {
            case MAPI_TO: m.to.push_back(a); break;
            case MAPI_CC: m.cc.push_back(a); break;
            case MAPI_BCC: m.bcc.push_back(a); break;
            default: return MAPI_E_BAD_RECIPTYPE;
        }
    }
    const bool dialog = (flags & MAPI_DIALOG) != 0;
    // Without the dialog nobody could add a recipient later.
    if (m.to.empty() && m.cc.empty() && m.bcc.empty() && !dialog) return MAPI_E_INVALID_RECIPS;
    m.subject = message->lpszSubject ? message->lpszSubject : "";
    m.body = message->lpszNoteText ? message->lpszNoteText : "";
    std::vector<std::string> paths;
    for (ULONG i = 0; i < message->nFileCount; ++i) {
        if (!message->lpFiles) return MAPI_E_ATTACHMENT_NOT_FOUND;
        const MapiFileDesc& f = message->lpFiles[i];
        if (!f.lpszPathName || !*f.lpszPathName) return MAPI_E_ATTACHMENT_NOT_FOUND;
        navo::mail::Attachment a;
        ULONG error = SUCCESS_SUCCESS;
        // Every file is read before anything is delivered: a missing one stops it all.
        if (!ReadFile(f.lpszPathName, a.bytes, error)) return error;
        a.name = f.lpszFileName && *f.lpszFileName ? f.lpszFileName : LastComponent(f.lpszPathName);
        if (a.name.empty()) a.name = "attachment";
        m.attachments.push_back(std::move(a));
        paths.emplace_back(f.lpszPathName);
    }
    m.date = RfcDate();
    m.messageId = RandomHex(24) + "@" + HostName();

    const char* delivery = getenv("NAVOTOOLS_MAIL_DELIVERY");
    std::string mode = delivery ? delivery : "auto";
    std::string client;
    bool desktop = (getenv("DISPLAY") && *getenv("DISPLAY")) || (getenv("WAYLAND_DISPLAY") && *getenv("WAYLAND_DISPLAY"));
    if (mode == "xdg-email" || (mode == "auto" && dialog && desktop)) {
        if (FindInPath("xdg-email", client)) return HandToClient(client, m, paths);
        if (mode == "xdg-email") return MAPI_E_FAILURE;
    }
    return PlaceInOutbox(navo::mail::Compose(m, "=_navotools_" + RandomHex(24)));
}
