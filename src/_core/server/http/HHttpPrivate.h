#pragma once

// Shared by HHttpApp.cpp and the one Boost translation unit; keeps Boost out of both headers.

#include "HHttpApp.h"

#include <condition_variable>
#include <map>
#include <mutex>

namespace hhttpdetail {

inline constexpr std::size_t kBodyLimit = std::size_t{64} << 20;
inline constexpr std::size_t kMessageLimit = std::size_t{64} << 20;
inline constexpr std::uint32_t kHeaderLimit = 16 * 1024;

// What one run serves, copied when the run starts so that setters never race with it.
struct HHttpConfig {
    struct Route {
        std::string method;
        HHttpApp::Handler handler;
    };

    std::map<std::string, std::vector<Route>, std::less<>> exact;
    std::vector<Route> wildcard;
    std::map<std::string, HHttpApp::WebSocketHandlers, std::less<>> webSockets;
    HHttpApp::Guard guard;
    std::string address = "127.0.0.1";
    std::uint16_t port = 0;
    unsigned threads = 2;
    std::chrono::milliseconds timeout{30000};
    bool signals = true;

    // Fills `response`, or returns the handlers of the websocket `request` may become.
    const HHttpApp::WebSocketHandlers* handle(HHttpRequest& request, HHttpResponse& response,
                                              bool upgrade) const;
};

// Adds the permissive CORS headers a handler did not set itself.
void addCorsHeaders(HHttpResponse& response);

// Lifecycle of an app's runs, shared by the app and the run thread.
class HHttpRunState {
public:
    bool begin(); // false while a run is active
    // The run's way to stop; false when stop() came first. detach() before the run's I/O dies.
    bool attach(std::function<void()> stopRun);
    void detach();
    void listening(std::uint16_t port);
    void end();

    void stop();
    HHttpApp::Start waitStarted(std::chrono::milliseconds timeout);
    void waitEnded();
    std::uint16_t boundPort() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool active_ = false;
    bool stopRequested_ = false;
    HHttpApp::Start start_ = HHttpApp::Start::pending;
    std::uint16_t port_ = 0;
    std::function<void()> stopRun_;
};

// Serves until stopped; throws std::system_error when it cannot listen.
void runServer(std::shared_ptr<const HHttpConfig> config, HHttpRunState& state);

} // namespace hhttpdetail
