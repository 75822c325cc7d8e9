// Raw request bytes into the HTTP layer: one app on a loopback port for the whole run, each
// input written over a new connection whose write side is then shut, and the reply read
// until the server closes.
#include "HHttpApp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <stdexcept>
#include <string>

namespace {

std::uint16_t serverPort() {
    static HHttpApp app;
    static std::future<void> run;
    static const std::uint16_t port = [] {
        app.handleSignals(false);
        app.concurrency(2);
        app.timeout(std::chrono::seconds(2));
        app.route("/version", "GET",
                  [](const HHttpRequest&, HHttpResponse& reply) { reply.write("0.0.1"); });
        app.route("/<path>", "PATCH", [](const HHttpRequest& request, HHttpResponse& reply) {
            reply.setHeader("Content-Type", "application/json");
            reply.write(request.param);
            reply.write(request.body);
            reply.write(request.header("Origin"));
        });
        app.route("/<path>", "GET", [](const HHttpRequest& request, HHttpResponse& reply) {
            if (request.param == "throw")
                throw std::runtime_error("handler failure");
            reply.write(request.path);
        });
        app.webSocket("/ws", {.onOpen = [](HWebSocket& socket) { socket.sendText("open"); },
                              .onClose = {},
                              .onMessage =
                                  [](HWebSocket& socket, const std::string& message, bool) {
                                      socket.sendText(message);
                                  }});
        run = app.runAsync();
        // Before the statics' destructors, where the future would wait for a run never stopped.
        std::atexit([] { app.stop(); });
        if (app.waitStarted(std::chrono::seconds(10)) != HHttpApp::Start::listening)
            std::abort();
        return app.boundPort();
    }();
    return port;
}

// A connection the server refuses means it has stopped serving.
int connectToServer() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(serverPort());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        __builtin_trap();
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = connectToServer();
    for (std::size_t sent = 0; sent < size;) {
        const ssize_t n = send(fd, data + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break; // the server may close on a bad request before reading everything
        sent += static_cast<std::size_t>(n);
    }
    shutdown(fd, SHUT_WR);
    // The server answers and closes once it sees the end of the input; the idle time-out
    // bounds what it may wait for.
    char buffer[4096];
    pollfd events{fd, POLLIN, 0};
    for (;;) {
        if (poll(&events, 1, 5000) == 0)
            __builtin_trap(); // still open well past the idle time-out: a hang
        if (recv(fd, buffer, sizeof buffer, 0) <= 0)
            break;
    }
    close(fd);
    return 0;
}
