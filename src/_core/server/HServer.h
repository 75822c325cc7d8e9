#pragma once

#include "HHttpApp.h"
#include "HServerMonitor.h"

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class HFileSystem;
class HServerResponse;
class HService;
class HStaticFiles;

// The loopback HTTP server: static files, service requests and the event websocket.
// Static GETs run one at a time under `filesMutex`, service requests under `serviceMutex`.
class HServer : public HServerMonitor {
public:
    HServer();
    HServer(const HServer&) = delete;
    HServer& operator=(const HServer&) = delete;
    ~HServer();

    bool addFiles(const std::string& baseUrl, const std::string& root, const std::string& home,
                  HFileSystem& fileSystem);
    // Keeps the service and answers its `initialize`.
    bool startService(std::shared_ptr<HService> service);
    // Admits service requests and websockets from that origin as well as the host's own.
    void allowOrigin(const std::string& origin);
    // Binds the first free port of 32 from `port` (0: any free port) and returns once the server
    // answers its own "/version".
    bool start(const std::string& protocol, const std::string& address, int port);
    // Blocks until the server has stopped.
    bool run();
    // Whether `start` failed because the server was told to stop while it started.
    bool wasInterrupted() const;
    std::string runningAddress() const;
    int runningPort() const;

    void processGet(HServerResponse& response, const std::string& path);
    void processPatch(HServerResponse& response, const std::string& path,
                      const boost::json::value& body);
    // Sends the event to every open websocket; safe from any thread.
    void writeSocketEvent(const boost::json::value& event);

private:
    friend class HServerMonitor;

    void addRoutes();
    bool admits(const HHttpRequest& request, HHttpResponse& reply) const;
    bool startAttempt(const std::string& address, int port);
    bool stoppedWhileStarting();

    const std::string version;
    HHttpApp app;
    std::future<void> serverTask;
    std::string address;
    std::atomic<int> port = 0;
    std::vector<std::shared_ptr<HService>> services;
    std::mutex serviceMutex;
    std::vector<std::shared_ptr<HStaticFiles>> staticFiles;
    std::mutex filesMutex;
    std::vector<HWebSocket*> socketConnections;
    std::mutex socketMutex;
    std::vector<std::string> allowedOrigins;
    bool interrupted = false;
};

// Helpers of static file serving.
void splitUrl(const std::string& url, std::string& path, std::vector<std::string>& params);
boost::json::object fileDetails(const std::string& url);
std::string contentType(const std::string& extension);
