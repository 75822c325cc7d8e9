#include "HWebBrowser.h"

#include "HJson.h"
#include "HLogs.h"
#include "HServerMonitor.h"
#include "HSplash.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <functional>
#include <future>
#include <vector>

namespace json = boost::json;

class HWebBrowserPrivate;

namespace {

HMenuHandle handleOf(gpointer object) {
    return reinterpret_cast<std::uintptr_t>(object);
}

GtkWidget* widgetOf(HMenuHandle handle) {
    return reinterpret_cast<GtkWidget*>(handle);
}

const char* pageMarker = "window.hWebBrowser='hWebBrowser';";

// The scheme, host and port of a URL, such as "http://127.0.0.1:9080".
std::string originOf(const std::string& url) {
    const auto scheme = url.find("://");
    if (scheme == std::string::npos)
        return url;
    return url.substr(0, url.find('/', scheme + 3));
}

void openExternally(const std::string& uri) {
    HLOG_INFO("HWebBrowser::external:", uri);
    if (uri.rfind("http://", 0) != 0 && uri.rfind("https://", 0) != 0 &&
        uri.rfind("mailto:", 0) != 0) {
        HLOG_WARN("HWebBrowser::navigation refused:", uri);
        return;
    }
    GError* error = nullptr;
    if (!g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error)) {
        HLOG_WARN("HWebBrowser::cannot open:", uri, ":", error != nullptr ? error->message : "");
        g_clear_error(&error);
    }
}

// Work handed from a server thread to the UI thread, which reports whether it ran.
struct UiTask {
    HWebBrowserPrivate* owner = nullptr;
    std::function<void()> work;
    std::promise<bool> done;
    guint source = 0;
};

} // namespace

// The running window: the toolkit objects and the one way other threads reach them.
class HWebBrowserPrivate {
public:
    explicit HWebBrowserPrivate(HWebBrowser& browser) : browser(browser) {}

    // Runs `work` on the UI thread and waits for it; false when the UI loop has ended first.
    // Never call it on the UI thread.
    bool invoke(std::function<void()> work) {
        auto task = std::make_shared<UiTask>();
        task->owner = this;
        task->work = std::move(work);
        auto done = task->done.get_future();
        {
            std::lock_guard lock(mutex);
            if (!open)
                return false;
            pending.push_back(task);
            // g_idle_add is safe from any thread; g_main_context_invoke would run the work on
            // this thread when the loop is not running.
            task->source = g_idle_add_full(G_PRIORITY_DEFAULT, runTask,
                                           new std::shared_ptr<UiTask>(task), forgetTask);
        }
        return done.get();
    }

    // At the end of the loop: tasks still waiting will never run.
    void closeTasks() {
        std::vector<std::shared_ptr<UiTask>> left;
        {
            std::lock_guard lock(mutex);
            open = false;
            left.swap(pending);
        }
        for (const auto& task : left) {
            g_source_remove(task->source);
            task->done.set_value(false);
        }
    }

    void buildMenuBar(const json::array& entries);
    void fillMenu(HMenuHandle menu, const json::array& entries);

    HWebBrowser& browser;
    GtkWidget* window = nullptr;
    GtkWidget* box = nullptr;
    GtkWidget* menuBar = nullptr;
    std::string origin;

private:
    static gboolean runTask(gpointer data) {
        const auto task = *static_cast<std::shared_ptr<UiTask>*>(data);
        {
            std::lock_guard lock(task->owner->mutex);
            auto& pending = task->owner->pending;
            const auto found = std::find(pending.begin(), pending.end(), task);
            if (found == pending.end())
                return G_SOURCE_REMOVE;
            pending.erase(found);
        }
        task->work();
        task->done.set_value(true);
        return G_SOURCE_REMOVE;
    }
    static void forgetTask(gpointer data) { delete static_cast<std::shared_ptr<UiTask>*>(data); }

    std::mutex mutex;
    bool open = true;
    std::vector<std::shared_ptr<UiTask>> pending;

    friend class HWebBrowser;
};

