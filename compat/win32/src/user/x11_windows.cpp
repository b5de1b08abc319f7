// Windows over X11: FindWindowA, PostMessageA and IsWindow on the display of $DISPLAY, and
// the current cursor shown over this process's own windows.
//
// A window's class is the class part of its WM_CLASS property, its title _NET_WM_NAME or
// WM_NAME. A top-level window is the client window of a child of the root: the child
// itself, or, under a window manager that frames its clients, the descendant that carries
// WM_STATE. Each call opens its own connection and closes it before it returns, so calls
// may come from any thread and nothing stays open in an application that never uses them.
#include <windows.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/cursorfont.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "user/x11_cursor.h"

namespace {

// X errors of this layer's connections are recorded and otherwise ignored (a window can
// vanish between two requests); errors of the application's own connections go to the
// handler that was installed before.
std::mutex g_errorLock;
std::unordered_map<Display*, int> g_errors;  // this layer's connections: the last error code
XErrorHandler g_previousHandler = nullptr;
bool g_handlerInstalled = false;

int OnXError(Display* display, XErrorEvent* event) {
    XErrorHandler previous;
    {
        std::lock_guard<std::mutex> lock(g_errorLock);
        auto it = g_errors.find(display);
        if (it != g_errors.end()) {
            it->second = event->error_code;
            return 0;
        }
        previous = g_previousHandler;
    }
    return previous ? previous(display, event) : 0;
}

class Connection {
public:
    Connection() {
        const char* name = getenv("DISPLAY");
        if (!name || !*name) return;
        display_ = XOpenDisplay(name);
        if (!display_) return;
        std::lock_guard<std::mutex> lock(g_errorLock);
        if (!g_handlerInstalled) {
            g_previousHandler = XSetErrorHandler(&OnXError);
            g_handlerInstalled = true;
        }
        g_errors[display_] = 0;
    }
    ~Connection() {
        if (!display_) return;
        XCloseDisplay(display_);
        std::lock_guard<std::mutex> lock(g_errorLock);
        g_errors.erase(display_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Display* get() const { return display_; }
    explicit operator bool() const { return display_ != nullptr; }

    // Forgets the errors so far. Requests with a reply have had their errors reported by
    // the time they return, so what follows is about the requests made after this.
    void ClearError() {
        std::lock_guard<std::mutex> lock(g_errorLock);
        g_errors[display_] = 0;
    }

    // Waits for the server to answer every request so far; false when one of them failed.
    bool SyncOk() {
        XSync(display_, False);
        std::lock_guard<std::mutex> lock(g_errorLock);
        int& error = g_errors[display_];
        bool ok = error == 0;
        error = 0;
        return ok;
    }

private:
    Display* display_ = nullptr;
};

bool HasProperty(Display* d, Window w, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    int status = XGetWindowProperty(d, w, property, 0, 0, False, AnyPropertyType, &type, &format, &items, &after, &data);
    if (data) XFree(data);
    return status == Success && type != None;
}

std::vector<Window> Children(Display* d, Window w) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<Window> out;
    if (XQueryTree(d, w, &root, &parent, &children, &count) && children) {
        out.assign(children, children + count);
    }
    if (children) XFree(children);
    return out;
}

// The client window under a child of the root: the first window with WM_STATE, searched
// breadth first a few levels down; the child itself when there is none.
Window ClientWindow(Display* d, Window top, Atom wmState) {
    if (HasProperty(d, top, wmState)) return top;
    std::vector<Window> level = Children(d, top);
    for (int depth = 0; depth < 4 && !level.empty(); ++depth) {
        std::vector<Window> next;
        for (Window w : level) {
            if (HasProperty(d, w, wmState)) return w;
            std::vector<Window> below = Children(d, w);
            next.insert(next.end(), below.begin(), below.end());
        }
        level.swap(next);
    }
    return top;
}

bool EqualsIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z') x = x - 'A' + 'a';
        if (y >= 'A' && y <= 'Z') y = y - 'A' + 'a';
        if (x != y) return false;
        if (!x) return true;
    }
}

bool ClassMatches(Display* d, Window w, LPCSTR className) {
    if (!className) return true;
    XClassHint hint{nullptr, nullptr};
    if (!XGetClassHint(d, w, &hint)) return false;
    bool match = hint.res_class && EqualsIgnoringCase(hint.res_class, className);
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    return match;
}

bool TitleMatches(Display* d, Window w, LPCSTR windowName) {
    if (!windowName) return true;
    // _NET_WM_NAME in UTF-8 first, as current clients set it; WM_NAME otherwise.
    Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, netName, 0, 1 << 16, False, utf8, &type, &format, &items, &after, &data) == Success &&
        data && type == utf8 && format == 8) {
        bool match = std::string(reinterpret_cast<char*>(data), items) == windowName;
        XFree(data);
        return match;
    }
    if (data) XFree(data);
    char* name = nullptr;
    if (!XFetchName(d, w, &name) || !name) return *windowName == '\0';
    bool match = strcmp(name, windowName) == 0;
    XFree(name);
    return match;
}

