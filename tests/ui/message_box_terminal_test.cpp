// MessageBoxA of the Linux layer without a dialog: standard error, the terminal question
// and the safe answer. (On Windows the box is the system's: message_box_windows_test.cpp.)
#if !defined(_WIN32)

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "NavoTools.h"
#include "test_constants.h"

namespace {

// Sets (or, with null, removes) an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = getenv(name);
        had_ = old != nullptr;
        if (old) old_ = old;
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_) setenv(name_, old_.c_str(), 1);
        else unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::string old_;
    bool had_;
};

// Standard input replaced by a pipe that holds `input`, for the lifetime of the object.
class ScopedStdin {
public:
    explicit ScopedStdin(const std::string& input) : saved_(dup(STDIN_FILENO)) {
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        EXPECT_EQ(write(fds[1], input.data(), input.size()), ssize_t(input.size()));
        close(fds[1]);
        dup2(fds[0], STDIN_FILENO);
        close(fds[0]);
    }
    ~ScopedStdin() {
        dup2(saved_, STDIN_FILENO);
        close(saved_);
    }
    ScopedStdin(const ScopedStdin&) = delete;
    ScopedStdin& operator=(const ScopedStdin&) = delete;

private:
    int saved_;
};

struct Box {
    int result;
    std::string err;
};

Box Show(const char* text, const char* caption, UINT style) {
    testing::internal::CaptureStderr();
    int result = MessageBoxA(nullptr, text, caption, style);
    return {result, testing::internal::GetCapturedStderr()};
}

struct SafeCase {
    UINT style;
    int answer;
};

// Nobody to ask: no display, standard input not a terminal (here: the end of a pipe).
TEST(MessageBoxWithoutDisplay, AQuestionTakesItsSafeAnswerAndIsWrittenToStandardError) {
    ScopedEnv display("DISPLAY", nullptr), wayland("WAYLAND_DISPLAY", nullptr), ui("NAVOTOOLS_UI", nullptr);
    ScopedStdin input("y\n");
    const SafeCase cases[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDABORT},
        {MB_YESNOCANCEL, IDCANCEL},
        {MB_YESNO, IDNO},
        {MB_RETRYCANCEL, IDCANCEL},
        {MB_CANCELTRYCONTINUE | MB_DEFBUTTON3, IDCANCEL},
    };
    for (const SafeCase& c : cases) {
        Box box = Show("Delete everything?", "Cleaner", c.style);
        EXPECT_EQ(box.result, c.answer) << "style " << c.style;
        EXPECT_EQ(box.err, "Cleaner: Delete everything?\n") << "style " << c.style;
    }
}

TEST(MessageBoxWithoutDisplay, NoneOverridesADisplayAndGuiWithoutOneFallsBack) {
    ScopedStdin input("y\n");
    {
        ScopedEnv display("DISPLAY", ":99"), ui("NAVOTOOLS_UI", "none");
        EXPECT_EQ(Show("Overwrite?", "Editor", MB_YESNO | MB_ICONQUESTION).result, IDNO);
    }
    {
        // The dialog program finds no display: the box goes the text way.
        ScopedEnv display("DISPLAY", nullptr), wayland("WAYLAND_DISPLAY", nullptr), ui("NAVOTOOLS_UI", "gui");
        Box box = Show("Retry the copy?", "Copier", MB_RETRYCANCEL);
        EXPECT_EQ(box.result, IDCANCEL);
        EXPECT_NE(box.err.find("Copier: Retry the copy?\n"), std::string::npos) << box.err;
    }
}

struct TerminalCase {
    UINT style;
    const char* input;
    int answer;
};

TEST(MessageBoxOnTerminal, TheAnswerNamesAButtonEnterTakesTheDefaultTheEndTakesTheSafeOne) {
    ScopedEnv ui("NAVOTOOLS_UI", "terminal");
    const TerminalCase cases[] = {
        {MB_YESNO, "y\n", IDYES},
        {MB_YESNO, "No\n", IDNO},
        {MB_YESNO | MB_DEFBUTTON2, "\n", IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, "\n", IDCANCEL},
        {MB_YESNO | MB_DEFBUTTON3, "\n", IDYES},  // no third button: the first is the default
        {MB_ABORTRETRYIGNORE, "maybe\ni\n", IDIGNORE},
        {MB_CANCELTRYCONTINUE, "try again\n", IDTRYAGAIN},
        {MB_CANCELTRYCONTINUE, "o\n", IDCONTINUE},
        {MB_OKCANCEL, "o\n", IDOK},
        {MB_YESNO, "", IDNO},                                    // end of input
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, "x\n", IDABORT},  // no button named, then the end
        {MB_YESNO, "a\nb\nc\nd\ne\ny\n", IDNO},                 // five wrong answers are enough
    };
    for (const TerminalCase& c : cases) {
        ScopedStdin input(c.input);
        Box box = Show("Go on?", "Tool", c.style);
        EXPECT_EQ(box.result, c.answer) << "input \"" << c.input << "\" style " << c.style;
        EXPECT_EQ(box.err.rfind("Tool: Go on?\n", 0), 0u) << box.err;
    }
    ScopedStdin input("");
    EXPECT_EQ(Show("Done.", "Tool", MB_OK).err, "Tool: Done.\n");  // one button: not asked
}

TEST(MessageBoxArguments, NullTextAndCaptionAndAnUnknownType) {
    ScopedEnv ui("NAVOTOOLS_UI", "none");
    EXPECT_EQ(Show(nullptr, nullptr, MB_OK).err, "Error: \n");
    SetLastError(kUntouched);
    Box box = Show("text", "caption", 7);
    EXPECT_EQ(box.result, 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_MSGBOX_STYLE));
    EXPECT_EQ(box.err, "");
}

TEST(MessageBoxOfTheApplication, CaptionIsTheApplicationsNameAndTheStyleIsPassedOn) {
    ScopedEnv ui("NAVOTOOLS_UI", "none");
    CWinApp app("Navo Viewer");
    testing::internal::CaptureStderr();
    EXPECT_EQ(AfxMessageBox("Delete the page?", MB_YESNO | MB_ICONQUESTION), IDNO);
    ShowError("Copy failed", 2, MB_OK | MB_ICONEXCLAMATION);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Navo Viewer: Delete the page?\nNavo Viewer: " +
                       std::string(static_cast<LPCSTR>(GetErrorMessageWithDetails("Copy failed", 2))) + "\n");
}

}  // namespace

#endif
