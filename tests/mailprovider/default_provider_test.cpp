// The default mail provider: addresses it resolves, the message it writes into the outbox
// (read back by Python's email package) with bounded memory into a private folder,
// attachments it refuses, delivery through the real xdg-email to a recording mailto:
// handler and the fallback to the outbox, and input that must neither inject headers nor
// run commands.

#include <NavoTools.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "test_app.h"

namespace {

namespace fs = std::filesystem;

std::string Hex(const std::string& bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

constexpr uint64_t kLimit = uint64_t(64) << 20;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string PercentDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// What a forked child did: how it ended, its peak resident memory and the text it sent
// back. The child is killed by an alarm after 60 s, so a call that blocks fails the test
// instead of hanging it.
struct ChildResult {
    int status = 0;
    long peakRssKiB = 0;
    std::string text;
};

ChildResult InChild(const std::function<std::string()>& work) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        alarm(60);
        std::string text = work();
        ssize_t written = write(pipeFds[1], text.data(), text.size());
        _exit(written == ssize_t(text.size()) ? 0 : 1);
    }
    close(pipeFds[1]);
    ChildResult result;
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) result.text.append(buffer, size_t(n));
    close(pipeFds[0]);
    rusage usage{};
    wait4(pid, &result.status, 0, &usage);
    result.peakRssKiB = usage.ru_maxrss;
    return result;
}

class DefaultProviderTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A state directory of the test's own: tests of this folder may run at once.
        home_ = std::string(getenv("NAVOTOOLS_HOME")) + "/" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(home_);
        setenv("NAVOTOOLS_HOME", home_.c_str(), 1);
        scratch_ = fs::path(home_) / "scratch";
        fs::create_directories(scratch_);
        setenv("NAVOTOOLS_MAIL_DELIVERY", "outbox", 1);
        ASSERT_TRUE(WritePrivateProfileStringA("MAIL", "MAPI", "1", "WIN.INI"));
    }
    void TearDown() override {
        unsetenv("NAVOTOOLS_MAIL_DELIVERY");
        for (const auto& [name, value] : savedEnvironment_) {
            if (value) setenv(name.c_str(), value->c_str(), 1);
            else unsetenv(name.c_str());
        }
        std::error_code ignored;
        fs::permissions(fs::path(home_) / "outbox", fs::perms::owner_all, fs::perm_options::replace, ignored);
        fs::remove_all(home_);
    }
    void SetEnvironment(const std::string& name, const char* value) {
        if (!savedEnvironment_.count(name)) {
            const char* old = getenv(name.c_str());
            savedEnvironment_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value) setenv(name.c_str(), value, 1);
        else unsetenv(name.c_str());
    }
    // A desktop session as xdg-email sees it, with nothing of the machine's own: no
    // desktop environment detected (so xdg-email takes its generic way through xdg-open),
    // and a mailto: handler of the test's own, registered in a sandboxed mimeapps.list,
    // that records its arguments and exits with `handlerExit`. Returns the record file.
    fs::path SandboxedDesktop(int handlerExit) {
        fs::path desktop = fs::path(home_) / "desktop";
        fs::create_directories(desktop / "config");
        fs::create_directories(desktop / "data" / "applications");
        fs::create_directories(desktop / "runtime");
        fs::path record = desktop / "handler-args.txt";
        fs::path handler = desktop / "record-mailto.sh";
        std::ofstream(handler) << "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > '" << record.string()
                               << "'\nexit " << handlerExit << "\n";
        fs::permissions(handler, fs::perms::owner_all);
        std::ofstream(desktop / "config" / "mimeapps.list")
            << "[Default Applications]\nx-scheme-handler/mailto=navotest-recorder.desktop\n";
        std::ofstream(desktop / "data" / "applications" / "navotest-recorder.desktop")
            << "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" << handler.string() << " %u\n";
        for (const char* name : {"XDG_CURRENT_DESKTOP", "KDE_FULL_SESSION", "KDE_SESSION_VERSION", "GNOME_DESKTOP_SESSION_ID",
                                 "MATE_DESKTOP_SESSION_ID", "DESKTOP_SESSION", "LXQT_SESSION_CONFIG", "DESKTOP", "MAILER",
                                 "WAYLAND_DISPLAY", "NAVOTOOLS_MAIL_DELIVERY"})
            SetEnvironment(name, nullptr);
        // xdg-email only asks whether DISPLAY is set; no X server is needed.
        SetEnvironment("DISPLAY", ":4242");
        SetEnvironment("PATH", "/usr/bin:/bin");
        SetEnvironment("XDG_CONFIG_HOME", (desktop / "config").c_str());
        SetEnvironment("XDG_CONFIG_DIRS", (desktop / "config").c_str());
        SetEnvironment("XDG_DATA_HOME", (desktop / "data").c_str());
        SetEnvironment("XDG_DATA_DIRS", (desktop / "data").c_str());
        SetEnvironment("XDG_RUNTIME_DIR", (desktop / "runtime").c_str());
        // No session bus to ask for a GNOME session, no browser to fall back on.
        SetEnvironment("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (desktop / "no-bus").string()).c_str());
        SetEnvironment("BROWSER", (desktop / "no-browser").c_str());
        return record;
    }
    std::string Sparse(const std::string& name, uint64_t size) {
        fs::path path = scratch_ / name;
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_EQ(0, ftruncate(fd, off_t(size)));
        close(fd);
        return path.string();
    }
    std::string File(const std::string& name, const std::string& bytes) {
        std::ofstream(scratch_ / name, std::ios::binary) << bytes;
        return (scratch_ / name).string();
    }
    // The text of the exception SendMail threw, or "" when it returned.
    std::string Send(const char* to, const char* subject, const char* body, const std::vector<std::string>& files) {
        CStringArray paths;
        for (const std::string& f : files) paths.Add(f.c_str());
        try {
            SendMail(CString(to), CString(subject), CString(body), paths);
        } catch (CException* e) {
            char text[1024] = {};
            e->GetErrorMessage(text, sizeof text, nullptr);
            e->Delete();
            return text;
        }
        return {};
    }
    std::vector<fs::path> Outbox() const {
        std::vector<fs::path> files;
        fs::path dir = fs::path(home_) / "outbox";
        if (fs::exists(dir))
            for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path());
        return files;
    }
    std::string Read(const fs::path& eml) const {
        return RunCommand("python3 '" + std::string(NAVOTOOLS_TEST_SOURCE_DIR) + "/read_eml.py' '" + eml.string() + "'");
    }

    std::string home_;
    fs::path scratch_;
    RecordingApp app_;
    std::map<std::string, std::optional<std::string>> savedEnvironment_;
};

TEST_F(DefaultProviderTest, OutboxMessageReadsBackExactly) {
    std::string binary;
    for (int i = 0; i < 256; ++i) binary += char(i);
    std::string text = "line one\r\nline two\r\n";
    std::vector<std::string> files = {File("report.txt", text), File("data.bin", binary),
                                      File("my \"quoted\" file 1.bin", "q"), File("R\xC3\xA9sum\xC3\xA9.txt", "cv")};
    const char* subject = "\xC3\x9C" "berblick: Q3 report with a subject long enough to need folding, "
                          "and then some more words";
    const char* body = "Hello Ann,\r\nthe caf\xC3\xA9 figures are attached.\r\n";
    ASSERT_EQ("", Send("Ann Example <ann@example.org>", subject, body, files));
    std::vector<fs::path> outbox = Outbox();
    ASSERT_EQ(1u, outbox.size());
    EXPECT_EQ(".eml", outbox[0].extension());
    std::string seen = Read(outbox[0]);
    std::string expected = "defects: 0\n"
                           "to: Ann Example <ann@example.org>\n"
                           "from-present: True\n"
                           "subject: '" + std::string(subject) + "'\n"
                           "bcc-count: 0\n"
                           "headers: content-type,date,from,message-id,mime-version,subject,to,x-unsent\n"
                           "body: " + Hex(body) + "\n"
                           "attachment: 'report.txt' " + Hex(text) + "\n"
                           "attachment: 'data.bin' " + Hex(binary) + "\n"
                           "attachment: 'my \"quoted\" file 1.bin' " + Hex("q") + "\n"
                           "attachment: 'R\xC3\xA9sum\xC3\xA9.txt' " + Hex("cv") + "\n";
    EXPECT_EQ(expected, seen);
}

