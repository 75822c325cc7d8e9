#pragma once

#include <boost/json/array.hpp>
#include <boost/json/value.hpp>

#include <memory>
#include <string>
#include <vector>

namespace cppdb {
class session;
}

// How one result column becomes JSON.
enum class HDatabaseQueryValueType { asNumber = 0, asText = 1 };

// One entry per result column, by position.
using HDatabaseQueryTypes = std::vector<HDatabaseQueryValueType>;

// "number" and "double" read the column as a number; anything else as text.
HDatabaseQueryValueType convertType(const boost::json::value& value);
void convertTypes(const boost::json::array& array, HDatabaseQueryTypes& types);

// One open database, registered by the service under a context and a generated id.
class HDatabaseConnection {
public:
    HDatabaseConnection(const std::string& connectionContext, const std::string& connectionId,
                        const std::string& connectionString);
    HDatabaseConnection(const HDatabaseConnection&) = delete;
    HDatabaseConnection& operator=(const HDatabaseConnection&) = delete;
    // Closes the database.
    ~HDatabaseConnection();

    // Opens the database named by the connection string; on failure `*error` gets the layer's
    // text.
    bool connect(std::string* error);

    // Runs `sql` once (exec, query) or once per values array of `bind` (execX). Fills `info` and,
    // for a query, appends one object per row to `results`. On failure `*error` gets the layer's
    // text; the runs of a batch before the failing one stay done.
    bool run(const std::string& sql, const boost::json::array& bind, bool execX,
             boost::json::value& info, bool query, const HDatabaseQueryTypes& types,
             boost::json::array& results, std::string* error);

    const std::string connectionContext;
    const std::string connectionId;
    const std::string connectionString;

private:
    // Last, so that it is released before the strings.
    std::shared_ptr<cppdb::session> database;
};
