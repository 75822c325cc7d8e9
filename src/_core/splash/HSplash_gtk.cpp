#include "HSplash.h"

#include "HFile.h"
#include "HLogs.h"

#include <gtk/gtk.h>

namespace {

void pumpEvents() {
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

} // namespace

HSplashWindow::HSplashWindow() = default;

HSplashWindow::~HSplashWindow() {
    close();
}

void HSplashWindow::show(const HFile& image) {
    if (window != nullptr || !image.exists() || gtk_init_check(nullptr, nullptr) != TRUE)
        return;
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    GError* error = nullptr;
    if (!gdk_pixbuf_loader_write(loader, image.data(), image.size(), &error) ||
        !gdk_pixbuf_loader_close(loader, &error)) {
        HLOG_WARN("HSplashWindow::show::", error != nullptr ? error->message : "");
        g_clear_error(&error);
        g_object_unref(loader);
        return;
    }
    GtkWidget* splash = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_decorated(GTK_WINDOW(splash), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(splash), GDK_WINDOW_TYPE_HINT_SPLASHSCREEN);
    gtk_window_set_position(GTK_WINDOW(splash), GTK_WIN_POS_CENTER);
    gtk_window_set_title(GTK_WINDOW(splash), "splash");
    gtk_container_add(GTK_CONTAINER(splash),
                      gtk_image_new_from_pixbuf(gdk_pixbuf_loader_get_pixbuf(loader)));
    g_object_unref(loader);
    gtk_widget_show_all(splash);
    // The main loop does not run yet: draw the window now.
    pumpEvents();
    window = splash;
}

void HSplashWindow::close() {
    if (window == nullptr)
        return;
    gtk_widget_destroy(static_cast<GtkWidget*>(window));
    window = nullptr;
    pumpEvents();
}
