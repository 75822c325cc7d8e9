// The only Boost.Beast unit of the test support: it is slow to compile.

#include "HTestClient.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <deque>
#include <functional>
#include <limits>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using beast::error_code;
using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const std::string& what, const error_code& ec) {
    throw std::runtime_error(what + ": " + ec.message());
}

[[noreturn]] void failErrno(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

template <class Fields> HTestHeaders toHeaders(const Fields& fields) {
    HTestHeaders headers;
    for (const auto& field : fields) {
        headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    }
    return headers;
}

HTestResponse toResponse(http::response<http::string_body>&& message) {
    HTestResponse response;
    response.status = static_cast<int>(message.result_int());
    response.headers = toHeaders(message);
    response.keepAlive = message.keep_alive();
    response.body = std::move(message.body());
    return response;
}

tcp::resolver::results_type resolve(asio::io_context& ioc, const std::string& host,
                                    std::uint16_t port) {
    tcp::resolver resolver(ioc);
    error_code ec;
    auto results = resolver.resolve(host, std::to_string(port), ec);
    if (ec) {
        fail("resolve " + host, ec);
    }
    return results;
}

// Runs the io_context until `done`, the deadline, or no work is left.
bool pumpUntil(asio::io_context& ioc, const std::function<bool()>& done,
               Clock::time_point deadline) {
    while (!done()) {
        const auto now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        if (ioc.stopped()) {
            ioc.restart();
        }
        if (ioc.run_one_for(deadline - now) == 0 && ioc.stopped()) {
            return done();
        }
    }
    return true;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return beast::iequals(a, b);
}

} // namespace

std::string HTestResponse::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoringCase(key, name)) {
            return value;
        }
    }
    return {};
}

bool HTestResponse::hasHeader(std::string_view name) const {
    for (const auto& field : headers) {
        if (equalsIgnoringCase(field.first, name)) {
            return true;
        }
    }
    return false;
}

struct HTestHttpConnection::Impl {
    asio::io_context ioc;
    beast::tcp_stream stream{ioc};
    beast::flat_buffer buffer;
    std::string host;
    std::chrono::milliseconds timeout;

    // The stream's own timeout bounds each operation, so running to completion never hangs.
    template <class Start> error_code run(Start start) {
        error_code result;
        stream.expires_after(timeout);
        start([&](error_code ec, const auto&...) { result = ec; });
        ioc.restart();
        ioc.run();
        return result;
    }
};

HTestHttpConnection::HTestHttpConnection(const std::string& host, std::uint16_t port,
                                         std::chrono::milliseconds timeout)
    : impl_(std::make_unique<Impl>()) {
    impl_->host = host + ":" + std::to_string(port);
    impl_->timeout = timeout;
    const auto endpoints = resolve(impl_->ioc, host, port);
    const auto ec =
        impl_->run([&](auto handler) { impl_->stream.async_connect(endpoints, handler); });
    if (ec) {
        fail("connect " + impl_->host, ec);
    }
}

HTestHttpConnection::~HTestHttpConnection() = default;

HTestResponse HTestHttpConnection::request(std::string_view method, std::string_view target,
                                           const HTestHeaders& headers, std::string_view body) {
    http::request<http::string_body> request;
    request.method_string(method);
    request.target(target);
    request.version(11);
    request.set(http::field::host, impl_->host);
    for (const auto& [name, value] : headers) {
        request.set(name, value);
    }
    request.body() = body;
    request.prepare_payload();
    auto ec = impl_->run([&](auto handler) { http::async_write(impl_->stream, request, handler); });
    if (ec) {
        fail("send request", ec);
    }
    http::response_parser<http::string_body> parser;
    parser.body_limit(std::numeric_limits<std::uint64_t>::max());
    parser.skip(request.method() == http::verb::head);
    ec = impl_->run(
        [&](auto handler) { http::async_read(impl_->stream, impl_->buffer, parser, handler); });
    if (ec) {
        fail("read response", ec);
    }
    return toResponse(parser.release());
}

HTestResponse httpRequest(const std::string& host, std::uint16_t port, std::string_view method,
                          std::string_view target, const HTestHeaders& headers,
                          std::string_view body, std::chrono::milliseconds timeout) {
    HTestHttpConnection connection(host, port, timeout);
    HTestHeaders all = headers;
    all.emplace_back("Connection", "close");
    return connection.request(method, target, all, body);
}

HTestRawConnection::HTestRawConnection(const std::string& host, std::uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
        rc != 0) {
        throw std::runtime_error("resolve " + host + ": " + gai_strerror(rc));
    }
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> list(found, freeaddrinfo);
    for (const addrinfo* ai = found; ai; ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0) {
            continue;
        }
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0) {
            fd_ = fd;
            return;
        }
        ::close(fd);
    }
    failErrno("connect " + host + ":" + std::to_string(port));
}

HTestRawConnection::~HTestRawConnection() {
    ::close(fd_);
}

bool HTestRawConnection::send(std::string_view bytes) {
    while (!bytes.empty()) {
        const auto sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

HTestRawConnection::Received HTestRawConnection::readUntilClose(std::chrono::milliseconds timeout) {
    Received received;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return received;
        }
        pollfd entry{fd_, POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()) + 1);
        if (ready < 0 && errno != EINTR) {
            failErrno("poll");
        }
        if (ready <= 0) {
            continue;
        }
        char chunk[16384];
        const auto got = ::recv(fd_, chunk, sizeof chunk, 0);
        if (got > 0) {
            received.data.append(chunk, static_cast<std::size_t>(got));
        } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            received.closed = true; // end of stream or reset: either way the peer is gone
            return received;
        }
    }
}

