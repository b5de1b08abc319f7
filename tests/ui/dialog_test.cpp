// The message box on a Linux desktop: the GTK dialog of navotools-dialog on a virtual
// display (Xvfb), answered from the keyboard. Each kind of box is also saved as a picture
// in the test's binary folder (msgbox-*.png).
#if !defined(_WIN32)

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "NavoTools.h"
#include "x_dialog_driver.h"

namespace {

const std::string kDialogProgram = std::string(NAVOTOOLS_TEST_BINARY_DIR) + "/../navotools-dialog";

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!VirtualDisplay::Available()) GTEST_SKIP() << "Xvfb is not installed (scripts/bootstrap.sh installs it)";
        if (VirtualDisplay::FindOnPath("xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";
        ASSERT_EQ(access(kDialogProgram.c_str(), X_OK), 0) << kDialogProgram << " was not built";
        unsetenv("NAVOTOOLS_UI");
        unsetenv("WAYLAND_DISPLAY");
        // Should the dialog fail, the box must not wait for an answer on a terminal.
        savedStdin_ = dup(STDIN_FILENO);
        int null = open("/dev/null", O_RDONLY);
        dup2(null, STDIN_FILENO);
        close(null);
        display_ = std::make_unique<VirtualDisplay>();
        ASSERT_FALSE(display_->display().empty()) << "Xvfb did not start";
    }
    void TearDown() override {
        display_.reset();
        if (savedStdin_ >= 0) {
            dup2(savedStdin_, STDIN_FILENO);
            close(savedStdin_);
        }
    }

    std::unique_ptr<VirtualDisplay> display_;
    int savedStdin_ = -1;
};

struct KeyCase {
    const char* name;  // of the picture
    UINT style;
    std::vector<std::string> keys;
    int answer;
    const char* role;  // the window role names the icon
};

// Every button type, with its mnemonics, the default button and the Escape rule.
TEST_F(DialogTest, EachTypeAnswersTheButtonChosenFromTheKeyboard) {
    const KeyCase cases[] = {
        {"ok-information", MB_OK | MB_ICONINFORMATION, {"Return"}, IDOK, "dialog-information"},
        {"ok-escape", MB_OK, {"Escape"}, IDOK, "none"},
        {"okcancel-exclamation", MB_OKCANCEL | MB_ICONEXCLAMATION, {"Escape"}, IDCANCEL, "dialog-warning"},
        {"abortretryignore-stop", MB_ABORTRETRYIGNORE | MB_ICONSTOP, {"alt+r"}, IDRETRY, "dialog-error"},
        {"abortretryignore-escape", MB_ABORTRETRYIGNORE, {"Escape", "alt+i"}, IDIGNORE, "none"},
        {"yesnocancel-question", MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2, {"Return"}, IDNO, "dialog-question"},
        {"yesnocancel-escape", MB_YESNOCANCEL, {"Escape"}, IDCANCEL, "none"},
        {"yesno-question", MB_YESNO | MB_ICONQUESTION, {"Escape", "alt+n"}, IDNO, "dialog-question"},
        {"yesno-default3", MB_YESNO | MB_DEFBUTTON3, {"Return"}, IDYES, "none"},
        {"retrycancel", MB_RETRYCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON2, {"alt+r"}, IDRETRY, "dialog-warning"},
        {"retrycancel-default", MB_RETRYCANCEL | MB_DEFBUTTON2, {"Return"}, IDCANCEL, "none"},
        {"canceltrycontinue", MB_CANCELTRYCONTINUE | MB_ICONINFORMATION, {"alt+t"}, IDTRYAGAIN, "dialog-information"},
        {"canceltrycontinue-default", MB_CANCELTRYCONTINUE | MB_DEFBUTTON3, {"Return"}, IDCONTINUE, "none"},
    };
    XSession x;
    ASSERT_NE(x.get(), nullptr);
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string caption = std::string("Box ") + c.name;
        UINT style = c.style;
        PendingBox box(caption, [caption, style] {
            return MessageBoxA(nullptr, "Save the changes to \"report.txt\" before closing?", caption.c_str(), style);
        });
        Window w = box.WaitForWindow();
        ASSERT_NE(w, 0u) << "no window titled " << caption;
        EXPECT_EQ(x.StringProperty(w, "WM_WINDOW_ROLE"), std::string("navotools-message-box-") + c.role);
        ASSERT_TRUE(x.Focus(w));
        SavePicture(x, w, std::string("msgbox-") + c.name);
        ASSERT_TRUE(TypeKeys(c.keys));
        EXPECT_EQ(box.Answer(), c.answer);
    }
}

