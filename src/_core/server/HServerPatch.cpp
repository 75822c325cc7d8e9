#include "HJson.h"
#include "HServer.h"
#include "HServerResponse.h"
#include "HService.h"

#include <algorithm>

void HServer::processPatch(HServerResponse& response, const std::string& path,
                           const boost::json::value& body) {
    std::lock_guard lock(serviceMutex);
    auto refuse = [&](int status, const char* code, const char* description) {
        response.error(status, code, description, HService::details(body, path, ""));
    };
    if (path.empty() || path.front() != '/') {
        refuse(406, "INVALID_SERVICE_REQUEST", "INVALID SERVICE REQUEST");
        return;
    }
    const std::string rest = path.substr(1);
    const HJson view(body);
    if (std::count(rest.begin(), rest.end(), '/') != 1) {
        refuse(406, "INVALID_SERVICE_REQUEST", "INVALID SERVICE REQUEST");
        return;
    }
    for (const auto& service : services) {
        const std::string prefix = service->name + "/";
        if (rest.compare(0, prefix.size(), prefix) != 0)
            continue;
        if (service->requestType == HServiceRequestType::Direct)
            service->process(view, response, rest.substr(prefix.size()));
        else
            refuse(500, "INVALID_SERVICE_MODE", "INVALID SERVICE MODE");
        return;
    }
    refuse(404, "SERVICE_NOT_FOUND", "SERVICE NOT FOUND");
}
