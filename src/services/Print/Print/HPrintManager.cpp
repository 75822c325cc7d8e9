#include "HPrintManager.h"

#include "HJson.h"

namespace json = boost::json;

HPrintManager::HPrintManager() : HPrintCore(HServiceRequestType::Direct, "printManager") {}

void HPrintManager::process(const HJson& request, HServerResponse& response,
                            const std::string& requestName) {
    if (requestName == "enum") {
        enumPrinters(request, response, requestName);
        return;
    }
    std::string printerName;
    if (!getParam(request, "printerName", printerName, nullptr)) {
        errorParam(request, response, "printerName", requestName);
        return;
    }
    if (requestName == "capabilities")
        capabilities(request, response, requestName, printerName);
    else if (requestName == "driver")
        driver(request, response, requestName, printerName);
    else if (requestName == "devmode")
        devmode(request, response, requestName, printerName);
    else if (requestName == "papers")
        enumPapers(request, response, requestName, printerName);
    else
        errorNotImpl(request, response, requestName);
}

void HPrintManager::enumPrinters(const HJson&, HServerResponse& response,
                                 const std::string& requestName) {
    end(response, 200, json::array(), requestName);
}

void HPrintManager::capabilities(const HJson&, HServerResponse& response,
                                 const std::string& requestName, const std::string&) {
    end(response, 200, json::object(), requestName);
}

void HPrintManager::driver(const HJson&, HServerResponse& response, const std::string& requestName,
                           const std::string&) {
    end(response, 200, json::object(), requestName);
}

void HPrintManager::devmode(const HJson&, HServerResponse& response, const std::string& requestName,
                            const std::string&) {
    end(response, 200, json::object(), requestName);
}

void HPrintManager::enumPapers(const HJson&, HServerResponse& response,
                               const std::string& requestName, const std::string&) {
    end(response, 200, json::array(), requestName);
}
