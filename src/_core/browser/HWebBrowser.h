#pragma once

#include <boost/json/array.hpp>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class HEvents;
class HServerMonitor;
class HSplashWindow;

// Identifies a native menu or menu item: the address of the toolkit object. Only compared.
using HMenuHandle = std::uint64_t;

// How the window first shows: 1 fullscreen, 2 normal, 3 minimized, 4 hidden; sizes when > 0.
struct HWindowSettings {
    int show = 2;
    int width = -1;
    int height = -1;
};

class HWebBrowserPrivate;

// The native window with the web view on the host's front end, and the menu bar that the page
// describes. `run`, `test` and `onMenuAction` belong to the main thread; `terminate`,
// `createMenuBar` and `updateMenu` are safe from any thread.
class HWebBrowser {
public:
    HWebBrowser(HServerMonitor& monitor, HEvents& events, HSplashWindow& splash);
    HWebBrowser(const HWebBrowser&) = delete;
    HWebBrowser& operator=(const HWebBrowser&) = delete;
    ~HWebBrowser();

    // Whether a window can be opened here (a display can be opened).
    static bool isSupported();
    // Opens the window on the URL and runs the UI loop on the calling (main) thread until the
    // window closes or `terminate` is called; the server is terminated before it returns.
    void run(const std::string& title, const std::string& url,
             const HWindowSettings& settings = {});
    // Ends the UI loop when it runs.
    void terminate();
    // The smoke-test window of `--test --webView`.
    static void test();

    // Replace the native menu bar, or refill one of its menus. They return once the menus are
    // built; entries that cannot be built are logged and left out.
    void createMenuBar(const boost::json::array& menuBar);
    void updateMenu(const std::string& menuId, const boost::json::array& options);
    // A click on a mapped action item: the page receives its id as an "action" event.
    void onMenuAction(HMenuHandle handle);

    void addMenuMap(const std::string& id, const std::string& text, HMenuHandle handle);
    void rmvMenuMap(HMenuHandle handle);
    void addChildMap(const std::string& id, const std::string& text, HMenuHandle handle);
    void rmvChildMap(HMenuHandle handle);
    void clrMenuMap();
    HMenuHandle getMenuValue(const std::string& id);
    bool getChildId(HMenuHandle handle, std::string& id);

private:
    using Mappings = std::map<std::string, HMenuHandle>;
    static void addMapping(const char* label, Mappings& map, const std::string& id,
                           const std::string& text, HMenuHandle handle);
    static void rmvMapping(Mappings& map, HMenuHandle handle);

    HServerMonitor& monitor;
    HEvents& events;
    HSplashWindow& splash;
    // Set while the UI loop runs.
    std::atomic<HWebBrowserPrivate*> application = nullptr;
    Mappings menuMappings;
    std::mutex menuMutex;
    Mappings childMappings;
    std::mutex childMutex;

    friend class HWebBrowserPrivate;
};

// Empties one native menu and forgets the table entries of its direct items.
void clearMenuItems(HWebBrowser& browser, HMenuHandle menu);
