#include "HApplication.h"

#include "HLogs.h"

std::string HApplication::url(const std::string& address, int port) const {
    // With the defaults ("/" and "/index.html") a plain join gives "//index.html", against which
    // the page's relative links resolve to paths that name no file.
    const bool doubled = !appBaseUrl.empty() && appBaseUrl.back() == '/' && !appHome.empty() &&
                         appHome.front() == '/';
    std::string url = serverProtocol + "://" + address + ":" + std::to_string(port) + appBaseUrl +
                      (doubled ? appHome.substr(1) : appHome);
    HLOG_TRACE("HApplication::makeUrl:", url);
    return url;
}
