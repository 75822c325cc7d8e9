#include "HServerResponse.h"

#include "HFile.h"
#include "HHttpApp.h"
#include "HJson.h"

HServerResponse::HServerResponse(HHttpResponse& response) : response(response) {}

void HServerResponse::setHeader(const std::string& name, const std::string& value) {
    response.setHeader(name, value);
}

void HServerResponse::setContentType(const std::string& type) {
    setHeader("Content-Type", type);
}

void HServerResponse::setContentJson() {
    setContentType("application/json");
}

void HServerResponse::write(const std::string& text) {
    response.write(text);
}

void HServerResponse::write(const boost::json::value& json) {
    setContentJson();
    response.write(HJson::stringify(json));
}

void HServerResponse::write(const HFile& file) {
    response.setBody(file.owner(), reinterpret_cast<const char*>(file.data()),
                     static_cast<std::size_t>(file.size()));
}

void HServerResponse::end(int status) {
    response.setStatus(status);
    response.end();
}

void HServerResponse::error(int status, const std::string& code, const std::string& description,
                            const boost::json::object& details) {
    boost::json::object body = details;
    body["status"] = status;
    body["code"] = code;
    body["description"] = description;
    write(boost::json::value(std::move(body)));
    end(status);
}
