// Test helper for an X display: a screenshot of the whole screen, and the close request that a
// window manager sends when the user closes a window.
//   xhelper shot FILE.png
//   xhelper close WINDOW_ID

#include <X11/Xlib.h>
#include <gdk/gdk.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int shot(const char* file) {
    GdkWindow* root = gdk_get_default_root_window();
    GdkPixbuf* pixbuf = gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root),
                                                   gdk_window_get_height(root));
    if (pixbuf == nullptr)
        return 1;
    GError* error = nullptr;
    const bool saved = gdk_pixbuf_save(pixbuf, file, "png", &error, nullptr);
    if (!saved)
        std::fprintf(stderr, "xhelper: %s\n", error->message);
    g_clear_error(&error);
    g_object_unref(pixbuf);
    return saved ? 0 : 1;
}

int close(const char* id) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return 1;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = std::strtoul(id, nullptr, 0);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
    return sent != 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || !gdk_init_check(&argc, &argv))
        return 2;
    if (std::strcmp(argv[1], "shot") == 0)
        return shot(argv[2]);
    if (std::strcmp(argv[1], "close") == 0)
        return close(argv[2]);
    return 2;
}