TEST_F(DefaultProviderTest, LineBreaksInASubjectCannotAddHeaders) {
    ASSERT_EQ("", Send("ann@example.org", "Hi\r\nBcc: evil@example.org\nX-Evil: 1", "b", {}));
    std::vector<fs::path> outbox = Outbox();
    ASSERT_EQ(1u, outbox.size());
    std::string seen = Read(outbox[0]);
    EXPECT_NE(std::string::npos, seen.find("bcc-count: 0\n")) << seen;
    EXPECT_EQ(std::string::npos, seen.find("x-evil")) << seen;
    EXPECT_NE(std::string::npos, seen.find("subject: 'Hi  Bcc: evil@example.org X-Evil: 1'")) << seen;
}

TEST_F(DefaultProviderTest, MissingAttachmentDeliversNothing) {
    ScopedUILanguage english(kEnglishUS);
    std::vector<std::string> files = {File("present.txt", "x"), (scratch_ / "absent.txt").string()};
    EXPECT_EQ("Error of sending a mail.\n\nDetails: [0x0000000B] The attachment '" + files[1] + "' does not exist.",
              Send("ann@example.org", "s", "b", files));
    EXPECT_TRUE(Outbox().empty());
}

// A FIFO would block an open() without O_NONBLOCK forever; each is refused at once.
TEST_F(DefaultProviderTest, AttachmentsThatAreNotRegularFilesAreRefusedWithoutBlocking) {
    ScopedUILanguage english(kEnglishUS);
    std::string fifo = (scratch_ / "pipe").string();
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    for (const std::string& path : {fifo, scratch_.string(), std::string("/dev/null")}) {
        ChildResult child = InChild([&] { return Send("ann@example.org", "s", "b", {File("ok.txt", "x"), path}); });
        EXPECT_TRUE(WIFEXITED(child.status)) << path << " blocked";
        EXPECT_EQ("Error of sending a mail.\n\nDetails: [0x0000000C] The attachment '" + path + "' is not a regular file.",
                  child.text);
    }
    EXPECT_TRUE(Outbox().empty());
}

TEST_F(DefaultProviderTest, AttachmentOverTheLimitNamesTheFileAndTheLimit) {
    ScopedUILanguage english(kEnglishUS);
    std::string big = Sparse("big.bin", kLimit + 1);
    EXPECT_EQ("Error of sending a mail.\n\nDetails: [0x0000000C] The attachment '" + big +
                  "' is larger than the limit of 64 MiB (67108864 bytes).",
              Send("ann@example.org", "s", "b", {File("small.txt", "x"), big}));
    EXPECT_TRUE(Outbox().empty());
}

// Ten attachments of the largest size allowed (sparse files, made at once) go through
// in pieces: the sending process never holds a whole attachment.
TEST_F(DefaultProviderTest, LargeAttachmentsAreWrittenWithBoundedMemory) {
    std::vector<std::string> files;
    for (int i = 0; i < 10; ++i) files.push_back(Sparse("large" + std::to_string(i) + ".bin", kLimit));
    ChildResult child = InChild([&] { return Send("ann@example.org", "large", "b", files); });
    ASSERT_TRUE(WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0);
    EXPECT_EQ("", child.text);
    EXPECT_LT(child.peakRssKiB, 64 * 1024) << "peak RSS " << child.peakRssKiB << " KiB";
    printf("peak RSS of the sending process: %ld KiB\n", child.peakRssKiB);
    std::vector<fs::path> outbox = Outbox();
    ASSERT_EQ(1u, outbox.size());
    // Each attachment: 89,478,488 base64 characters in lines of 76 plus CR LF.
    EXPECT_GT(fs::file_size(outbox[0]), 10 * (kLimit / 3 * 4 + kLimit / 57 * 2));
    std::ifstream eml(outbox[0], std::ios::binary);
    eml.seekg(-4, std::ios::end);
    char tail[5] = {};
    eml.read(tail, 4);
    EXPECT_EQ(std::string("--\r\n"), tail);
}

