#include "HServerMonitor.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <chrono>
#include <iostream>

namespace beast = boost::beast;
namespace http = beast::http;
namespace asio = boost::asio;

std::string httpGet(const std::string& host, const std::string& port, const std::string& target) {
    asio::io_context context;
    beast::tcp_stream stream(context);
    beast::flat_buffer buffer;
    http::request<http::empty_body> request{http::verb::get, target, 11};
    // The port belongs in Host: the server refuses Host headers that do not name it.
    request.set(http::field::host, host + ":" + port);
    request.set(http::field::user_agent, "Boost.Beast/347");
    http::response<http::string_body> response;
    beast::error_code failure;

    try {
        asio::ip::tcp::resolver resolver(context);
        const auto endpoints = resolver.resolve(host, port);
        // One deadline for the whole exchange: when it passes the stream closes the socket and
        // the pending operation fails.
        stream.expires_after(std::chrono::milliseconds(400));
        stream.async_connect(endpoints, [&](beast::error_code error, const auto&) {
            if (error) {
                failure = error;
                return;
            }
            http::async_write(stream, request, [&](beast::error_code error, std::size_t) {
                if (error) {
                    failure = error;
                    return;
                }
                http::async_read(stream, buffer, response,
                                 [&](beast::error_code error, std::size_t) { failure = error; });
            });
        });
        context.run();
    } catch (const std::exception& error) {
        std::cerr << "Error: " << error.what() << '\n';
        return {};
    }
    if (failure) {
        std::cerr << "Error: " << failure.message() << '\n';
        return {};
    }
    beast::error_code ignored;
    stream.socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    stream.socket().close(ignored);
    return response.body();
}
