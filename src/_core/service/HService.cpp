#include "HService.h"

#include "HJson.h"
#include "HServerResponse.h"

namespace json = boost::json;

namespace {

bool setError(std::string* error, const std::string& name) {
    if (error != nullptr)
        *error = name;
    return false;
}

} // namespace

HService::HService(HServiceRequestType requestType, const std::string& name)
    : requestType(requestType), name(name) {}

HService::~HService() = default;

bool HService::initialize() {
    return true;
}

void HService::terminate() {}

json::object HService::details(const json::value& request, const std::string& id,
                               const std::string& param) {
    json::object details;
    details["id"] = id;
    details["request"] = request;
    if (!param.empty())
        details["param"] = param;
    return details;
}

void HService::end(HServerResponse& response, int status, const json::value& result,
                   const std::string& key) {
    json::object body;
    body[key] = result;
    response.write(json::value(std::move(body)));
    response.end(status);
}

void HService::echo(const HJson& request, HServerResponse& response,
                    const std::string& requestName) {
    json::object inner;
    inner["id"] = requestName;
    inner["request"] = request.json();
    json::object echoObject;
    echoObject["echo"] = std::move(inner);
    end(response, 200, echoObject, requestName);
}

void HService::errorGeneric(const HJson& request, HServerResponse& response, const std::string& id,
                            const std::string& param) {
    response.error(500, "GENERIC_ERROR", "GENERIC ERROR", details(request.json(), id, param));
}

void HService::errorParam(const HJson& request, HServerResponse& response, const std::string& param,
                          const std::string& id) {
    response.error(400, "INVALID_SERVICE_PARAMETER", "INVALID SERVICE PARAMETER",
                   details(request.json(), id, param));
}

void HService::errorNotImpl(const HJson& request, HServerResponse& response,
                            const std::string& id) {
    response.error(501, "NOT_IMPLEMENTED", "NOT IMPLEMENTED", details(request.json(), id, ""));
}

bool HService::getParam(const HJson& request, const std::string& name, json::array& out,
                        std::string* error) {
    return request.getArray(name, out) || setError(error, name);
}

bool HService::getParam(const HJson& request, const std::string& name, json::object& out,
                        std::string* error) {
    return request.getObject(name, out) || setError(error, name);
}

bool HService::getParam(const HJson& request, const std::string& name, std::string& out,
                        std::string* error) {
    return request.getString(name, out) || setError(error, name);
}

bool HService::getParam(const HJson& request, const std::string& name, int& out,
                        std::string* error) {
    return request.getInt(name, out) || setError(error, name);
}

bool HService::getParam(const HJson& request, const std::string& name, std::regex& out,
                        std::string* error) {
    std::string pattern;
    if (!request.getString(name, pattern))
        return setError(error, name);
    out = std::regex(pattern, std::regex::ECMAScript);
    return true;
}

bool HService::getParamPtr(const HJson& request, const std::string& name, void*& out,
                           std::string* error) {
    return request.getPtr(name, out) || setError(error, name);
}
