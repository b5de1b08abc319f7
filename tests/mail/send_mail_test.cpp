// SendMail against a recording provider: the exact calls, their arguments and order, and
// the exceptions for each failure.

#include <NavoTools.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "test_app.h"

namespace {

const std::string kBin = NAVOTOOLS_TEST_BINARY_DIR;

// A state directory of the test's own (WIN.INI lives there): the tests of this folder run
// at once, and one test's MAPI=1 must not reach another's MAPI=0.
void UseOwnStateDirectory() {
    static const std::string base = getenv("NAVOTOOLS_HOME");
    std::string home = base + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(home);
    setenv("NAVOTOOLS_HOME", home.c_str(), 1);
}

using ScriptFn = void (*)(ULONG, ULONG, ULONG, ULONG);
using LogFn = const char* (*)();

class SendMailTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseOwnStateDirectory();
        setenv("NAVOTOOLS_LIBRARY_PATH", (kBin + "/recording_mapi").c_str(), 1);
        ASSERT_TRUE(WritePrivateProfileStringA("MAIL", "MAPI", "1", "WIN.INI"));
    }
    void TearDown() override { unsetenv("NAVOTOOLS_LIBRARY_PATH"); }

    // Loads the provider as SendMail will find it and scripts its answers.
    void Script(ULONG logon, ULONG resolve, ULONG send, ULONG logoff) {
        HMODULE provider = LoadLibraryA("MAPI32.DLL");
        ASSERT_NE(nullptr, provider) << GetLastError();
        script_ = reinterpret_cast<ScriptFn>(reinterpret_cast<void (*)()>(GetProcAddress(provider, "RecordingScript")));
        log_ = reinterpret_cast<LogFn>(reinterpret_cast<void (*)()>(GetProcAddress(provider, "RecordingLog")));
        ASSERT_NE(nullptr, script_);
        ASSERT_NE(nullptr, log_);
        script_(logon, resolve, send, logoff);
    }
    std::string Log() const { return log_(); }

    // Runs SendMail; the text of the exception it threw, or "" when it returned.
    std::string Send(const char* to, const CStringArray& files) {
        try {
            SendMail(CString(to), CString("Report"), CString("See attached."), files);
        } catch (CException* e) {
            char text[1024] = {};
            EXPECT_TRUE(e->GetErrorMessage(text, sizeof text, nullptr));
            e->Delete();
            return text;
        }
        return {};
    }
    bool CursorEnded() const {
        int depth = 0;
        for (int c : app_.cursorCalls) depth += c == 1 ? 1 : c == -1 ? -1 : 0;
        return depth == 0 && !app_.cursorCalls.empty();
    }

    RecordingApp app_;
    ScriptFn script_ = nullptr;
    LogFn log_ = nullptr;
};

const char kLogon[] = "MAPILogon ui=0 profile=null password=null flags=1 reserved=0 session=0\n";
const char kResolve[] = "MAPIResolveName session=77 ui=0 name=\"Ann <ann@example.org>\" flags=1 reserved=0\n";
const char kSendHead[] =
    "MAPISendMail session=77 ui=0 flags=8 reserved=0 msg.reserved=0 subject=\"Report\" note=\"See attached.\" "
    "type=null date=null conversation=null msg.flags=0 originator=null recips=1 recip=resolved";
const char kFree[] = "MAPIFreeBuffer resolved\n";
const char kLogoff[] = "MAPILogoff session=77 ui=0 flags=1 reserved=0\n";

TEST_F(SendMailTest, MakesTheCallsInOrderWithTheirFlags) {
    Script(0, 0, 0, 0);
    CStringArray files;
    files.Add("C:\\Data\\report.txt");
    files.Add("C:\\Data\\README");
    files.Add("C:\\Data\\");
    EXPECT_EQ("", Send("Ann <ann@example.org>", files));
    EXPECT_EQ(std::string(kLogon) + kResolve + kSendHead + " files=3 lpFiles=set" +
                  "\n  file reserved=0 flags=0 position=0 path=\"C:\\Data\\report.txt\" name=\"report.txt\" type=null"
                  "\n  file reserved=0 flags=0 position=0 path=\"C:\\Data\\README\" name=\"README\" type=null"
                  "\n  file reserved=0 flags=0 position=0 path=\"C:\\Data\\\" name=\"\" type=null"
                  "\n  next record clear\n" +
                  kFree + kLogoff,
              Log());
    EXPECT_TRUE(CursorEnded());
}

TEST_F(SendMailTest, NoAttachmentsStillPassTheClearedArray) {
    Script(0, 0, 0, 0);
    EXPECT_EQ("", Send("Ann <ann@example.org>", CStringArray()));
    EXPECT_NE(std::string::npos, Log().find(" files=0 lpFiles=set\n  next record clear\n"));
}

TEST_F(SendMailTest, TakesAtMostTenAttachments) {
    Script(0, 0, 0, 0);
    CStringArray files;
    for (int i = 0; i < 12; ++i) files.Add(CString("/data/file") + char('a' + i) + ".bin");
    EXPECT_EQ("", Send("Ann <ann@example.org>", files));
    std::string log = Log();
    EXPECT_NE(std::string::npos, log.find(" files=10 "));
    EXPECT_NE(std::string::npos, log.find("name=\"filej.bin\""));
    EXPECT_EQ(std::string::npos, log.find("filek"));
    EXPECT_EQ(std::string::npos, log.find("filel"));
}

