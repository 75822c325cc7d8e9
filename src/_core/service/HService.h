#pragma once

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include <memory>
#include <regex>
#include <string>

class HJson;
class HServerResponse;

enum class HServiceRequestType { Direct = 0 };

// Base of the services the page calls with PATCH /<name>/<request>. A reply holds one member
// named after the request; errors carry "id", "request" and, when there is one, "param".
class HService : public std::enable_shared_from_this<HService> {
public:
    HService(HServiceRequestType requestType, const std::string& name);
    HService(const HService&) = delete;
    HService& operator=(const HService&) = delete;
    virtual ~HService();

    virtual bool initialize();
    virtual void terminate();
    // Ends the reply exactly once, on every path.
    virtual void process(const HJson& request, HServerResponse& response,
                         const std::string& requestName) = 0;

    const HServiceRequestType requestType;
    const std::string name;

    static boost::json::object details(const boost::json::value& request, const std::string& id,
                                       const std::string& param);

protected:
    void end(HServerResponse& response, int status, const boost::json::value& result,
             const std::string& key);
    void echo(const HJson& request, HServerResponse& response, const std::string& requestName);
    void errorGeneric(const HJson& request, HServerResponse& response, const std::string& id,
                      const std::string& param);
    void errorParam(const HJson& request, HServerResponse& response, const std::string& param,
                    const std::string& id);
    void errorNotImpl(const HJson& request, HServerResponse& response, const std::string& id);

    // On failure `out` keeps its value and `*error`, when given, becomes the member's name.
    bool getParam(const HJson& request, const std::string& name, boost::json::array& out,
                  std::string* error);
    bool getParam(const HJson& request, const std::string& name, boost::json::object& out,
                  std::string* error);
    bool getParam(const HJson& request, const std::string& name, std::string& out,
                  std::string* error);
    bool getParam(const HJson& request, const std::string& name, int& out, std::string* error);
    // Compiles the string member as an ECMAScript expression; throws std::regex_error if invalid.
    bool getParam(const HJson& request, const std::string& name, std::regex& out,
                  std::string* error);
    bool getParamPtr(const HJson& request, const std::string& name, void*& out, std::string* error);
};
