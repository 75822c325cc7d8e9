#pragma once

#include "HService.h"

class HEvents;
class HServerMonitor;
class HWebBrowser;

// The page's control of the host: the native menu bar, the installed fonts, quitting.
class HAppService : public HService {
public:
    HAppService(HServerMonitor& monitor, HWebBrowser& browser, HEvents& events);

    void process(const HJson& request, HServerResponse& response,
                 const std::string& requestName) override;

private:
    void enumFonts(const HJson& request, HServerResponse& response, const std::string& requestName);
    void exit(const HJson& request, HServerResponse& response, const std::string& requestName);
    void setMenuBar(const HJson& request, HServerResponse& response,
                    const std::string& requestName);
    void updateMenu(const HJson& request, HServerResponse& response,
                    const std::string& requestName);

    HServerMonitor& monitor;
    HWebBrowser& browser;
    HEvents& events;
};
