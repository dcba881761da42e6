// Waits, without polling, for a visible top-level window whose title starts with PREFIX, and
// prints the wall-clock time it saw it (milliseconds since the epoch, as `date +%s%3N`) and the
// window's id:
//   title_watch PREFIX [TIMEOUT_MS]           prints "ready" once it listens, then "MS WINDOW"
//   title_watch --escape PREFIX [TIMEOUT_MS]  the same, and presses Esc in the window at once;
//                                             MS is when the key went to the X server
// bench/window-bench times a program's start to its first paint with it (the program names the
// file in its title once the picture is painted), and Esc to the program's exit. Polling with
// xdotool every few milliseconds would take most of a core from the program it times on a
// two-core machine, and a key pressed by starting xdotool waits for a core as long as the
// program keeps both busy: this one sleeps in the X server's event queue until a window is
// made, renamed or mapped, and has the key ready. Exits 1 on timeout.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

static long long NowMs() {
    struct timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

static bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The window's title as the program set it: the UTF-8 name where there is one, else WM_NAME.
static bool TitleStartsWith(Display* display, Window window, const char* prefix) {
    static Atom netName = None, utf8 = None;
    if (netName == None) {
        netName = XInternAtom(display, "_NET_WM_NAME", False);
        utf8 = XInternAtom(display, "UTF8_STRING", False);
    }
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* value = nullptr;
    bool match = false;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &value) == Success &&
        value && type == utf8) {
        match = StartsWith(reinterpret_cast<const char*>(value), prefix);
        XFree(value);
        return match;
    }
    if (value) XFree(value);
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        match = StartsWith(name, prefix);
        XFree(name);
    }
    return match;
}

static bool Viewable(Display* display, Window window) {
    XWindowAttributes a;
    return XGetWindowAttributes(display, window, &a) && a.map_state == IsViewable;
}

// True when `window` is the one waited for: its time (and the key's) printed.
static bool Found(Display* display, Window window, const char* prefix, bool escape) {
    if (!TitleStartsWith(display, window, prefix) || !Viewable(display, window)) return false;
    const long long seen = NowMs();
    if (escape) {
        const KeyCode key = XKeysymToKeycode(display, XK_Escape);
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XTestFakeKeyEvent(display, key, True, CurrentTime);
        XTestFakeKeyEvent(display, key, False, CurrentTime);
        XSync(display, False);
    }
    std::printf("%lld %lu\n", seen, static_cast<unsigned long>(window));
    return true;
}

// Windows may go while they are asked about: such errors are not the watcher's.
static int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

int main(int argc, char** argv) {
    const bool escape = argc > 1 && std::strcmp(argv[1], "--escape") == 0;
    if (escape) --argc, ++argv;
    if (argc < 2) {
        std::fprintf(stderr, "usage: title_watch [--escape] PREFIX [TIMEOUT_MS]\n");
        return 2;
    }
    const char* prefix = argv[1];
    const long long deadline = NowMs() + (argc > 2 ? std::atoll(argv[2]) : 20000);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "title_watch: no display\n");
        return 2;
    }
    XSetErrorHandler(IgnoreErrors);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);
    // A window on show already (the floor's, for its Esc).
    Window rootReturn, parent, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, root, &rootReturn, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i) {
            XSelectInput(display, children[i], PropertyChangeMask | StructureNotifyMask);
            if (Found(display, children[i], prefix, escape)) return 0;
        }
        if (children) XFree(children);
    }
    const int fd = ConnectionNumber(display);
    for (;;) {
        while (XPending(display)) {
            XEvent e;
            XNextEvent(display, &e);
            Window w = None;
            if (e.type == CreateNotify && e.xcreatewindow.parent == root) {
                w = e.xcreatewindow.window;
                // Its later renames and maps; its name may be set already.
                XSelectInput(display, w, PropertyChangeMask | StructureNotifyMask);
            } else if (e.type == PropertyNotify) {
                w = e.xproperty.window;
            } else if (e.type == MapNotify) {
                w = e.xmap.window;
            }
            if (w != None && Found(display, w, prefix, escape)) return 0;
        }
        const long long left = deadline - NowMs();
        if (left <= 0) return 1;
        pollfd p = {fd, POLLIN, 0};
        poll(&p, 1, static_cast<int>(left < 1000 ? left : 1000));
    }
}
