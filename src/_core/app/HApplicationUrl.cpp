#include "HApplication.h"

#include "HLogs.h"

std::string HApplication::url(const std::string& address, int port) const {
    std::string url =
        serverProtocol + "://" + address + ":" + std::to_string(port) + appBaseUrl + appHome;
    HLOG_TRACE("HApplication::makeUrl:", url);
    return url;
}
