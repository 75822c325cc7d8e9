#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Header fields in arrival order, names as the peer spelled them.
using HHttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct HHttpRequest {
    std::string method; // "GET", "PATCH", ...
    std::string target; // as received, query included
    std::string path;   // target without the query string
    std::string param;  // for "/<path>" routes: the path after the first "/", not decoded
    std::string body;
    HHttpHeaders headers;

    std::string header(std::string_view name) const; // case-insensitive; "" when absent
    bool hasHeader(std::string_view name) const;
};

class HHttpResponse {
public:
    void setStatus(int status); // throws std::invalid_argument outside 100..999
    int status() const { return status_; }

    // Replaces any header of that name (case-insensitive). Throws std::invalid_argument on a
    // name that is not a token or a value with CR, LF or NUL, so no reply can be split.
    void setHeader(std::string name, std::string value);
    std::string header(std::string_view name) const;
    bool hasHeader(std::string_view name) const;
    const HHttpHeaders& headers() const { return headers_; }

    void write(std::string_view text); // appends to the body
    // Zero-copy body: `data` stays owned by `owner` (may be null for static bytes), which is kept
    // alive until the reply has been written. Replaces the body; a later write() appends to a copy.
    void setBody(std::shared_ptr<const void> owner, const char* data, std::size_t size);
    std::string_view body() const;

    void end() { ended_ = true; }
    bool ended() const { return ended_; }

private:
    int status_ = 200;
    HHttpHeaders headers_;
    std::string text_;
    std::shared_ptr<const void> owner_;
    const char* data_ = nullptr;
    std::size_t size_ = 0;
    bool external_ = false;
    bool ended_ = false;
};

// One open websocket.
class HWebSocket {
public:
    virtual ~HWebSocket() = default;
    // Safe from any thread; queues the text frame and returns without waiting. No-op once closed.
    virtual void sendText(std::string text) = 0;
};

// HTTP/1.1 + websocket server. Settings and routes take effect at the next runAsync().
class HHttpApp {
public:
    using Handler = std::function<void(const HHttpRequest&, HHttpResponse&)>;
    // Runs before routing for every request, websocket upgrades included; returning false sends
    // the response it filled instead of routing or upgrading.
    using Guard = std::function<bool(const HHttpRequest&, HHttpResponse&)>;
    // Called on worker threads. onOpen runs before the client gets the handshake reply; onClose
    // comes exactly once after onOpen, for any end, before the socket is freed.
    struct WebSocketHandlers {
        std::function<void(HWebSocket&)> onOpen;
        std::function<void(HWebSocket&, const std::string& reason)> onClose;
        std::function<void(HWebSocket&, const std::string& message, bool binary)> onMessage;
    };
    enum class Start { listening, failed, pending };

    HHttpApp();
    // Stops a run and waits for its end; so it must not run inside a handler.
    ~HHttpApp();
    HHttpApp(const HHttpApp&) = delete;
    HHttpApp& operator=(const HHttpApp&) = delete;

    // pattern: an exact path ("/version", "/") or "/<path>", which takes any other path with at
    // least one character after the "/". An exact path takes its requests whatever the method.
    // Handlers run on worker threads; an exception becomes an empty 500.
    void route(std::string pattern, std::string method, Handler handler);
    // Upgrade requests on `path`; other requests on it are routed as usual.
    void webSocket(std::string path, WebSocketHandlers handlers);
    void guard(Guard guard);

    void bindAddress(std::string address);        // default "127.0.0.1"
    void port(std::uint16_t port);                // default 0: any free port
    void concurrency(unsigned threads);           // default: hardware threads, at least 2
    void timeout(std::chrono::milliseconds idle); // per request and idle keep-alive; default 30 s
    void handleSignals(bool on);                  // SIGINT and SIGTERM stop the run; default on

    // Runs the server on its own thread until stopped. The future holds a failure to listen (a
    // std::system_error, e.g. address in use) and its destructor waits for the run to end.
    std::future<void> runAsync();
    // Returns once the current run listens or has failed (or ended without listening);
    // pending on timeout.
    Start waitStarted(std::chrono::milliseconds timeout);
    std::uint16_t boundPort() const;
    // From any thread, handlers included; idempotent; no-op when no run is active.
    void stop();

private:
    class Impl;
    std::shared_ptr<Impl> impl_;
};
