// The application's wait cursor on a Linux desktop: the watch over the process's own X11
// windows while the count is positive, the windows' own cursor again at zero; windows of
// other processes keep theirs. The cursor on screen is read back with XFixes.
#if !defined(_WIN32)

#include <gtest/gtest.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xfixes.h>

#include <memory>
#include <vector>

#include "NavoTools.h"
#include "xvfb.h"

namespace {

class WaitCursorTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!VirtualDisplay::Available()) GTEST_SKIP() << "Xvfb is not installed (scripts/bootstrap.sh installs it)";
        display_ = std::make_unique<VirtualDisplay>();
        ASSERT_FALSE(display_->display().empty()) << "Xvfb did not start";
        d_ = XOpenDisplay(nullptr);
        ASSERT_NE(d_, nullptr);
        int event = 0, error = 0;
        ASSERT_TRUE(XFixesQueryExtension(d_, &event, &error));
    }
    void TearDown() override {
        if (d_) XCloseDisplay(d_);
        display_.reset();
    }

    // A mapped top-level window at x whose _NET_WM_PID is pid.
    Window MakeWindow(int x, unsigned long pid) {
        Window w = XCreateSimpleWindow(d_, DefaultRootWindow(d_), x, 0, 100, 100, 0, 0, 0);
        XChangeProperty(d_, w, XInternAtom(d_, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&pid), 1);
        XMapWindow(d_, w);
        XSync(d_, False);
        return w;
    }

    // The pixels of the cursor shown over the window.
    std::vector<unsigned long> CursorOver(Window w) {
        XWarpPointer(d_, None, w, 0, 0, 0, 0, 50, 50);
        XSync(d_, False);
        std::vector<unsigned long> pixels;
        if (XFixesCursorImage* image = XFixesGetCursorImage(d_)) {
            pixels.push_back(image->width);
            pixels.push_back(image->height);
            pixels.insert(pixels.end(), image->pixels, image->pixels + size_t(image->width) * image->height);
            XFree(image);
        }
        return pixels;
    }

    std::unique_ptr<VirtualDisplay> display_;
    Display* d_ = nullptr;
};

TEST_F(WaitCursorTest, TheWatchIsOverOwnWindowsWhileTheCountIsPositive) {
    Window own = MakeWindow(0, static_cast<unsigned long>(getpid()));
    Window other = MakeWindow(150, 1);
    Window watch = MakeWindow(300, 1);
    XDefineCursor(d_, watch, XCreateFontCursor(d_, XC_watch));
    XSync(d_, False);
    const auto watchPixels = CursorOver(watch);
    const auto normalPixels = CursorOver(own);
    ASSERT_NE(watchPixels, normalPixels);

    CWinApp app("Navo Wait");
    CCmdTarget target;
    target.BeginWaitCursor();
    target.BeginWaitCursor();
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_WAIT));
    EXPECT_TRUE(WaitFor([&] { return CursorOver(own) == watchPixels; }));
    EXPECT_EQ(CursorOver(other), normalPixels);
    target.EndWaitCursor();
    EXPECT_EQ(CursorOver(own), watchPixels);  // one begin is still open
    target.EndWaitCursor();
    EXPECT_EQ(GetCursor(), nullptr);  // the cursor before the first begin
    EXPECT_TRUE(WaitFor([&] { return CursorOver(own) == normalPixels; }));
}

}  // namespace

#endif
