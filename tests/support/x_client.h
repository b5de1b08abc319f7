// A small X client for tests: top-level windows of one class that record every client
// message they receive, in order, on a thread of their own.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// True when the window lists WM_DELETE_WINDOW in its WM_PROTOCOLS: a client that maps
// its window before it sets the property is not ready for a close request until then.
inline bool TakesCloseRequests(Window window) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return false;
    Atom deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
    Atom* protocols = nullptr;
    int count = 0;
    bool found = false;
    if (XGetWMProtocols(d, window, &protocols, &count) && protocols) {
        for (int i = 0; i < count; ++i) found = found || protocols[i] == deleteWindow;
        XFree(protocols);
    }
    XCloseDisplay(d);
    return found;
}

struct ReceivedMessage {
    Window window;
    bool closeRequest;       // WM_PROTOCOLS / WM_DELETE_WINDOW
    uint32_t message;        // _NAVOTOOLS_WM_MESSAGE: the message and its parameters
    uint64_t wParam;
    uint64_t lParam;
};

class TestXClient {
public:
    // Opens a connection of its own and creates `count` mapped windows whose WM_CLASS is
    // ("navo-test", className) and which take part in WM_DELETE_WINDOW unless told not to.
    TestXClient(const std::string& className, int count, bool deleteWindowProtocol = true) {
        display_ = XOpenDisplay(nullptr);
        if (!display_) return;
        wmProtocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
        wmDelete_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
        navoMessage_ = XInternAtom(display_, "_NAVOTOOLS_WM_MESSAGE", False);
        for (int i = 0; i < count; ++i) {
            Window w = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 10 * i, 10 * i, 50, 50, 0, 0, 0);
            XClassHint hint;
            std::string name = "navo-test";
            hint.res_name = name.data();
            std::string cls = className;
            hint.res_class = cls.data();
            XSetClassHint(display_, w, &hint);
            std::string title = "window " + std::to_string(i);
            XStoreName(display_, w, title.c_str());
            if (deleteWindowProtocol) XSetWMProtocols(display_, w, &wmDelete_, 1);
            XMapWindow(display_, w);
            windows_.push_back(w);
        }
        XSync(display_, False);
        reader_ = std::thread([this] { Read(); });
    }

    ~TestXClient() {
        stop_ = true;
        if (reader_.joinable()) reader_.join();
        if (display_) XCloseDisplay(display_);
    }
    TestXClient(const TestXClient&) = delete;
    TestXClient& operator=(const TestXClient&) = delete;

    bool ok() const { return display_ != nullptr; }
    const std::vector<Window>& windows() const { return windows_; }

    std::vector<ReceivedMessage> Received() {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }

private:
    void Read() {
        while (!stop_) {
            pollfd p{ConnectionNumber(display_), POLLIN, 0};
            if (!XPending(display_) && poll(&p, 1, 20) <= 0) continue;
            while (XPending(display_)) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type != ClientMessage) continue;
                const XClientMessageEvent& m = event.xclient;
                ReceivedMessage r{m.window, false, 0, 0, 0};
                if (m.message_type == wmProtocols_ && Atom(m.data.l[0]) == wmDelete_) {
                    r.closeRequest = true;
                } else if (m.message_type == navoMessage_) {
                    auto item = [&m](int i) { return uint64_t(uint32_t(m.data.l[i])); };
                    r.message = uint32_t(item(0));
                    r.wParam = item(1) | item(2) << 32;
                    r.lParam = item(3) | item(4) << 32;
                } else {
                    continue;
                }
                std::lock_guard<std::mutex> lock(mutex_);
                received_.push_back(r);
            }
        }
    }

    Display* display_ = nullptr;
    Atom wmProtocols_ = 0, wmDelete_ = 0, navoMessage_ = 0;
    std::vector<Window> windows_;
    std::thread reader_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<ReceivedMessage> received_;
};
