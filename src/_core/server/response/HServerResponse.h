#pragma once

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include <string>

class HFile;
class HHttpResponse;

// The one way a reply is written: headers and body, then exactly one `end`. Error replies carry
// the caller's details followed by "status", "code" and "description".
class HServerResponse {
public:
    explicit HServerResponse(HHttpResponse& response);

    void setHeader(const std::string& name, const std::string& value);
    void setContentType(const std::string& type);
    void setContentJson();
    void write(const std::string& text);
    void write(const boost::json::value& json);
    // The file's bytes go out as they are, kept alive by the handle until sent.
    void write(const HFile& file);
    void end(int status);
    void error(int status, const std::string& code, const std::string& description,
               const boost::json::object& details);

private:
    HHttpResponse& response;
};
