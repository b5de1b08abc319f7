// StartApp and CloseAppByClassName: the failure message of a start, and the exit command
// and close request that reach a real X client.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "NavoTools.h"
#include "test_app.h"
#include "x_client.h"
#include "xvfb.h"

namespace {

TEST(StartApp, MissingProgramShowsCannotRunWithTheDetailsOfCode2) {
    RecordingApp app;
    EXPECT_EQ(StartApp("navo-no-such-program --flag \"two words\"", SW_SHOWNORMAL), 0);
    ASSERT_EQ(app.boxes.size(), 1u);
    EXPECT_EQ(app.boxes[0].text,
              "Cannot run navo-no-such-program --flag \"two words\"\n\nDetails: [0x00000002] "
              "No file by that name could be found.\r\n");
    EXPECT_EQ(app.boxes[0].type, 0x30u);
    EXPECT_EQ(app.boxes[0].helpId, 0u);
}

TEST(StartApp, MissingFolderShowsTheDetailsOfCode3) {
    RecordingApp app;
    EXPECT_EQ(StartApp("/navo/no/such/folder/prog", SW_SHOW), 0);
    ASSERT_EQ(app.boxes.size(), 1u);
    EXPECT_EQ(app.boxes[0].text,
              "Cannot run /navo/no/such/folder/prog\n\nDetails: [0x00000003] No path by that name could be found.\r\n");
}

TEST(StartApp, OutOfResourcesShowsCode0) {
    // One argument longer than the kernel takes: the start runs out of resources.
    RecordingApp app;
    std::string line = "/bin/true " + std::string(200 * 1024, 'a');
    EXPECT_EQ(StartApp(line.c_str(), SW_SHOWNORMAL), 0);
    ASSERT_EQ(app.boxes.size(), 1u);
    EXPECT_EQ(app.boxes[0].text, "Cannot run " + line + "\n\nDetails: [0x00000000] The operation finished successfully.\r\n");
    EXPECT_EQ(app.boxes[0].type, 0x30u);
}

TEST(StartApp, StartedProgramGivesOneAndNoMessage) {
    RecordingApp app;
    char dir[] = "/tmp/navo-startapp-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string marker = std::string(dir) + "/started";
    EXPECT_EQ(StartApp(("touch " + marker).c_str(), SW_SHOWNORMAL), 1);
    EXPECT_TRUE(app.boxes.empty());
    EXPECT_TRUE(WaitFor([&] { return access(marker.c_str(), F_OK) == 0; }));
    unlink(marker.c_str());
    rmdir(dir);
}

TEST(CloseAppByClassName, WithoutADisplayThereIsNoWindow) {
    const char* old = getenv("DISPLAY");
    std::string saved = old ? old : "";
    unsetenv("DISPLAY");
    EXPECT_EQ(CloseAppByClassName("XEyes"), 0);
    EXPECT_EQ(FindWindowA("XEyes", nullptr), nullptr);
    if (old) setenv("DISPLAY", saved.c_str(), 1);
}

class CloseOnDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        if (!VirtualDisplay::Available()) GTEST_SKIP() << "Xvfb is not installed (scripts/bootstrap.sh installs it)";
        display_ = std::make_unique<VirtualDisplay>();
        ASSERT_FALSE(display_->display().empty()) << "Xvfb did not start";
    }
    std::unique_ptr<VirtualDisplay> display_;
};

TEST_F(CloseOnDisplay, ExitCommandThenCloseRequestReachOnlyTheFirstWindow) {
    TestXClient client("NavoTestApp", 2);
    ASSERT_TRUE(client.ok());
    HWND first = FindWindowA("NavoTestApp", nullptr);
    ASSERT_NE(first, nullptr);
    const Window target = Window(reinterpret_cast<uintptr_t>(first));
    const Window other = target == client.windows()[0] ? client.windows()[1] : client.windows()[0];
    ASSERT_TRUE(target == client.windows()[0] || target == client.windows()[1]);

    EXPECT_NE(CloseAppByClassName("NavoTestApp"), 0);
    ASSERT_TRUE(WaitFor([&] { return client.Received().size() >= 2; }));
    // A marker sent after both: once it has arrived, anything the other window would have
    // been sent has arrived too, since a client gets its events in order.
    ASSERT_TRUE(PostMessageA(reinterpret_cast<HWND>(uintptr_t(other)), WM_NULL, 7, 0));
    ASSERT_TRUE(WaitFor([&] { return client.Received().size() >= 3; }));

    std::vector<ReceivedMessage> got = client.Received();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].window, target);
    EXPECT_FALSE(got[0].closeRequest);
    EXPECT_EQ(got[0].message, unsigned(WM_COMMAND));
    EXPECT_EQ(got[0].wParam, 0xE141u);
    EXPECT_EQ(got[0].lParam, 0u);
    EXPECT_EQ(got[1].window, target);
    EXPECT_TRUE(got[1].closeRequest);
    EXPECT_EQ(got[2].window, other);
    EXPECT_EQ(got[2].message, unsigned(WM_NULL));
    EXPECT_EQ(got[2].wParam, 7u);
}

TEST_F(CloseOnDisplay, UnknownClassPostsNothing) {
    TestXClient client("NavoTestApp", 1);
    ASSERT_TRUE(client.ok());
    EXPECT_EQ(CloseAppByClassName("NavoOtherApp"), 0);
    ASSERT_TRUE(PostMessageA(reinterpret_cast<HWND>(uintptr_t(client.windows()[0])), WM_NULL, 1, 0));
    ASSERT_TRUE(WaitFor([&] { return !client.Received().empty(); }));
    std::vector<ReceivedMessage> got = client.Received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, unsigned(WM_NULL));
}

TEST_F(CloseOnDisplay, ResultIsThatOfTheCloseRequest) {
    // A window outside the WM_DELETE_WINDOW protocol takes the exit command, but the close
    // request cannot be posted to it: the result is 0.
    TestXClient client("NavoNoDeleteApp", 1, /*deleteWindowProtocol=*/false);
    ASSERT_TRUE(client.ok());
    EXPECT_EQ(CloseAppByClassName("NavoNoDeleteApp"), 0);
    ASSERT_TRUE(WaitFor([&] { return !client.Received().empty(); }));
    std::vector<ReceivedMessage> got = client.Received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, unsigned(WM_COMMAND));
    EXPECT_EQ(got[0].wParam, 0xE141u);
}

TEST_F(CloseOnDisplay, XeyesQuitsWhenAskedByItsClass) {
    std::string xeyes = VirtualDisplay::FindOnPath("xeyes");
    ASSERT_FALSE(xeyes.empty()) << "xeyes (x11-apps) is not installed";
    const char* argv[] = {xeyes.c_str(), nullptr};
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, xeyes.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    ASSERT_TRUE(WaitFor([] {
        HWND w = FindWindowA("XEyes", nullptr);
        return w && TakesCloseRequests(Window(reinterpret_cast<uintptr_t>(w)));
    }));

    EXPECT_NE(CloseAppByClassName("XEyes"), 0);
    int status = 0;
    bool exited = WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; });
    if (!exited) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    EXPECT_TRUE(exited) << "xeyes is still running";
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(FindWindowA("XEyes", nullptr), nullptr);
}

}  // namespace
