// Drives message boxes on a virtual display as a user would: finds the box by its title,
// types keys into it (xdotool, through the XTest extension), copies its text through the
// clipboard and takes its picture (ImageMagick's import).
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "NavoTools.h"
#include "xvfb.h"

extern char** environ;

// Runs a program found on PATH and waits for it; its exit status, -1 when it did not run.
inline int RunProgram(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// A connection to the virtual display for the length of a test. X errors (a window that
// is not mapped yet, or already gone) are ignored: the waits below try again.
class XSession {
public:
    XSession() : d_(XOpenDisplay(nullptr)) { XSetErrorHandler([](Display*, XErrorEvent*) { return 0; }); }
    ~XSession() {
        if (d_) XCloseDisplay(d_);
    }
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;
    Display* get() const { return d_; }

    std::string StringProperty(Window w, const char* name) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        std::string value;
        if (XGetWindowProperty(d_, w, XInternAtom(d_, name, False), 0, 1024, False, AnyPropertyType, &type, &format,
                               &items, &after, &data) == Success &&
            data && format == 8)
            value.assign(reinterpret_cast<char*>(data), items);
        if (data) XFree(data);
        return value;
    }

    unsigned long Pid(Window w) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        unsigned long pid = 0;
        if (XGetWindowProperty(d_, w, XInternAtom(d_, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL, &type, &format,
                               &items, &after, &data) == Success &&
            data && items == 1)
            pid = *reinterpret_cast<unsigned long*>(data);
        if (data) XFree(data);
        return pid;
    }

    // Gives the window the keyboard focus, once it is shown, and waits until it has it.
    bool Focus(Window w) {
        return WaitFor([&] {
            XWindowAttributes attributes;
            if (!XGetWindowAttributes(d_, w, &attributes) || attributes.map_state != IsViewable) return false;
            XSetInputFocus(d_, w, RevertToPointerRoot, CurrentTime);
            XSync(d_, False);
            Window focus = 0;
            int revert = 0;
            XGetInputFocus(d_, &focus, &revert);
            return focus == w;
        });
    }

    // The text of the CLIPBOARD selection; empty while nobody owns it.
    std::string Clipboard() {
        Atom clipboard = XInternAtom(d_, "CLIPBOARD", False), utf8 = XInternAtom(d_, "UTF8_STRING", False);
        Atom property = XInternAtom(d_, "NAVOTOOLS_TEST_CLIP", False);
        if (XGetSelectionOwner(d_, clipboard) == None) return {};
        Window requestor = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 0, 0, 1, 1, 0, 0, 0);
        XConvertSelection(d_, clipboard, utf8, property, requestor, CurrentTime);
        std::string text;
        WaitFor([&] {
            XEvent event;
            while (XCheckTypedWindowEvent(d_, requestor, SelectionNotify, &event)) {
                if (event.xselection.property == None) return true;
                text = StringProperty(requestor, "NAVOTOOLS_TEST_CLIP");
                return true;
            }
            return false;
        });
        XDestroyWindow(d_, requestor);
        XSync(d_, False);
        return text;
    }

private:
    Display* d_;
};

// Types keys into the focused window: "Return", "Escape", "alt+y", ...
inline bool TypeKeys(const std::vector<std::string>& keys) {
    std::vector<std::string> args = {"xdotool", "key", "--delay", "50"};
    args.insert(args.end(), keys.begin(), keys.end());
    return RunProgram(args) == 0;
}

// A message box shown on a thread of its own, as the library shows it: `show` returns the
// button pressed.
class PendingBox {
public:
    PendingBox(std::string caption, std::function<int()> show)
        : caption_(std::move(caption)), result_(std::async(std::launch::async, std::move(show))) {}
    ~PendingBox() { Answer(); }
    PendingBox(const PendingBox&) = delete;
    PendingBox& operator=(const PendingBox&) = delete;

    // The box's window once it is up; 0 when none came up.
    Window WaitForWindow() {
        HWND found = nullptr;
        WaitFor([&] { return (found = FindWindowA(nullptr, caption_.c_str())) != nullptr; });
        window_ = Window(reinterpret_cast<uintptr_t>(found));
        return window_;
    }

    // The button pressed. A box still up after the deadline is closed by ending its
    // program, so a test that could not answer it fails (-1) instead of hanging.
    int Answer() {
        if (answered_) return answer_;
        answered_ = true;
        bool killed = false;
        if (result_.wait_for(std::chrono::seconds(20)) != std::future_status::ready && window_) {
            XSession x;
            if (unsigned long pid = x.Pid(window_)) killed = kill(pid_t(pid), SIGTERM) == 0;
        }
        answer_ = result_.get();
        if (killed) answer_ = -1;
        return answer_;
    }

private:
    std::string caption_;
    std::future<int> result_;
    Window window_ = 0;
    bool answered_ = false;
    int answer_ = -1;
};

// True once the window shows more than one colour: the toolkit has drawn it.
inline bool Drawn(XSession& x, Window w) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(x.get(), w, &attributes) || attributes.map_state != IsViewable) return false;
    XImage* image = XGetImage(x.get(), w, 0, 0, unsigned(attributes.width), unsigned(attributes.height), AllPlanes, ZPixmap);
    if (!image) return false;
    bool drawn = false;
    unsigned long first = XGetPixel(image, 0, 0);
    for (int y = 0; y < attributes.height && !drawn; y += 2)
        for (int px = 0; px < attributes.width && !drawn; px += 2) drawn = XGetPixel(image, px, y) != first;
    XDestroyImage(image);
    return drawn;
}

// Saves a picture of the window, once drawn, in the test's binary folder.
inline void SavePicture(XSession& x, Window w, const std::string& name) {
    WaitFor([&] { return Drawn(x, w); });
    RunProgram({"import", "-window", std::to_string(w), std::string(NAVOTOOLS_TEST_BINARY_DIR) + "/" + name + ".png"});
}