namespace {

void onActivate(GtkMenuItem* item, gpointer browser) {
    static_cast<HWebBrowser*>(browser)->onMenuAction(handleOf(item));
}

gboolean quitLoop(gpointer) {
    gtk_main_quit();
    return G_SOURCE_REMOVE;
}

// A server stopped by a signal takes the window with it.
gboolean watchServer(gpointer monitor) {
    if (static_cast<HServerMonitor*>(monitor)->hasStopped())
        gtk_main_quit();
    // Removed by `run` when the loop ends.
    return G_SOURCE_CONTINUE;
}

// Closing the window ends the loop; the window itself goes when `run` is done with it.
gboolean onDelete(GtkWidget*, GdkEvent*, gpointer) {
    gtk_main_quit();
    return TRUE;
}

// The page stays on the host: other origins and new windows open in the user's browser.
gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type, gpointer data) {
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
        type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
        return FALSE;
    auto* navigation = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(navigation);
    const std::string uri =
        webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    const std::string& origin = static_cast<HWebBrowserPrivate*>(data)->origin;
    const bool own = uri.rfind(origin + "/", 0) == 0 || uri == origin ||
                     uri.rfind("about:", 0) == 0 || uri.rfind("data:", 0) == 0 ||
                     uri.rfind("blob:", 0) == 0;
    if (own && type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION)
        return FALSE;
    openExternally(uri);
    webkit_policy_decision_ignore(decision);
    return TRUE;
}

WebKitWebView* createWebView() {
    WebKitUserContentManager* content = webkit_user_content_manager_new();
    WebKitUserScript* marker =
        webkit_user_script_new(pageMarker, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(content, marker);
    webkit_user_script_unref(marker);
    auto* view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_user_content_manager(content));
    g_object_unref(content);
    return view;
}

void pumpEvents() {
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

} // namespace

bool HWebBrowser::isSupported() {
    return gtk_init_check(nullptr, nullptr) == TRUE;
}

void HWebBrowser::run(const std::string& title, const std::string& url,
                      const HWindowSettings& settings) {
    if (!isSupported())
        return;
    splash.close();

    auto body = std::make_unique<HWebBrowserPrivate>(*this);
    body->origin = originOf(url);
    body->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(body->window), title.c_str());
    gtk_window_set_default_size(GTK_WINDOW(body->window),
                                settings.width > 0 ? settings.width : 1280,
                                settings.height > 0 ? settings.height : 800);
    gtk_window_set_position(GTK_WINDOW(body->window), GTK_WIN_POS_CENTER);
    g_signal_connect(body->window, "delete-event", G_CALLBACK(onDelete), nullptr);

    body->box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(body->window), body->box);
    WebKitWebView* view = createWebView();
    g_signal_connect(view, "decide-policy", G_CALLBACK(onDecidePolicy), body.get());
    gtk_box_pack_end(GTK_BOX(body->box), GTK_WIDGET(view), TRUE, TRUE, 0);
    webkit_web_view_load_uri(view, url.c_str());

    gtk_widget_show_all(body->box);
    switch (settings.show) {
    case 1:
        gtk_window_fullscreen(GTK_WINDOW(body->window));
        gtk_widget_show(body->window);
        break;
    case 3:
        gtk_window_iconify(GTK_WINDOW(body->window));
        gtk_widget_show(body->window);
        break;
    case 4:
        break;
    default:
        gtk_widget_show(body->window);
        break;
    }

    application = body.get();
    HLOG_INFO("HWebBrowser::webViewThread.RUN");
    const guint watch = g_timeout_add(100, watchServer, &monitor);
    gtk_main();
    application = nullptr;
    g_source_remove(watch);
    body->closeTasks();
    monitor.terminate();
    HLOG_INFO("HWebBrowser::webViewThread.RUN.LEAVES");
    gtk_widget_destroy(body->window);
    pumpEvents();
    HLOG_INFO("HWebBrowser::webViewThread.LEAVES");
}

void HWebBrowser::terminate() {
    if (application.load() != nullptr)
        g_idle_add(quitLoop, nullptr);
}

void HWebBrowser::test() {
    if (!isSupported())
        return;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Minimal example");
    gtk_window_set_default_size(GTK_WINDOW(window), 640, 480);
    g_signal_connect(window, "delete-event", G_CALLBACK(onDelete), nullptr);
    WebKitWebView* view = createWebView();
    gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
    webkit_web_view_load_html(view,
                              "<!doctype html><title>taviro</title><h1>taviro</h1>"
                              "<p id=marker></p><script>document.getElementById('marker')"
                              ".textContent = 'page marker: ' + window.hWebBrowser;</script>",
                              "about:blank");
    gtk_widget_show_all(window);
    gtk_main();
    gtk_widget_destroy(window);
    pumpEvents();
}

void HWebBrowser::createMenuBar(const json::array& menuBar) {
    HLOG_INFO("HWebBrowser::createMenuBar::", menuBar.size());
    HWebBrowserPrivate* running = application.load();
    if (running == nullptr || !running->invoke([&] { running->buildMenuBar(menuBar); }))
        HLOG_ERROR("HWebBrowser::createMenuBar::WINDOW NOT FOUND");
}

