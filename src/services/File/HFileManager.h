#pragma once

#include "HService.h"

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>

#include <regex>
#include <string>
#include <vector>

// The local machine for the page: its name, the user's standard folders, folder listings with
// name and kind filters, and the mounted volumes.
class HFileManager : public HService {
public:
    HFileManager();

    void process(const HJson& request, HServerResponse& response,
                 const std::string& requestName) override;

    static boost::json::array volumes();
    static boost::json::object specialFolders();

private:
    void info(const HJson& request, HServerResponse& response, const std::string& requestName);
    void directory(const HJson& request, HServerResponse& response, const std::string& requestName);
    void directory(HServerResponse& response, const std::string& folder,
                   const boost::json::object& filter, const std::string& requestName);
    void read(const HJson& request, HServerResponse& response, const std::string& requestName);
    void write(const HJson& request, HServerResponse& response, const std::string& requestName);
};

bool verifyName(const std::regex& expression, const std::string& name);
bool verifyType(const std::vector<std::string>& types, const std::string& kind);
