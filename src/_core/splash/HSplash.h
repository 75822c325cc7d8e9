#pragma once

class HFile;

// The window shown while the host starts.
class HSplashWindow {
public:
    HSplashWindow();
    HSplashWindow(const HSplashWindow&) = delete;
    HSplashWindow& operator=(const HSplashWindow&) = delete;
    ~HSplashWindow();

    // Both may be called in any state; closing a window never shown is harmless.
    void show(const HFile& image);
    void close();

private:
    void* window = nullptr;
};
