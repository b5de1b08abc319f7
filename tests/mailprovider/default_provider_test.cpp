// The default mail provider: addresses it resolves, the message it writes into the outbox
// (read back by Python's email package), delivery through a desktop mail client's command,
// and input that must neither inject headers nor run commands.

#include <NavoTools.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
        fs::remove_all(home_);
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
    EXPECT_EQ("Error of sending a mail.\n\nDetails: [0x0000000B] ", Send("ann@example.org", "s", "b", files));
    EXPECT_TRUE(Outbox().empty());
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

TEST_F(DefaultProviderTest, DesktopClientGetsEveryTextAsOneArgument) {
    // A stand-in for xdg-email that writes its arguments one per line.
    fs::path bin = scratch_ / "bin";
    fs::create_directories(bin);
    std::string out = (scratch_ / "args.txt").string();
    {
        std::ofstream script(bin / "xdg-email");
        script << "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > '" << out << "'\n";
    }
    fs::permissions(bin / "xdg-email", fs::perms::owner_all);
    std::string path = bin.string() + ":" + getenv("PATH");
    std::string oldPath = getenv("PATH");
    setenv("PATH", path.c_str(), 1);
    setenv("NAVOTOOLS_MAIL_DELIVERY", "xdg-email", 1);
    std::string attachment = File("a 'b' $(c).txt", "x");
    std::string result = Send("-x@example.org", "$(touch PWNED); `id`", "body; rm -rf /", {attachment});
    setenv("PATH", oldPath.c_str(), 1);
    EXPECT_EQ("", result);
    std::ifstream in(out);
    std::stringstream args;
    args << in.rdbuf();
    EXPECT_EQ("[--utf8]\n[--subject]\n[$(touch PWNED); `id`]\n[--body]\n[body; rm -rf /]\n[--attach]\n[" + attachment +
                  "]\n[--]\n[-x@example.org]\n",
              args.str());
    EXPECT_FALSE(fs::exists("PWNED"));
    EXPECT_TRUE(Outbox().empty());
}

}  // namespace
