#include "HDatabaseManager.h"

#include "HDatabaseConnection.h"
#include "HJson.h"
#include "HLogs.h"
#include "HServerResponse.h"

#include <boost/json/serialize.hpp>
#include <boost/uuid/uuid_io.hpp>
#include <cppdb/backend.h>
#include <cppdb/driver_manager.h>

#include <algorithm>

namespace json = boost::json;

// The entry point of the linked-in SQLite back end; its library declares it in no header.
extern "C" cppdb::backend::connection*
cppdb_sqlite3_get_connection(const cppdb::connection_info& info);

namespace {

// The back end is linked in; the layer is also kept from loading any other from a search path.
void installDrivers() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        auto& drivers = cppdb::driver_manager::instance();
        drivers.clear_search_paths();
        drivers.use_default_search_path(false);
        drivers.install_driver("sqlite3",
                               new cppdb::backend::static_driver(cppdb_sqlite3_get_connection));
    });
}

using Connections = std::vector<std::shared_ptr<HDatabaseConnection>>;

bool getConnectionById(const Connections& connections, const std::string& context,
                       const std::string& id, std::shared_ptr<HDatabaseConnection>& connection) {
    const auto found = std::find_if(connections.begin(), connections.end(), [&](const auto& c) {
        return c->connectionContext == context && c->connectionId == id;
    });
    if (found == connections.end())
        return false;
    connection = *found;
    return true;
}

bool getConnection(const Connections& connections, const std::string& context,
                   const std::string& connectionString,
                   std::shared_ptr<HDatabaseConnection>& connection) {
    const auto found = std::find_if(connections.begin(), connections.end(), [&](const auto& c) {
        return c->connectionContext == context && c->connectionString == connectionString;
    });
    if (found == connections.end())
        return false;
    connection = *found;
    return true;
}

bool connectionExists(const Connections& connections, const std::string& id) {
    return std::any_of(connections.begin(), connections.end(),
                       [&](const auto& c) { return c->connectionId == id; });
}

void setConnectionNotFound(const HJson& json, HServerResponse& response, const std::string& request,
                           const std::string& id) {
    response.error(500, "DB_ERROR", "CONNECTION NOT FOUND",
                   HService::details(json.json(), request, id));
}

// Like HService::end, but the result is moved, not copied, into the body, and the JSON values are
// released before their text is copied into the reply.
void endMoved(HServerResponse& response, const std::string& key, json::object&& result) {
    std::string text;
    {
        json::object body;
        body.emplace(key, std::move(result));
        text = json::serialize(body);
    }
    response.setContentJson();
    response.write(text);
    response.end(200);
}

} // namespace

HDatabaseManager::HDatabaseManager() : HService(HServiceRequestType::Direct, "databaseManager") {
    HLOG_TRACE("HDatabaseManager::HDatabaseManager");
    installDrivers();
}

HDatabaseManager::~HDatabaseManager() {
    HLOG_TRACE("HDatabaseManager::~HDatabaseManager");
}

void HDatabaseManager::process(const HJson& request, HServerResponse& response,
                               const std::string& requestName) {
    if (requestName == "connect")
        connect(request, response, requestName);
    else if (requestName == "disconnect")
        disconnect(request, response, requestName);
    else if (requestName == "exec")
        exec(request, response, requestName);
    else if (requestName == "execx")
        execX(request, response, requestName);
    else if (requestName == "query")
        query(request, response, requestName);
    else
        errorNotImpl(request, response, requestName);
}

void HDatabaseManager::setConnectionInfo(json::object& object,
                                         const HDatabaseConnection& connection,
                                         std::optional<bool> created) {
    object["connectionContext"] = connection.connectionContext;
    object["connectionId"] = connection.connectionId;
    object["connectionString"] = connection.connectionString;
    if (created)
        object["created"] = *created;
}

bool HDatabaseManager::getConnection(const HJson& json, HServerResponse& response,
                                     const std::string& request,
                                     std::shared_ptr<HDatabaseConnection>& connection,
                                     bool& created) {
    std::lock_guard lock(connectionsMutex);
    std::string context;
    json.getString("connectionContext", context);

    std::string id;
    if (json.getString("connectionId", id)) {
        if (!getConnectionById(connections, context, id, connection)) {
            setConnectionNotFound(json, response, request, id);
            return false;
        }
        created = false;
        return true;
    }

    std::string connectionString;
    if (!json.getString("connectionString", connectionString)) {
        errorParam(json, response, "connectionId,connectionString", request);
        return false;
    }
    if (::getConnection(connections, context, connectionString, connection)) {
        created = false;
        return true;
    }

    do
        id = boost::uuids::to_string(uuidGenerator());
    while (connectionExists(connections, id));
    auto opened = std::make_shared<HDatabaseConnection>(context, id, connectionString);
    std::string error;
    if (!opened->connect(&error)) {
        response.error(500, "DB_ERROR", error, details(json.json(), request, connectionString));
        return false;
    }
    connections.push_back(opened);
    connection = std::move(opened);
    created = true;
    return true;
}

void HDatabaseManager::connect(const HJson& json, HServerResponse& response,
                               const std::string& request) {
    std::shared_ptr<HDatabaseConnection> connection;
    bool created = false;
    if (!getConnection(json, response, request, connection, created))
        return;
    json::object record;
    setConnectionInfo(record, *connection, created);
    end(response, 200, record, request);
}

void HDatabaseManager::disconnect(const HJson& json, HServerResponse& response,
                                  const std::string& request) {
    std::lock_guard lock(connectionsMutex);
    std::string context;
    json.getString("connectionContext", context);
    std::string id;
    std::string error;
    if (!getParam(json, "connectionId", id, &error)) {
        errorParam(json, response, error, request);
        return;
    }
    std::shared_ptr<HDatabaseConnection> connection;
    if (!getConnectionById(connections, context, id, connection)) {
        setConnectionNotFound(json, response, request, id);
        return;
    }
    json::object record;
    setConnectionInfo(record, *connection, std::nullopt);
    std::erase(connections, connection);
    end(response, 200, record, request);
}

void HDatabaseManager::exec(const HJson& json, HServerResponse& response,
                            const std::string& request) {
    run(json, response, request, false, false);
}

void HDatabaseManager::execX(const HJson& json, HServerResponse& response,
                             const std::string& request) {
    run(json, response, request, true, false);
}

void HDatabaseManager::query(const HJson& json, HServerResponse& response,
                             const std::string& request) {
    run(json, response, request, false, true);
}

void HDatabaseManager::run(const HJson& json, HServerResponse& response, const std::string& request,
                           bool execX, bool query) {
    std::shared_ptr<HDatabaseConnection> connection;
    bool created = false;
    if (!getConnection(json, response, request, connection, created))
        return;
    json::object record;
    setConnectionInfo(record, *connection, created);

    std::string sql;
    std::string error;
    if (!getParam(json, "sql", sql, &error)) {
        errorParam(json, response, error, request);
        return;
    }
    json::array bind;
    getParam(json, "bind", bind, nullptr);
    HDatabaseQueryTypes types;
    json::array typeNames;
    if (query && getParam(json, "types", typeNames, nullptr))
        convertTypes(typeNames, types);

    json::value info;
    json::array results;
    if (!connection->run(sql, bind, execX, info, query, types, results, &error)) {
        response.error(500, "DB_ERROR", error,
                       details(json.json(), request, connection->connectionString));
        return;
    }
    json::object result;
    result.reserve(3);
    result.emplace("connection", std::move(record));
    result.emplace("info", std::move(info));
    if (query)
        result.emplace("results", std::move(results));
    endMoved(response, request, std::move(result));
}