// The text as the dialog shows it, copied from its selectable label with the keyboard.
std::string CopyText(XSession& x) {
    std::string text;
    WaitFor([&] {
        TypeKeys({"shift+Tab", "ctrl+a", "ctrl+c"});
        return !(text = x.Clipboard()).empty();
    });
    return text;
}

// The library's own boxes: their text exactly, the icon and buttons of their style, and the
// application's name as title.
TEST_F(DialogTest, ShowErrorStartAppAndReportErrorShowTheirTextAndReturnTheButton) {
    CWinApp app("Navo Desk");
    XSession x;
    ASSERT_NE(x.get(), nullptr);
    {
        PendingBox box("Navo Desk", [] {
            ShowError("Copy failed <b>now</b>", 2, MB_OK | MB_ICONEXCLAMATION);
            return IDOK;
        });
        Window w = box.WaitForWindow();
        ASSERT_NE(w, 0u);
        EXPECT_EQ(x.StringProperty(w, "WM_WINDOW_ROLE"), "navotools-message-box-dialog-warning");
        ASSERT_TRUE(x.Focus(w));
        SavePicture(x, w, "msgbox-show-error");
        EXPECT_EQ(CopyText(x), std::string(static_cast<LPCSTR>(GetErrorMessageWithDetails("Copy failed <b>now</b>", 2))));
        ASSERT_TRUE(TypeKeys({"Return"}));
        EXPECT_EQ(box.Answer(), IDOK);
    }
    {
        PendingBox box("Navo Desk", [] { return StartApp("/nonexistent/navotools-program --flag", SW_SHOW); });
        Window w = box.WaitForWindow();
        ASSERT_NE(w, 0u);
        EXPECT_EQ(x.StringProperty(w, "WM_WINDOW_ROLE"), "navotools-message-box-dialog-warning");
        ASSERT_TRUE(x.Focus(w));
        std::string text = CopyText(x);
        EXPECT_EQ(text.rfind("Cannot run /nonexistent/navotools-program --flag\n\nDetails: [0x", 0), 0u) << text;
        ASSERT_TRUE(TypeKeys({"Escape"}));
        EXPECT_EQ(box.Answer(), 0);  // StartApp's result once the box is closed
    }
    {
        PendingBox box("Navo Desk", [] {
            CDescException e(5, CString("Saving the settings failed."), CString());
            return e.ReportError(MB_RETRYCANCEL | MB_ICONSTOP);
        });
        Window w = box.WaitForWindow();
        ASSERT_NE(w, 0u);
        EXPECT_EQ(x.StringProperty(w, "WM_WINDOW_ROLE"), "navotools-message-box-dialog-error");
        ASSERT_TRUE(x.Focus(w));
        SavePicture(x, w, "msgbox-report-error");
        char expected[1024] = {};
        CDescException e(5, CString("Saving the settings failed."), CString());
        ASSERT_TRUE(e.GetErrorMessage(expected, sizeof expected, nullptr));
        EXPECT_EQ(CopyText(x), expected);
        ASSERT_TRUE(TypeKeys({"alt+r"}));
        EXPECT_EQ(box.Answer(), IDRETRY);
    }
}

// A long text without spaces still fits the screen: the dialog wraps it.
TEST_F(DialogTest, ALongTextWraps) {
    XSession x;
    ASSERT_NE(x.get(), nullptr);
    std::string text = "A path too long for one line: /" + std::string(400, 'w') + " and some words after it.";
    PendingBox box("Long", [&text] { return MessageBoxA(nullptr, text.c_str(), "Long", MB_OK); });
    Window w = box.WaitForWindow();
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(x.Focus(w));
    SavePicture(x, w, "msgbox-long-text");
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(x.get(), w, &attributes));
    EXPECT_LE(attributes.width, DisplayWidth(x.get(), DefaultScreen(x.get())));
    ASSERT_TRUE(TypeKeys({"Return"}));
    EXPECT_EQ(box.Answer(), IDOK);
}

}  // namespace

#endif
