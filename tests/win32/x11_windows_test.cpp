// FindWindowA, PostMessageA and IsWindow on a virtual X display.
#include <gtest/gtest.h>

#include <memory>
#include <windows.h>

#include "x_client.h"
#include "xvfb.h"

namespace {

HWND H(Window w) { return reinterpret_cast<HWND>(uintptr_t(w)); }

class X11Windows : public ::testing::Test {
protected:
    void SetUp() override {
        if (!VirtualDisplay::Available()) GTEST_SKIP() << "Xvfb is not installed (scripts/bootstrap.sh installs it)";
        display_ = std::make_unique<VirtualDisplay>();
        ASSERT_FALSE(display_->display().empty()) << "Xvfb did not start";
    }
    std::unique_ptr<VirtualDisplay> display_;
};

TEST_F(X11Windows, FindsByClassIgnoringCaseAndByTitle) {
    TestXClient client("NavoFinder", 2);
    ASSERT_TRUE(client.ok());
    HWND found = FindWindowA("NavoFinder", nullptr);
    ASSERT_NE(found, nullptr);
    // The window mapped last is on top, and the search starts at the top.
    EXPECT_EQ(found, H(client.windows()[1]));
    EXPECT_EQ(FindWindowA("navofinder", nullptr), found);
    EXPECT_EQ(FindWindowA("NavoFinder", "window 0"), H(client.windows()[0]));
    EXPECT_EQ(FindWindowA(nullptr, "window 0"), H(client.windows()[0]));
    EXPECT_EQ(FindWindowA("NavoFinder", "window 9"), nullptr);
    // The instance part of WM_CLASS is not the class.
    EXPECT_EQ(FindWindowA("navo-test", nullptr), nullptr);
    EXPECT_EQ(FindWindowA("NavoFinde", nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(X11Windows, PostedMessagesArriveInOrderWithTheirParameters) {
    TestXClient client("NavoPost", 1);
    ASSERT_TRUE(client.ok());
    HWND w = H(client.windows()[0]);
    EXPECT_TRUE(IsWindow(w));
    ASSERT_TRUE(PostMessageA(w, WM_COMMAND, 0xE141, 0));
    ASSERT_TRUE(PostMessageA(w, 0x8001, WPARAM(0x1122334455667788ull), LPARAM(-2)));
    ASSERT_TRUE(PostMessageA(w, WM_CLOSE, 0, 0));
    ASSERT_TRUE(WaitFor([&] { return client.Received().size() >= 3; }));
    auto got = client.Received();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].message, unsigned(WM_COMMAND));
    EXPECT_EQ(got[0].wParam, 0xE141u);
    EXPECT_EQ(got[1].message, 0x8001u);
    EXPECT_EQ(got[1].wParam, 0x1122334455667788ull);
    EXPECT_EQ(got[1].lParam, uint64_t(-2));
    EXPECT_TRUE(got[2].closeRequest);
}

TEST_F(X11Windows, MissingWindowsAndProtocols) {
    EXPECT_FALSE(IsWindow(nullptr));
    EXPECT_FALSE(PostMessageA(H(0x7FFFFFF), WM_CLOSE, 0, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(IsWindow(H(0x7FFFFFF)));
    TestXClient client("NavoNoProtocol", 1, false);
    ASSERT_TRUE(client.ok());
    EXPECT_FALSE(PostMessageA(H(client.windows()[0]), WM_CLOSE, 0, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
}

}  // namespace
