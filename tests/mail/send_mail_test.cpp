// SendMail against a recording provider: the exact calls, their arguments and order, and
// the exceptions for each failure.

#include <NavoTools.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "test_app.h"
#include "test_constants.h"

namespace {


// The providers' file name in their folders: the ELF object mapi32.dll.so on Linux, the
// DLL mapi32.dll on Windows.
#if defined(_WIN32)
const char kProviderFile[] = "mapi32.dll";
#else
const char kProviderFile[] = "mapi32.dll.so";
#endif

// A state directory of the test's own (WIN.INI lives there): the tests of this folder run
// at once, and one test's MAPI=1 must not reach another's MAPI=0. On Windows WIN.INI is the
// one of the Windows folder: the tests run one at a time instead (RUN_SERIAL) and put back
// what they changed (MapiSettingGuard).
void UseOwnStateDirectory() {
#if !defined(_WIN32)
    static const std::string base = getenv("NAVOTOOLS_HOME");
    std::string home = base + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(home);
    setenv("NAVOTOOLS_HOME", home.c_str(), 1);
#endif
}

// Puts [MAIL] MAPI of WIN.INI back as it was when the guard was made: the value under the
// key's own spelling, or no key, or no section at all.
class MapiSettingGuard {
public:
    MapiSettingGuard() {
        char names[4096] = {};
        GetPrivateProfileStringA(nullptr, nullptr, "", names, sizeof names, "WIN.INI");
        for (const char* name = names; *name; name += strlen(name) + 1)
            hadSection_ = hadSection_ || SameNoCase(name, "MAIL");
        memset(names, 0, sizeof names);
        GetPrivateProfileStringA("MAIL", nullptr, "", names, sizeof names, "WIN.INI");
        for (const char* name = names; *name; name += strlen(name) + 1)
            if (SameNoCase(name, "MAPI")) key_ = name;
        char value[256] = {};
        GetPrivateProfileStringA("MAIL", "MAPI", kAbsent, value, sizeof value, "WIN.INI");
        if (strcmp(value, kAbsent) != 0) value_ = value;
    }
    ~MapiSettingGuard() {
        if (value_) {
            // Deleted first, so that the key comes back as it was spelled.
            WritePrivateProfileStringA("MAIL", "MAPI", nullptr, "WIN.INI");
            WritePrivateProfileStringA("MAIL", key_.c_str(), value_->c_str(), "WIN.INI");
        }
        else if (hadSection_) WritePrivateProfileStringA("MAIL", "MAPI", nullptr, "WIN.INI");
        else WritePrivateProfileStringA("MAIL", nullptr, nullptr, "WIN.INI");
    }
    MapiSettingGuard(const MapiSettingGuard&) = delete;
    MapiSettingGuard& operator=(const MapiSettingGuard&) = delete;

private:
    static bool SameNoCase(const char* a, const char* b) {
        for (; *a && *b; ++a, ++b)
            if (tolower(static_cast<unsigned char>(*a)) != tolower(static_cast<unsigned char>(*b))) return false;
        return *a == *b;
    }
    static constexpr char kAbsent[] = "(no such key)";
    bool hadSection_ = false;
    std::string key_ = "MAPI";
    std::optional<std::string> value_;
};

// Makes the provider in `folder` the one LoadLibraryA("MAPI32.DLL") gives. On Linux the
// folder goes on NAVOTOOLS_LIBRARY_PATH, where the bare name is looked for. On Windows the
// provider is loaded by its path: a module whose base name is already loaded is what a bare
// name gives, before any folder is searched (the system's own MAPI32.DLL included).
void ChooseProvider(const std::string& folder) {
#if defined(_WIN32)
    ASSERT_NE(nullptr, LoadLibraryA((kBin + "/" + folder + "/" + kProviderFile).c_str())) << GetLastError();
#else
    setenv("NAVOTOOLS_LIBRARY_PATH", (kBin + "/" + folder).c_str(), 1);
#endif
}

using ScriptFn = void (*)(ULONG, ULONG, ULONG, ULONG);
using LogFn = const char* (*)();

class SendMailTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseOwnStateDirectory();
        iniGuard_.emplace();
        ChooseProvider("recording_mapi");
        ASSERT_TRUE(WritePrivateProfileStringA("MAIL", "MAPI", "1", "WIN.INI"));
    }
    void TearDown() override {
        unsetenv("NAVOTOOLS_LIBRARY_PATH");
        iniGuard_.reset();
    }

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
    std::string Log() const { return log_ ? log_() : "(no provider)"; }

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

    std::optional<MapiSettingGuard> iniGuard_;
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

// The application's default wait cursor is the platform's IDC_WAIT while the mail client
// works, and the cursor of before once SendMail returns.
TEST_F(SendMailTest, TheWaitCursorIsShownWhileTheClientWorks) {
    Script(0, 0, 0, 0);
    HMODULE provider = LoadLibraryA("MAPI32.DLL");
    auto waitAtSend = reinterpret_cast<BOOL (*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(provider, "RecordingWaitCursorAtSend")));
    ASSERT_NE(nullptr, waitAtSend);
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    HCURSOR before = SetCursor(arrow);
    EXPECT_EQ("", Send("Ann <ann@example.org>", CStringArray()));
    EXPECT_TRUE(waitAtSend());
    EXPECT_EQ(GetCursor(), arrow);
    SetCursor(before);
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
#if defined(_WIN32)
    // The provider is loaded already (by path, in SetUp): no call may reach it.
    Script(0, 0, 0, 0);
#endif
    for (const char* value : std::initializer_list<const char*>{"0", nullptr}) {
        ASSERT_TRUE(WritePrivateProfileStringA("MAIL", "MAPI", value, "WIN.INI"));
        EXPECT_EQ("", Send("Ann <ann@example.org>", CStringArray()));
#if defined(_WIN32)
        EXPECT_EQ("", Log());
#else
        EXPECT_EQ(nullptr, GetModuleHandleA("MAPI32.DLL"));
#endif
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
    MapiSettingGuard iniGuard;
    RecordingApp app;
    ASSERT_TRUE(WritePrivateProfileStringA("MAIL", "MAPI", "1", "WIN.INI"));
    // Loaded by path first, it answers to the name MAPI32.DLL from then on.
    ASSERT_NE(nullptr, LoadLibraryA((kBin + "/partial_mapi/" + kProviderFile).c_str()));
    EXPECT_EQ("The mail provider MAPI32.DLL has no function MAPIFreeBuffer: no mail was sent.",
              SendExpectingException());
}

TEST(SendMailProvider, ProviderThatDoesNotLoadIsAnException) {
    UseOwnStateDirectory();
    MapiSettingGuard iniGuard;
    RecordingApp app;
    ASSERT_TRUE(WritePrivateProfileStringA("MAIL", "MAPI", "1", "WIN.INI"));
    std::string folder = kBin + "/broken_mapi";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/MAPI32.DLL") << "not a module";
#if defined(_WIN32)
    ASSERT_TRUE(SetDllDirectoryA(folder.c_str()));
    std::string text = SendExpectingException();
    SetDllDirectoryA(nullptr);
#else
    setenv("NAVOTOOLS_LIBRARY_PATH", folder.c_str(), 1);
    std::string text = SendExpectingException();
    unsetenv("NAVOTOOLS_LIBRARY_PATH");
#endif
    EXPECT_EQ(0u, text.find("The mail provider MAPI32.DLL cannot be loaded: no mail was sent.\n\nDetails: [0x000000C1] "))
        << text;
}

}  // namespace