TEST_F(SendMailTest, LogonFailuresCarryTheirReasons) {
    ScopedUILanguage english(kEnglishUS);
    struct Case {
        ULONG code;
        std::string text;
    } cases[] = {
        {3, "MAPI Logon failed.\n\nDetails: [0x00000003] There was no default logon, and the user failed to log on "
            "successfully when the logon dialog box was displayed. No session handle was returned."},
        {1, "MAPI Logon failed.\n\nDetails: [0x00000001] The user canceled one of the dialog boxes. No message was "
            "sent."},
        {2, "MAPI Logon failed.\n\nDetails: [0x00000002] "},
    };
    for (const Case& c : cases) {
        Script(c.code, 0, 0, 0);
        EXPECT_EQ(c.text, Send("Ann <ann@example.org>", CStringArray())) << c.code;
        EXPECT_EQ(kLogon, Log()) << c.code;  // nothing after the failed logon
    }
    EXPECT_TRUE(CursorEnded());
}

TEST_F(SendMailTest, ResolveFailureShowsTheRecipientAsGivenAndClosesTheSession) {
    ScopedUILanguage english(kEnglishUS);
    Script(0, 14, 0, 0);
    EXPECT_EQ("Error of resolving address 'Ann <ann@example.org>'.\n\nDetails: [0x0000000E]",
              Send("Ann <ann@example.org>", CStringArray()));
    EXPECT_EQ(std::string(kLogon) + kResolve + kLogoff, Log());
    EXPECT_TRUE(CursorEnded());
}

TEST_F(SendMailTest, CancelledSendReleasesTheRecipientFirst) {
    ScopedUILanguage english(kEnglishUS);
    Script(0, 0, 1, 0);
    EXPECT_EQ("Error of sending a mail.\n\nDetails: [0x00000001] The user canceled one of the dialog boxes. No "
              "message was sent.",
              Send("Ann <ann@example.org>", CStringArray()));
    EXPECT_EQ(std::string(kLogon) + kResolve + kSendHead + " files=0 lpFiles=set\n  next record clear\n" + kFree +
                  kLogoff,
              Log());
    Script(0, 0, 11, 0);
    EXPECT_EQ("Error of sending a mail.\n\nDetails: [0x0000000B] ", Send("Ann <ann@example.org>", CStringArray()));
}

TEST_F(SendMailTest, LogoffFailureAfterTheHandOver) {
    ScopedUILanguage english(kEnglishUS);
    Script(0, 0, 0, 2);
    EXPECT_EQ("MAPI Logoff failed.\n\nDetails: [0x00000002]", Send("Ann <ann@example.org>", CStringArray()));
    std::string log = Log();
    EXPECT_LT(log.find("MAPISendMail"), log.find("MAPILogoff"));
    EXPECT_TRUE(CursorEnded());
}

TEST_F(SendMailTest, DisabledOrMissingKeyDoesNothing) {
    for (const char* value : std::initializer_list<const char*>{"0", nullptr}) {
        ASSERT_TRUE(WritePrivateProfileStringA("MAIL", "MAPI", value, "WIN.INI"));
        EXPECT_EQ("", Send("Ann <ann@example.org>", CStringArray()));
        EXPECT_EQ(nullptr, GetModuleHandleA("MAPI32.DLL"));
    }
    EXPECT_TRUE(CursorEnded());
}

TEST_F(SendMailTest, EmptyValueCountsAsAvailable) {
    ASSERT_TRUE(WritePrivateProfileStringA("MAIL", "MAPI", "", "WIN.INI"));
    Script(0, 0, 0, 0);
    EXPECT_EQ("", Send("Ann <ann@example.org>", CStringArray()));
    EXPECT_EQ(0u, Log().find("MAPILogon"));
}

std::string SendExpectingException() {
    try {
        SendMail(CString("a@example.org"), CString("s"), CString("b"), CStringArray());
    } catch (CException* e) {
        char buffer[512] = {};
        e->GetErrorMessage(buffer, sizeof buffer, nullptr);
        e->Delete();
        return buffer;
    }
    return "(no exception)";
}

TEST(SendMailProvider, ProviderLackingAFunctionIsRefusedBeforeAnyCall) {
    UseOwnStateDirectory();
    RecordingApp app;
    ASSERT_TRUE(WritePrivateProfileStringA("MAIL", "MAPI", "1", "WIN.INI"));
    // Loaded by path first, it answers to the name MAPI32.DLL from then on.
    ASSERT_NE(nullptr, LoadLibraryA((kBin + "/partial_mapi/mapi32.dll.so").c_str()));
    EXPECT_EQ("The mail provider MAPI32.DLL has no function MAPIFreeBuffer: no mail was sent.",
              SendExpectingException());
}

TEST(SendMailProvider, ProviderThatDoesNotLoadIsAnException) {
    UseOwnStateDirectory();
    RecordingApp app;
    ASSERT_TRUE(WritePrivateProfileStringA("MAIL", "MAPI", "1", "WIN.INI"));
    std::string folder = kBin + "/broken_mapi";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/MAPI32.DLL") << "not a module";
    setenv("NAVOTOOLS_LIBRARY_PATH", folder.c_str(), 1);
    std::string text = SendExpectingException();
    unsetenv("NAVOTOOLS_LIBRARY_PATH");
    EXPECT_EQ(0u, text.find("The mail provider MAPI32.DLL cannot be loaded: no mail was sent.\n\nDetails: [0x000000C1] "))
        << text;
}

}  // namespace