Window WindowOf(HWND window) { return Window(reinterpret_cast<uintptr_t>(window)); }

bool Exists(Connection& c, Window w) {
    if (!w) return false;
    XWindowAttributes attributes;
    Status status = XGetWindowAttributes(c.get(), w, &attributes);
    return c.SyncOk() && status != 0;
}

bool TakesDeleteWindow(Display* d, Window w, Atom deleteWindow) {
    Atom* protocols = nullptr;
    int count = 0;
    bool found = false;
    if (XGetWMProtocols(d, w, &protocols, &count) && protocols) {
        for (int i = 0; i < count; ++i) found = found || protocols[i] == deleteWindow;
    }
    if (protocols) XFree(protocols);
    return found;
}

// The process id in _NET_WM_PID; 0 when the window has none.
unsigned long WindowPid(Display* d, Window w, Atom netWmPid) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    unsigned long pid = 0;
    if (XGetWindowProperty(d, w, netWmPid, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after, &data) ==
            Success &&
        data && type == XA_CARDINAL && format == 32 && items == 1) {
        pid = *reinterpret_cast<unsigned long*>(data);  // format 32 items come as longs
    }
    if (data) XFree(data);
    return pid;
}

}  // namespace

namespace navo::x11 {

void ShowCursorOnOwnWindows(PointerShape shape) {
    // The watch keeps the connection that made it open until it is taken down: the server
    // may drop a themed (image) cursor together with the connection that created it, even
    // while windows still show it.
    static std::unique_ptr<Connection> watchConnection;
    std::unique_ptr<Connection> c = std::move(watchConnection);
    if (!c) c = std::make_unique<Connection>();
    if (!*c) return;
    Display* d = c->get();
    Atom wmState = XInternAtom(d, "WM_STATE", False);
    Atom netWmPid = XInternAtom(d, "_NET_WM_PID", False);
    Cursor watch = shape == PointerShape::Watch ? XCreateFontCursor(d, XC_watch) : None;
    const auto self = static_cast<unsigned long>(getpid());
    for (Window top : Children(d, DefaultRootWindow(d))) {
        c->ClearError();
        Window client = ClientWindow(d, top, wmState);
        if (WindowPid(d, client, netWmPid) != self) continue;
        if (watch != None) XDefineCursor(d, client, watch);
        else XUndefineCursor(d, client);
    }
    if (watch != None) XFreeCursor(d, watch);  // the windows hold it
    c->SyncOk();
    if (shape == PointerShape::Watch) watchConnection = std::move(c);
}

}  // namespace navo::x11

extern "C" {

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
    Connection c;
    if (!c) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    Display* d = c.get();
    Atom wmState = XInternAtom(d, "WM_STATE", False);
    std::vector<Window> tops = Children(d, DefaultRootWindow(d));
    // XQueryTree lists children bottom to top; the platform searches from the top.
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        c.ClearError();
        Window client = ClientWindow(d, *it, wmState);
        if (ClassMatches(d, client, className) && TitleMatches(d, client, windowName)) {
            if (!c.SyncOk()) continue;  // it went away while it was looked at
            return reinterpret_cast<HWND>(uintptr_t(client));
        }
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

BOOL WINAPI IsWindow(HWND window) {
    Connection c;
    return c && Exists(c, WindowOf(window)) ? TRUE : FALSE;
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Connection c;
    Window w = WindowOf(window);
    if (!c || !Exists(c, w)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    Display* d = c.get();
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = w;
    event.xclient.format = 32;
    if (message == WM_CLOSE) {
        Atom protocols = XInternAtom(d, "WM_PROTOCOLS", False);
        Atom deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
        // ICCCM: a client is sent WM_DELETE_WINDOW only when it lists it in WM_PROTOCOLS.
        if (!TakesDeleteWindow(d, w, deleteWindow)) {
            SetLastError(ERROR_NOT_SUPPORTED);
            return FALSE;
        }
        event.xclient.message_type = protocols;
        event.xclient.data.l[0] = long(deleteWindow);
        event.xclient.data.l[1] = CurrentTime;
    } else {
        // Each 32-bit item carries one half of a parameter; the receiver joins them.
        const auto w64 = uint64_t(wParam), l64 = uint64_t(lParam);
        event.xclient.message_type = XInternAtom(d, "_NAVOTOOLS_WM_MESSAGE", False);
        event.xclient.data.l[0] = long(message);
        event.xclient.data.l[1] = long(w64 & 0xFFFFFFFFu);
        event.xclient.data.l[2] = long(w64 >> 32);
        event.xclient.data.l[3] = long(l64 & 0xFFFFFFFFu);
        event.xclient.data.l[4] = long(l64 >> 32);
    }
    // An empty event mask sends the event to the client that created the window.
    Status sent = XSendEvent(d, w, False, NoEventMask, &event);
    if (!sent || !c.SyncOk()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
