#include "HSplash.h"

#include "HFile.h"

// No splash window on this platform yet: the host starts without one.
HSplashWindow::HSplashWindow() = default;

HSplashWindow::~HSplashWindow() {
    close();
}

void HSplashWindow::show(const HFile&) {}

void HSplashWindow::close() {
    window = nullptr;
}