// The outbox folder and its files are private whatever the umask, and an outbox that is
// a symbolic link or that others can write is refused, with nothing written through it.
TEST_F(DefaultProviderTest, OutboxIsPrivateWhateverTheUmask) {
    for (mode_t mask : {mode_t(0), mode_t(0277)}) {
        fs::remove_all(fs::path(home_) / "outbox");
        mode_t previous = umask(mask);
        std::string text = Send("ann@example.org", "s", "b", {File("a.txt", "x")});
        umask(previous);
        EXPECT_EQ("", text) << std::oct << mask;
        struct stat st{};
        ASSERT_EQ(0, lstat((fs::path(home_) / "outbox").c_str(), &st));
        EXPECT_EQ(0700u, st.st_mode & 07777) << std::oct << mask;
        std::vector<fs::path> outbox = Outbox();
        ASSERT_EQ(1u, outbox.size());
        ASSERT_EQ(0, lstat(outbox[0].c_str(), &st));
        EXPECT_EQ(0600u, st.st_mode & 07777) << std::oct << mask;
    }
}

TEST_F(DefaultProviderTest, OutboxThatIsALinkOrOpenToOthersIsRefused) {
    ScopedUILanguage english(kEnglishUS);
    fs::path outbox = fs::path(home_) / "outbox";
    fs::path elsewhere = scratch_ / "elsewhere";
    fs::create_directories(elsewhere);
    struct Case {
        std::function<void()> make;
        std::string reason;
    };
    const Case cases[] = {
        {[&] { fs::create_directory_symlink(elsewhere, outbox); },
         "The outbox '" + outbox.string() + "' is not a folder but a symbolic link or a file."},
        {[&] {
             fs::create_directory(outbox);
             fs::permissions(outbox, fs::perms::all, fs::perm_options::replace);
         },
         "The outbox folder '" + outbox.string() + "' can be written by other users; make it private (chmod 700)."},
    };
    for (const Case& c : cases) {
        fs::remove_all(outbox);
        c.make();
        EXPECT_EQ("Error of sending a mail.\n\nDetails: [0x00000006] " + c.reason, Send("ann@example.org", "s", "b", {}));
        EXPECT_TRUE(fs::is_empty(elsewhere));
    }
}

TEST_F(DefaultProviderTest, ResolvesAddressFormsAndRefusesTheRest) {
    ScopedUILanguage english(kEnglishUS);
    for (const char* good : {"ann@example.org", "Ann <ann@example.org>", "SMTP:ann@example.org",
                             "\"Example, Ann\" <SMTP:ann@example.org>", "`touch${IFS}PWNED`@example.org"}) {
        EXPECT_EQ("", Send(good, "s", "b", {})) << good;
    }
    EXPECT_EQ(5u, Outbox().size());
    for (const char* bad : {"", "ann", "ann@", "@example.org", "Ann <ann@example.org", "$(touch PWNED)@example.org",
                            "ann@example.org\r\nBcc: x@y.z", "a b@example.org", "ann@example..org"}) {
        std::string text = Send(bad, "s", "b", {});
        EXPECT_EQ("Error of resolving address '" + std::string(bad) + "'.\n\nDetails: [0x0000000E]", text) << bad;
    }
    EXPECT_FALSE(fs::exists("PWNED"));
    EXPECT_FALSE(fs::exists(scratch_ / "PWNED"));
}

