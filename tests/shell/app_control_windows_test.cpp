// StartApp and CloseAppByClassName on Windows: windows of the system's own window manager
// and programs started by the system. (On Linux the same is tested against X clients on a
// virtual display, in app_control_test.cpp.)
#if defined(_WIN32)

#include <gtest/gtest.h>

#include <afxres.h>

#include <string>
#include <vector>

#include "NavoTools.h"
#include "test_app.h"

namespace {

struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
};
std::vector<Received> received;

LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND || message == WM_CLOSE) {
        received.push_back({window, message, wParam});
        return 0;  // a close request is recorded, not acted on
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string SystemText(DWORD code) {
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                   nullptr);
    return text;
}

// Two top-level windows of a class of this test's own, and the messages they receive.
class CloseWindows : public ::testing::Test {
protected:
    void SetUp() override {
        received.clear();
        className_ = "NavoToolsTest" + std::to_string(GetCurrentProcessId()) + "_" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name();
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = RecordingWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = className_.c_str();
        ASSERT_NE(RegisterClassA(&windowClass), 0) << GetLastError();
        for (HWND& window : windows_) {
            window = CreateWindowExA(0, className_.c_str(), "NavoTools test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                     nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
            ASSERT_NE(window, nullptr) << GetLastError();
        }
    }
    void TearDown() override {
        for (HWND window : windows_)
            if (window) DestroyWindow(window);
        UnregisterClassA(className_.c_str(), GetModuleHandleA(nullptr));
    }
    static void Pump() {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }

    std::string className_;
    HWND windows_[2] = {};
};

TEST_F(CloseWindows, ExitCommandThenCloseRequestReachOnlyTheFirstWindowFound) {
    HWND first = FindWindowA(className_.c_str(), nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(CloseAppByClassName(className_.c_str()), 0);
    Pump();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].window, first);
    EXPECT_EQ(received[0].message, UINT(WM_COMMAND));
    EXPECT_EQ(received[0].wParam, WPARAM(ID_APP_EXIT));
    EXPECT_EQ(received[1].window, first);
    EXPECT_EQ(received[1].message, UINT(WM_CLOSE));
}

TEST_F(CloseWindows, ClassNamesMatchWithoutRegardToCase) {
    std::string upper = className_;
    for (char& c : upper) c = char(toupper(static_cast<unsigned char>(c)));
    EXPECT_NE(CloseAppByClassName(upper.c_str()), 0);
    Pump();
    EXPECT_EQ(received.size(), 2u);
}

TEST_F(CloseWindows, UnknownClassPostsNothing) {
    EXPECT_EQ(CloseAppByClassName((className_ + "Other").c_str()), 0);
    Pump();
    EXPECT_TRUE(received.empty());
}

TEST(StartAppOnWindows, MissingProgramShowsCannotRunWithTheSystemTextOfCode2) {
    RecordingApp app;
    EXPECT_EQ(StartApp("navo-no-such-program.exe --flag", SW_SHOWNORMAL), 0);
    ASSERT_EQ(app.boxes.size(), 1u);
    EXPECT_EQ(app.boxes[0].text,
              "Cannot run navo-no-such-program.exe --flag\n\nDetails: [0x00000002] " + SystemText(2));
    EXPECT_EQ(app.boxes[0].type, UINT(MB_OK | MB_ICONEXCLAMATION));
}

TEST(StartAppOnWindows, StartedProgramGivesOneAndNoMessage) {
    RecordingApp app;
    EXPECT_EQ(StartApp("cmd.exe /c exit 0", SW_HIDE), 1);
    EXPECT_TRUE(app.boxes.empty());
}

}  // namespace

#endif  // _WIN32
