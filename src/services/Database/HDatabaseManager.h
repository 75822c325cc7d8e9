#pragma once

#include "HService.h"

#include <boost/json/object.hpp>
#include <boost/uuid/random_generator.hpp>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class HDatabaseConnection;

// The "databaseManager" service: SQLite databases opened from the page's connection strings,
// kept open under generated ids until disconnected or until the service goes.
class HDatabaseManager : public HService {
public:
    HDatabaseManager();
    ~HDatabaseManager() override;

    void process(const HJson& request, HServerResponse& response,
                 const std::string& requestName) override;

    void connect(const HJson& json, HServerResponse& response, const std::string& request);
    void disconnect(const HJson& json, HServerResponse& response, const std::string& request);
    void exec(const HJson& json, HServerResponse& response, const std::string& request);
    void execX(const HJson& json, HServerResponse& response, const std::string& request);
    void query(const HJson& json, HServerResponse& response, const std::string& request);

    // The request's connection, by id or by connection string (opened and registered when new).
    // On failure the error reply has been sent.
    bool getConnection(const HJson& json, HServerResponse& response, const std::string& request,
                       std::shared_ptr<HDatabaseConnection>& connection, bool& created);
    // "connectionContext", "connectionId", "connectionString", then "created" when given.
    static void setConnectionInfo(boost::json::object& object,
                                  const HDatabaseConnection& connection,
                                  std::optional<bool> created);

private:
    void run(const HJson& json, HServerResponse& response, const std::string& request, bool execX,
             bool query);

    std::vector<std::shared_ptr<HDatabaseConnection>> connections;
    std::mutex connectionsMutex;
    // Used under connectionsMutex only.
    boost::uuids::random_generator uuidGenerator;
};
