#include "HWebBrowser.h"

// Without a windowing toolkit the host only serves headless.
bool HWebBrowser::isSupported() { return false; }

void HWebBrowser::run(const std::string&, const std::string&) {}

void HWebBrowser::terminate() {}

void HWebBrowser::test() {}