void HWebBrowser::updateMenu(const std::string& menuId, const json::array& options) {
    const HMenuHandle menu = getMenuValue(menuId);
    HLOG_INFO("HWebBrowser::updateMenu::", options.size());
    if (menu == 0)
        return;
    // The native menus go with the window; without a running loop there is nothing to change.
    if (HWebBrowserPrivate* running = application.load())
        running->invoke([&] { running->fillMenu(menu, options); });
}

void HWebBrowserPrivate::buildMenuBar(const json::array& entries) {
    if (menuBar != nullptr) {
        gtk_widget_destroy(menuBar);
        menuBar = nullptr;
    }
    browser.clrMenuMap();
    if (entries.empty()) {
        HLOG_WARN("HWebBrowser::createMenuBar::EMPTY MENU");
        return;
    }
    GtkWidget* bar = gtk_menu_bar_new();
    if (bar == nullptr) {
        HLOG_ERROR("HWebBrowser::createMenuBar::createInstance");
        return;
    }
    for (const json::value& entry : entries) {
        const HJson view(entry);
        std::string id;
        std::string text;
        if (view.getString("id", id) && view.getString("text", text)) {
            GtkWidget* menu = gtk_menu_new();
            GtkWidget* item = gtk_menu_item_new_with_label(text.c_str());
            HLOG_INFO("HWebBrowser::createMenu::", id, text);
            browser.addMenuMap(id, text, handleOf(menu));
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), menu);
            gtk_menu_shell_append(GTK_MENU_SHELL(bar), item);
        } else {
            HLOG_ERROR("HWebBrowser::cannotCreateMenu:", id);
        }
    }
    gtk_box_pack_start(GTK_BOX(box), bar, FALSE, FALSE, 0);
    gtk_box_reorder_child(GTK_BOX(box), bar, 0);
    gtk_widget_show_all(bar);
    menuBar = bar;
}

void HWebBrowserPrivate::fillMenu(HMenuHandle menu, const json::array& entries) {
    clearMenuItems(browser, menu);
    GtkMenuShell* shell = GTK_MENU_SHELL(widgetOf(menu));
    for (const json::value& entry : entries) {
        const HJson view(entry);
        std::string type;
        if (!view.getString("type", type))
            continue;
        std::string id;
        std::string text;
        view.getString("id", id);
        const bool hasText = view.getString("text", text);
        HLOG_INFO("HWebBrowser::updateOption::", id, ":", text);
        if (type == "menu" || type == "child") {
            if (!hasText) {
                HLOG_ERROR("HWebBrowser::CannotAddChildMenu:", type, "id:", id, "text:", text);
                continue;
            }
            GtkWidget* submenu = gtk_menu_new();
            GtkWidget* item = gtk_menu_item_new_with_label(text.c_str());
            browser.addMenuMap(id, text, handleOf(submenu));
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), submenu);
            gtk_menu_shell_append(shell, item);
        } else if (type == "action") {
            if (!hasText) {
                HLOG_ERROR("HWebBrowser::CannotAddMenuItem:", type, "id:", id, "text:", text);
                continue;
            }
            bool disabled = false;
            bool selected = false;
            view.getBool("disabled", disabled);
            const bool checkable = view.getBool("selected", selected);
            GtkWidget* item = checkable ? gtk_check_menu_item_new_with_label(text.c_str())
                                        : gtk_menu_item_new_with_label(text.c_str());
            // The state is set before the handler is connected: setting it emits "activate".
            if (checkable)
                gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), selected);
            // An insensitive item still emits "activate" when activated from code, so a
            // disabled item gets no handler at all.
            if (disabled)
                gtk_widget_set_sensitive(item, FALSE);
            else
                g_signal_connect(item, "activate", G_CALLBACK(onActivate), &browser);
            browser.addChildMap(id, text, handleOf(item));
            gtk_menu_shell_append(shell, item);
        } else if (type == "separator") {
            gtk_menu_shell_append(shell, gtk_separator_menu_item_new());
        }
    }
    gtk_widget_show_all(GTK_WIDGET(shell));
}

void clearMenuItems(HWebBrowser& browser, HMenuHandle menu) {
    if (menu == 0)
        return;
    GList* items = gtk_container_get_children(GTK_CONTAINER(widgetOf(menu)));
    for (GList* node = items; node != nullptr; node = node->next) {
        GtkWidget* item = GTK_WIDGET(node->data);
        GtkWidget* submenu =
            GTK_IS_MENU_ITEM(item) ? gtk_menu_item_get_submenu(GTK_MENU_ITEM(item)) : nullptr;
        if (submenu != nullptr)
            browser.rmvMenuMap(handleOf(submenu));
        else
            browser.rmvChildMap(handleOf(item));
        gtk_widget_destroy(item);
    }
    g_list_free(items);
}
