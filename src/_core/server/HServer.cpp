#include "HServer.h"

#include "HJson.h"
#include "HLogs.h"
#include "HServerResponse.h"
#include "HService.h"
#include "HStaticFiles.h"

#include <algorithm>
#include <cctype>

namespace json = boost::json;

HServer::HServer() : HServerMonitor(*this), version("0.0.1") {
    HLOG_TRACE("HServer::HServer");
}

HServer::~HServer() {
    HLOG_TRACE("HServer::~HServer");
}

bool HServer::addFiles(const std::string& baseUrl, const std::string& root, const std::string& home,
                       HFileSystem& fileSystem) {
    std::lock_guard lock(filesMutex);
    staticFiles.push_back(std::make_shared<HStaticFiles>(baseUrl, root, home, fileSystem));
    return true;
}

bool HServer::startService(std::shared_ptr<HService> service) {
    std::lock_guard lock(serviceMutex);
    services.push_back(service);
    return service->initialize();
}

void HServer::allowOrigin(const std::string& origin) {
    allowedOrigins.push_back(origin);
}

std::string HServer::runningAddress() const {
    return address;
}

int HServer::runningPort() const {
    return port;
}

namespace {

// Messages may be up to 64 MiB and hold the page's data: the log keeps the start of each.
std::string logExcerpt(const std::string& message) {
    constexpr std::size_t limit = 256;
    if (message.size() <= limit)
        return message;
    return message.substr(0, limit) + "...(" + std::to_string(message.size()) + " bytes)";
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

// A page of another site open in the user's browser must not reach the services, and a name
// that an attacker rebinds to 127.0.0.1 must not reach anything.
bool HServer::admits(const HHttpRequest& request, HHttpResponse& reply) const {
    const std::string portText = ":" + std::to_string(port);
    if (request.hasHeader("Host")) {
        const std::string host = lower(request.header("Host"));
        const bool known = host == lower(address) + portText || host == "127.0.0.1" + portText ||
                           host == "localhost" + portText || host == "[::1]" + portText;
        if (!known) {
            json::object details;
            details["id"] = request.path;
            details["host"] = request.header("Host");
            HServerResponse response(reply);
            response.error(403, "FORBIDDEN_HOST", "FORBIDDEN HOST", details);
            return false;
        }
    }
    const bool guarded =
        request.method == "PATCH" || lower(request.header("Upgrade")) == "websocket";
    if (guarded && request.hasHeader("Origin")) {
        const std::string origin = request.header("Origin");
        const std::string lowered = lower(origin);
        const bool own = lowered == "http://" + lower(address) + portText ||
                         lowered == "http://127.0.0.1" + portText ||
                         lowered == "http://localhost" + portText ||
                         lowered == "http://[::1]" + portText;
        const bool allowed =
            std::find(allowedOrigins.begin(), allowedOrigins.end(), origin) != allowedOrigins.end();
        if (!own && !allowed) {
            json::object details;
            details["id"] = request.path;
            details["origin"] = origin;
            HServerResponse response(reply);
            response.error(403, "FORBIDDEN_ORIGIN", "FORBIDDEN ORIGIN", details);
            return false;
        }
    }
    return true;
}

void HServer::addRoutes() {
    app.webSocket("/ws", {
                             [this](HWebSocket& socket) {
                                 std::lock_guard lock(socketMutex);
                                 HLOG_INFO("HServer::webSocket::open ");
                                 socketConnections.push_back(&socket);
                             },
                             [this](HWebSocket& socket, const std::string&) {
                                 std::lock_guard lock(socketMutex);
                                 HLOG_INFO("HServer::webSocket::close");
                                 std::erase(socketConnections, &socket);
                             },
                             [](HWebSocket&, const std::string& message, bool) {
                                 HLOG_INFO("HServer::webSocket::message", logExcerpt(message));
                             },
                         });
    app.route("/version", "GET",
              [this](const HHttpRequest&, HHttpResponse& reply) { reply.write(version); });
    // Static files see the target with its query, which they drop but name in a 404.
    app.route("/", "GET", [this](const HHttpRequest& request, HHttpResponse& reply) {
        HServerResponse response(reply);
        processGet(response, request.target);
    });
    app.route("/<path>", "GET", [this](const HHttpRequest& request, HHttpResponse& reply) {
        HServerResponse response(reply);
        processGet(response, request.target);
    });
    app.route("/<path>", "PATCH", [this](const HHttpRequest& request, HHttpResponse& reply) {
        const json::value body = HJson::parse(request.body);
        HServerResponse response(reply);
        processPatch(response, "/" + request.param, body);
    });
    app.guard([this](const HHttpRequest& request, HHttpResponse& reply) {
        return admits(request, reply);
    });
}

bool HServer::start(const std::string& protocol, const std::string& address, int port) {
    if (protocol != "http")
        return false;
    addRoutes();
    for (int attempt = 0; attempt < 32; ++attempt) {
        if (startAttempt(address, port + attempt)) {
            HLOG_INFO("HServer::started:", port, ":", address);
            return true;
        }
        // Asked before terminate, which would end a run stopped by nobody else.
        const bool stopped = stoppedWhileStarting();
        terminate();
        HLOG_WARN("HServer::start::fails", this->address, ":", this->port);
        if (port == 0 || stopped)
            break;
    }
    return false;
}

bool HServer::startAttempt(const std::string& address, int port) {
    // The previous attempt's threads read the address and port until they end.
    if (serverTask.valid())
        serverTask.wait();
    this->address = address;
    this->port = port;
    // A port past 65535 cannot be bound; asking anyway would bind some other port.
    if (port < 0 || port > 65535)
        return false;
    app.bindAddress(address);
    app.port(static_cast<std::uint16_t>(port));
    serverTask = app.runAsync();
    if (port == 0 && app.waitStarted(std::chrono::milliseconds(1500)) == HHttpApp::Start::listening)
        this->port = app.boundPort();
    return waitForReady(1500);
}

// A run that ended without a bind error was stopped (SIGINT, SIGTERM): the host is asked to quit,
// not to try the next port.
bool HServer::stoppedWhileStarting() {
    if (!serverTask.valid() ||
        serverTask.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        return false;
    try {
        serverTask.get();
        interrupted = true;
    } catch (const std::exception&) {
    }
    return interrupted;
}

bool HServer::wasInterrupted() const {
    return interrupted;
}

bool HServer::run() {
    while (isRunning()) {
        serverTask.wait_for(std::chrono::milliseconds(1000));
        HLOG_TRACE("HServer::running");
    }
    return false;
}

void HServer::writeSocketEvent(const json::value& event) {
    const std::string text = HJson::stringify(event);
    std::lock_guard lock(socketMutex);
    HLOG_INFO("HServer::writeSocketEvent::", socketConnections.size(), ";event:", text);
    for (HWebSocket* socket : socketConnections)
        socket->sendText(text);
}
