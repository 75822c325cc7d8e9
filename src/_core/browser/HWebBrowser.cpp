#include "HWebBrowser.h"

#include "HLogs.h"

HWebBrowser::HWebBrowser(HServerMonitor& monitor, HEvents& events, HSplashWindow& splash)
    : monitor(monitor), events(events), splash(splash) {
    HLOG_TRACE("HWebBrowser::HWebBrowser");
}

HWebBrowser::~HWebBrowser() {
    HLOG_TRACE("HWebBrowser::~HWebBrowser");
}
