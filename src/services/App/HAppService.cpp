#include "HAppService.h"

#include "HAppFonts.h"
#include "HJson.h"
#include "HLogs.h"
#include "HServerMonitor.h"
#include "HWebBrowser.h"

namespace json = boost::json;

HAppService::HAppService(HServerMonitor& monitor, HWebBrowser& browser, HEvents& events)
    : HService(HServiceRequestType::Direct, "appService"), monitor(monitor), browser(browser),
      events(events) {}

void HAppService::process(const HJson& request, HServerResponse& response,
                          const std::string& requestName) {
    if (requestName == "enumFonts")
        enumFonts(request, response, requestName);
    else if (requestName == "exit")
        exit(request, response, requestName);
    else if (requestName == "setMenuBar")
        setMenuBar(request, response, requestName);
    else if (requestName == "updateMenu")
        updateMenu(request, response, requestName);
    else
        errorNotImpl(request, response, requestName);
}

void HAppService::enumFonts(const HJson&, HServerResponse& response,
                            const std::string& requestName) {
    const ResultSet fonts = getAvailableFonts();
    json::array faces;
    faces.reserve(fonts.size());
    for (const auto& font : fonts)
        faces.push_back(toJson(*font));
    end(response, 200, faces, requestName);
}

void HAppService::exit(const HJson&, HServerResponse& response, const std::string& requestName) {
    HLOG_TRACE("HAppService.exit");
    browser.terminate();
    monitor.terminate();
    end(response, 200, "ok", requestName);
}

void HAppService::setMenuBar(const HJson& request, HServerResponse& response,
                             const std::string& requestName) {
    json::array menuBar;
    if (!getParam(request, "menuBar", menuBar, nullptr)) {
        errorParam(request, response, "menuBar", requestName);
        return;
    }
    browser.createMenuBar(menuBar);
    end(response, 200, "ok", requestName);
}

void HAppService::updateMenu(const HJson& request, HServerResponse& response,
                             const std::string& requestName) {
    std::string error;
    std::string menu;
    json::array options;
    if (!getParam(request, "menu", menu, &error) ||
        !getParam(request, "options", options, &error)) {
        errorParam(request, response, error, requestName);
        return;
    }
    browser.updateMenu(menu, options);
    end(response, 200, "ok", requestName);
}
