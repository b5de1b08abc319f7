// The library's message boxes on Windows: the system's MessageBoxA, found among this
// process's windows, read (caption, text, icon, buttons) and answered as a user would, by
// a thread of the test. (On Linux the same is tested on a virtual display, dialog_test.cpp.)
#if defined(_WIN32)

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "NavoTools.h"

namespace {

struct SeenBox {
    std::string caption;
    std::string text;
    HICON icon = nullptr;
    bool buttons[12] = {};  // by ID: which buttons the box has
    HWND owner = nullptr;
    bool found = false;
};

BOOL CALLBACK FindOwnDialog(HWND window, LPARAM out) {
    char name[32] = {};
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId() || !GetClassNameA(window, name, sizeof name) || strcmp(name, "#32770") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(out) = window;
    return FALSE;
}

// Waits for the process's message box, reads it and presses `button`.
class BoxAnswerer {
public:
    explicit BoxAnswerer(int button) : thread_([this, button] { Run(button); }) {}
    ~BoxAnswerer() { Join(); }
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    const SeenBox& Seen() {
        Join();
        return seen_;
    }

private:
    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    void Run(int button) {
        HWND box = nullptr;
        for (int i = 0; i < 2000 && !box; ++i) {  // up to 20 s
            EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&box));
            if (!box) Sleep(10);
        }
        if (!box) return;
        char text[2048] = {};
        GetWindowTextA(box, text, sizeof text);
        seen_.caption = text;
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message text's static control
        seen_.text = text;
        // The icon's static control: 20 on Windows, stc1 (0x440) in Wine.
        for (int id : {20, 0x440}) {
            if (HWND control = GetDlgItem(box, id)) {
                seen_.icon = reinterpret_cast<HICON>(SendMessageA(control, STM_GETICON, 0, 0));
                if (seen_.icon) break;
            }
        }
        for (int id = 1; id < 12; ++id) seen_.buttons[id] = GetDlgItem(box, id) != nullptr;
        seen_.owner = GetWindow(box, GW_OWNER);
        seen_.found = true;
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    }

    SeenBox seen_;
    std::thread thread_;
};

std::string Message(LPCSTR text, LONG code) { return static_cast<LPCSTR>(GetErrorMessageWithDetails(text, code)); }

TEST(WindowsMessageBox, ShowErrorShowsTheMessageWithTheApplicationsNameAndTheExclamation) {
    CWinApp app("Navo Desk");
    BoxAnswerer answerer(IDOK);
    ShowError("Copy failed", 2, MB_OK | MB_ICONEXCLAMATION);
    const SeenBox& seen = answerer.Seen();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.caption, "Navo Desk");
    EXPECT_EQ(seen.text, Message("Copy failed", 2));
    EXPECT_EQ(seen.icon, LoadIconA(nullptr, IDI_EXCLAMATION));
    EXPECT_TRUE(seen.buttons[IDOK]);
    EXPECT_FALSE(seen.buttons[IDCANCEL]);
    EXPECT_EQ(seen.owner, nullptr);  // no main window: task-modal
}

TEST(WindowsMessageBox, AFailedStartAppShowsItsMessageAndReturnsZeroWhenClosed) {
    CWinApp app("Navo Desk");
    BoxAnswerer answerer(IDOK);
    EXPECT_EQ(StartApp("C:\\nonexistent\\navotools-program.exe --flag", SW_SHOW), 0);
    const SeenBox& seen = answerer.Seen();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text.rfind("Cannot run C:\\nonexistent\\navotools-program.exe --flag\n\nDetails: [0x", 0), 0u)
        << seen.text;
    EXPECT_EQ(seen.icon, LoadIconA(nullptr, IDI_EXCLAMATION));
}

TEST(WindowsMessageBox, ReportErrorReturnsTheButtonPressed) {
    CWinApp app("Navo Desk");
    CDescException e(5, CString("Saving the settings failed."), CString());
    char expected[1024] = {};
    ASSERT_TRUE(e.GetErrorMessage(expected, sizeof expected, nullptr));
    BoxAnswerer answerer(IDNO);
    EXPECT_EQ(e.ReportError(MB_YESNO | MB_ICONSTOP), IDNO);
    const SeenBox& seen = answerer.Seen();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text, expected);
    EXPECT_EQ(seen.icon, LoadIconA(nullptr, IDI_HAND));
    EXPECT_TRUE(seen.buttons[IDYES]);
    EXPECT_TRUE(seen.buttons[IDNO]);
}

TEST(WindowsMessageBox, TheMainWindowOwnsTheBox) {
    CWinApp app("Navo Desk");
    HWND main = CreateWindowA("STATIC", "Navo main", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(main, nullptr);
    CWnd wnd(main);
    app.m_pMainWnd = &wnd;
    BoxAnswerer answerer(IDCANCEL);
    EXPECT_EQ(AfxMessageBox("Close the document?", MB_OKCANCEL | MB_ICONQUESTION), IDCANCEL);
    EXPECT_EQ(answerer.Seen().owner, main);
    EXPECT_EQ(answerer.Seen().icon, LoadIconA(nullptr, IDI_QUESTION));
    app.m_pMainWnd = nullptr;
    DestroyWindow(main);
}

TEST(WindowsMessageBox, WithoutAnApplicationTheCaptionIsTheProgramsName) {
    ASSERT_EQ(AfxGetApp(), nullptr);
    BoxAnswerer answerer(IDRETRY);
    EXPECT_EQ(AfxMessageBox("Retry?", MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(answerer.Seen().caption, "navotools_ui_tests");
    EXPECT_EQ(answerer.Seen().icon, nullptr);
}

}  // namespace

#endif
