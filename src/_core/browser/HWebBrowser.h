#pragma once

#include <string>

class HEvents;
class HServerMonitor;
class HSplashWindow;

// The native window with the web view on the host's front end.
class HWebBrowser {
public:
    HWebBrowser(HServerMonitor& monitor, HEvents& events, HSplashWindow& splash);
    HWebBrowser(const HWebBrowser&) = delete;
    HWebBrowser& operator=(const HWebBrowser&) = delete;
    ~HWebBrowser();

    // Whether a window can be opened here.
    static bool isSupported();
    // Opens the window on the URL and runs the UI loop on the calling (main) thread until the
    // window closes; the server is terminated before it returns.
    void run(const std::string& title, const std::string& url);
    // Quits the UI loop when it runs; safe from any thread.
    void terminate();
    // The smoke-test window of `--test --webView`.
    static void test();

private:
    HServerMonitor& monitor;
    HEvents& events;
    HSplashWindow& splash;
    void* application = nullptr;
};
