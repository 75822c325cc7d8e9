#pragma once

class HFile;

// The window that shows the application's splash image while the host starts.
class HSplashWindow {
public:
    HSplashWindow();
    HSplashWindow(const HSplashWindow&) = delete;
    HSplashWindow& operator=(const HSplashWindow&) = delete;
    ~HSplashWindow();

    // Both may be called in any state; closing a window never shown is harmless. Without a
    // display, or with an image that cannot be read, nothing is shown.
    void show(const HFile& image);
    void close();

private:
    void* window = nullptr;
};
