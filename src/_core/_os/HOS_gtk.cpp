#include "HOS.h"

#include "HLogs.h"

#include <gtk/gtk.h>

#include <iostream>

void HOS::init() {}

// The report always goes to standard error as well, for logs and for machines without a display.
void HOS::error(const std::string& title, const std::vector<std::string>& errors,
                const std::vector<std::string>& args, void* handle) {
    const std::string body = details(errors, args);
    std::cerr << title << '\n' << body << std::flush;
    if (gtk_init_check(nullptr, nullptr) != TRUE)
        return;
    GtkWidget* dialog =
        gtk_message_dialog_new(static_cast<GtkWindow*>(handle), GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                               GTK_BUTTONS_OK, "%s", title.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", body.c_str());
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

void HOS::navigate(const std::string& address) {
    GError* error = nullptr;
    if (!g_app_info_launch_default_for_uri(address.c_str(), nullptr, &error)) {
        HLOG_WARN("HOS::navigate::cannot open:", address, ":",
                  error != nullptr ? error->message : "");
        g_clear_error(&error);
    }
}