HTestPortHolder::HTestPortHolder(std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        failErrno("socket");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd_, 1) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        ::close(fd_);
        errno = error;
        failErrno("hold port " + std::to_string(port));
    }
    port_ = ntohs(address.sin_port);
}

HTestPortHolder::~HTestPortHolder() {
    ::close(fd_);
}

struct HTestWebSocket::Impl {
    asio::io_context ioc;
    websocket::stream<beast::tcp_stream> ws{ioc};
    beast::flat_buffer buffer;
    std::deque<std::string> inbox;
    std::string outgoing;
    error_code result;
    bool done = false;
    bool open = false;
    bool reading = false;

    ~Impl() {
        if (open || reading) {
            abort();
        }
    }

    void startRead() {
        reading = true;
        ws.async_read(buffer, [this](error_code ec, std::size_t) {
            reading = false;
            if (ec) {
                open = false;
                return;
            }
            inbox.push_back(beast::buffers_to_string(buffer.data()));
            buffer.consume(buffer.size());
            startRead();
        });
    }

    // Waits for the operation that sets `done`; past the deadline it is cut off.
    bool finish(Clock::time_point deadline) {
        if (pumpUntil(
                ioc, [this] { return done; }, deadline)) {
            return !result;
        }
        abort();
        return false;
    }

    // Closing the socket makes every pending operation complete promptly.
    void abort() {
        beast::get_lowest_layer(ws).close();
        ioc.restart();
        ioc.run();
        open = false;
    }

    void begin() {
        done = false;
        result = {};
    }

    auto completion() {
        return [this](error_code ec, const auto&...) {
            result = ec;
            done = true;
        };
    }
};

HTestWebSocket::HTestWebSocket() : impl_(std::make_unique<Impl>()) {}

HTestWebSocket::~HTestWebSocket() = default;

HTestResponse HTestWebSocket::connect(const std::string& host, std::uint16_t port,
                                      std::string_view target, const HTestHeaders& headers,
                                      std::chrono::milliseconds timeout) {
    auto& impl = *impl_;
    const auto deadline = Clock::now() + timeout;
    const auto endpoints = resolve(impl.ioc, host, port);
    impl.begin();
    beast::get_lowest_layer(impl.ws).async_connect(endpoints, impl.completion());
    if (!impl.finish(deadline)) {
        fail("connect " + host, impl.result ? impl.result : asio::error::timed_out);
    }

    websocket::stream_base::timeout timeouts{};
    timeouts.handshake_timeout = timeout;
    timeouts.idle_timeout = websocket::stream_base::none();
    timeouts.keep_alive_pings = false;
    impl.ws.set_option(timeouts);
    impl.ws.set_option(
        websocket::stream_base::decorator([headers](websocket::request_type& request) {
            for (const auto& [name, value] : headers) {
                request.set(name, value);
            }
        }));
    impl.ws.read_message_max(std::numeric_limits<std::uint64_t>::max());

    websocket::response_type reply;
    impl.begin();
    impl.ws.async_handshake(reply, host + ":" + std::to_string(port), target, impl.completion());
    if (!impl.finish(deadline) && impl.result != websocket::error::upgrade_declined) {
        fail("websocket handshake", impl.result ? impl.result : asio::error::timed_out);
    }
    const bool opened = !impl.result;
    auto response = toResponse(std::move(reply));
    if (opened) {
        impl.open = true;
        impl.startRead();
    }
    return response;
}

bool HTestWebSocket::isOpen() const {
    return impl_->open;
}

std::optional<std::string> HTestWebSocket::receiveText(std::chrono::milliseconds timeout) {
    auto& impl = *impl_;
    pumpUntil(
        impl.ioc, [&] { return !impl.inbox.empty() || !impl.open; }, Clock::now() + timeout);
    if (impl.inbox.empty()) {
        return std::nullopt;
    }
    auto message = std::move(impl.inbox.front());
    impl.inbox.pop_front();
    return message;
}

bool HTestWebSocket::sendText(std::string_view text, std::chrono::milliseconds timeout) {
    auto& impl = *impl_;
    if (!impl.open) {
        return false;
    }
    impl.outgoing = text;
    impl.begin();
    impl.ws.text(true);
    impl.ws.async_write(asio::buffer(impl.outgoing), impl.completion());
    return impl.finish(Clock::now() + timeout);
}

bool HTestWebSocket::close(std::chrono::milliseconds timeout) {
    auto& impl = *impl_;
    if (!impl.open) {
        return false;
    }
    const auto deadline = Clock::now() + timeout;
    impl.begin();
    impl.ws.async_close(websocket::close_code::normal, impl.completion());
    if (!impl.finish(deadline)) {
        return false;
    }
    // The read loop ends when the server's close frame arrives.
    if (!pumpUntil(
            impl.ioc, [&] { return !impl.reading; }, deadline)) {
        impl.abort();
        return false;
    }
    return true;
}

bool HTestWebSocket::waitClosed(std::chrono::milliseconds timeout) {
    auto& impl = *impl_;
    return pumpUntil(
        impl.ioc, [&] { return !impl.open; }, Clock::now() + timeout);
}
