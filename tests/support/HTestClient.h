#pragma once

// Blocking clients for tests against a real server on a real port. Every call that talks to
// the network has a deadline; failures to connect or to get an answer throw std::runtime_error.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using HTestHeaders = std::vector<std::pair<std::string, std::string>>;

inline constexpr std::chrono::milliseconds kTestTimeout{10000};

struct HTestResponse {
    int status = 0;
    HTestHeaders headers;
    std::string body;
    bool keepAlive = false;

    std::string header(std::string_view name) const; // case-insensitive; "" when absent
    bool hasHeader(std::string_view name) const;
};

// One request on a fresh connection.
HTestResponse httpRequest(const std::string& host, std::uint16_t port, std::string_view method,
                          std::string_view target, const HTestHeaders& headers = {},
                          std::string_view body = {},
                          std::chrono::milliseconds timeout = kTestTimeout);

// A keep-alive connection for several requests in a row.
class HTestHttpConnection {
public:
    HTestHttpConnection(const std::string& host, std::uint16_t port,
                        std::chrono::milliseconds timeout = kTestTimeout);
    ~HTestHttpConnection();
    HTestHttpConnection(const HTestHttpConnection&) = delete;
    HTestHttpConnection& operator=(const HTestHttpConnection&) = delete;

    HTestResponse request(std::string_view method, std::string_view target,
                          const HTestHeaders& headers = {}, std::string_view body = {});

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Plain TCP for bytes no well-behaved client would send.
class HTestRawConnection {
public:
    HTestRawConnection(const std::string& host, std::uint16_t port);
    ~HTestRawConnection();
    HTestRawConnection(const HTestRawConnection&) = delete;
    HTestRawConnection& operator=(const HTestRawConnection&) = delete;

    bool send(std::string_view bytes); // false once the peer is gone

    struct Received {
        std::string data;
        bool closed = false; // the peer closed (or reset) before the timeout
    };
    Received readUntilClose(std::chrono::milliseconds timeout);

private:
    int fd_ = -1;
};

// A listening socket that holds a loopback port, as another process would.
class HTestPortHolder {
public:
    explicit HTestPortHolder(std::uint16_t port = 0);
    ~HTestPortHolder();
    HTestPortHolder(const HTestPortHolder&) = delete;
    HTestPortHolder& operator=(const HTestPortHolder&) = delete;

    std::uint16_t port() const { return port_; }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

class HTestWebSocket {
public:
    HTestWebSocket();
    ~HTestWebSocket();
    HTestWebSocket(const HTestWebSocket&) = delete;
    HTestWebSocket& operator=(const HTestWebSocket&) = delete;

    // Returns the handshake reply: 101 when open, else the server's refusal.
    HTestResponse connect(const std::string& host, std::uint16_t port,
                          std::string_view target = "/ws", const HTestHeaders& headers = {},
                          std::chrono::milliseconds timeout = kTestTimeout);
    bool isOpen() const;
    // The next message; nullopt on timeout or once closed.
    std::optional<std::string> receiveText(std::chrono::milliseconds timeout = kTestTimeout);
    bool sendText(std::string_view text, std::chrono::milliseconds timeout = kTestTimeout);
    bool close(std::chrono::milliseconds timeout = kTestTimeout);
    // True once the server has closed the connection.
    bool waitClosed(std::chrono::milliseconds timeout = kTestTimeout);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