// The real xdg-email of xdg-utils, in a desktop session without a detected desktop
// environment, hands the message to the registered mailto: handler. The handler gets one
// mailto: URI that holds every text unchanged, an address that starts with '-' included.
TEST_F(DefaultProviderTest, DesktopClientGetsTheWholeMessageAsOneMailtoUri) {
    ASSERT_TRUE(fs::exists("/usr/bin/xdg-email")) << "xdg-utils is not installed";
    fs::path record = SandboxedDesktop(0);
    std::string attachment = File("a 'b' $(c).txt", "x");
    const char* subject = "$(touch PWNED); `id` \\n 100% & more?";
    const char* body = "C:\\new\r\nline 2; rm -rf /\nd\xC3\xA9j\xC3\xA0 vu";
    EXPECT_EQ("", Send("-x@example.org", subject, body, {attachment}));
    std::string args = Slurp(record);
    ASSERT_EQ(1, std::count(args.begin(), args.end(), '\n')) << args;
    ASSERT_EQ(0u, args.find("[mailto:")) << args;
    std::string uri = args.substr(8, args.size() - 10);
    std::map<std::string, std::string> fields;
    size_t query = uri.find('?');
    fields["to"] = PercentDecode(uri.substr(0, query));
    std::stringstream rest(uri.substr(query + 1));
    for (std::string field; std::getline(rest, field, '&');)
        fields[field.substr(0, field.find('='))] = PercentDecode(field.substr(field.find('=') + 1));
    std::map<std::string, std::string> expected = {{"to", "-x@example.org"},
                                                   {"subject", subject},
                                                   {"body", "C:\\new\r\nline 2; rm -rf /\r\nd\xC3\xA9j\xC3\xA0 vu"},
                                                   {"attach", fs::canonical(attachment).string()}};
    EXPECT_EQ(expected, fields);
    EXPECT_FALSE(fs::exists("PWNED"));
    EXPECT_TRUE(Outbox().empty());
}

// When the desktop's client does not take the message, it is kept in the outbox and the
// provider says where; when xdg-email was asked for by name, the send fails instead.
TEST_F(DefaultProviderTest, MessageTheDesktopDoesNotTakeGoesToTheOutbox) {
    ASSERT_TRUE(fs::exists("/usr/bin/xdg-email")) << "xdg-utils is not installed";
    ScopedUILanguage english(kEnglishUS);
    fs::path record = SandboxedDesktop(1);
    const std::string refused = "The desktop's mail client did not take the message";
    const std::string status = "/usr/bin/xdg-email exited with status 4";

    EXPECT_EQ("", Send("ann@example.org", "kept", "b", {File("a.txt", "x")}));
    EXPECT_TRUE(fs::exists(record));
    std::vector<fs::path> outbox = Outbox();
    ASSERT_EQ(1u, outbox.size());
    EXPECT_NE(std::string::npos, Read(outbox[0]).find("subject: 'kept'"));
    HMODULE provider = LoadLibraryA("MAPI32.DLL");
    ASSERT_NE(nullptr, provider);
    auto lastText = reinterpret_cast<ULONG(WINAPI*)(LPSTR, ULONG)>(
        reinterpret_cast<void (*)()>(GetProcAddress(provider, "NavoMAPIGetLastText")));
    ASSERT_NE(nullptr, lastText);
    char text[1024] = {};
    ULONG length = lastText(text, sizeof text);
    EXPECT_EQ(refused + " (" + status + "); it was saved in the outbox instead: " + outbox[0].string(), text);
    EXPECT_EQ(strlen(text), length);

    fs::remove(outbox[0]);
    SetEnvironment("NAVOTOOLS_MAIL_DELIVERY", "xdg-email");
    EXPECT_EQ("Error of sending a mail.\n\nDetails: [0x00000002] " + refused + ": " + status + ".",
              Send("ann@example.org", "s", "b", {}));
    EXPECT_TRUE(Outbox().empty());
}

}  // namespace
