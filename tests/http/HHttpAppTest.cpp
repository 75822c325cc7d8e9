#include "HHttpTestFixture.h"

#include <atomic>
#include <cctype>
#include <csignal>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

HHttpApp::Handler reply(std::string text) {
    return [text](const HHttpRequest&, HHttpResponse& response) {
        response.write(text);
    };
}

void expectCors(const HTestResponse& response) {
    for (const char* name : {"Access-Control-Allow-Origin", "Access-Control-Allow-Methods",
                             "Access-Control-Allow-Headers"}) {
        EXPECT_EQ(response.header(name), "*") << name;
    }
    EXPECT_FALSE(response.hasHeader("Access-Control-Max-Age"));
    EXPECT_FALSE(response.hasHeader("Access-Control-Allow-Credentials"));
}

std::string statusLine(const std::string& reply) {
    return reply.substr(0, reply.find("\r\n"));
}

} // namespace

TEST_F(HHttpTest, RoutesPickTheHandlerByPathThenMethod) {
    app.route("/", "GET", reply("root"));
    app.route("/version", "GET", reply("version"));
    app.route("/version", "PATCH", [](const HHttpRequest& request, HHttpResponse& response) {
        response.write("patched:" + request.body);
    });
    app.route("/<path>", "GET", [](const HHttpRequest& request, HHttpResponse& response) {
        response.write("file:" + request.param);
    });
    app.route("/head", "HEAD", reply("abc"));
    app.route("/split", "GET", [](const HHttpRequest&, HHttpResponse& response) {
        response.setHeader("X-Split", "a\r\nInjected: 1");
    });
    start();

    HHttpApp wildOnly;
    wildOnly.handleSignals(false);
    wildOnly.route("/<path>", "GET", [](const HHttpRequest& request, HHttpResponse& response) {
        response.write("file:" + request.param);
    });
    auto wildRun = wildOnly.runAsync();
    ASSERT_EQ(wildOnly.waitStarted(kWait), HHttpApp::Start::listening);

    struct Case {
        bool wild;
        std::string method, target, body;
        int status;
        std::string reply, allow, length;
    };
    const std::vector<Case> cases = {
        {false, "GET", "/", "", 200, "root", "", "4"},
        {false, "GET", "/version", "", 200, "version", "", "7"},
        {false, "GET", "/version?x=1", "", 200, "version", "", "7"},
        {false, "PATCH", "/version", "b", 200, "patched:b", "", "9"},
        {false, "GET", "/versions", "", 200, "file:versions", "", "13"},
        {false, "GET", "/a/b/c.js?q=/d", "", 200, "file:a/b/c.js", "", "13"},
        {false, "GET", "/%2e%2e/x%20y", "", 200, "file:%2e%2e/x%20y", "", "17"},
        {false, "HEAD", "/head", "", 200, "", "", "3"},
        {false, "POST", "/version", "x", 405, "", "GET, PATCH, OPTIONS", "0"},
        {false, "DELETE", "/any/file", "", 405, "", "GET, OPTIONS", "0"},
        {false, "OPTIONS", "/version", "", 204, "", "GET, PATCH, OPTIONS", ""},
        {false, "GET", "/split", "", 500, "", "", "0"},
        {true, "GET", "/", "", 404, "", "", "0"},
        {true, "GET", "//", "", 200, "file:/", "", "6"},
        {true, "GET", "/x", "", 200, "file:x", "", "6"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method + " " + c.target + (c.wild ? " on /<path> only" : ""));
        const auto response = httpRequest("127.0.0.1", c.wild ? wildOnly.boundPort() : port,
                                          c.method, c.target, {}, c.body);
        EXPECT_EQ(response.status, c.status);
        EXPECT_EQ(response.body, c.reply);
        EXPECT_EQ(response.header("Allow"), c.allow);
        EXPECT_EQ(response.header("Content-Length"), c.length);
        EXPECT_FALSE(response.hasHeader("Injected"));
        expectCors(response);
    }
    wildOnly.stop();
    EXPECT_EQ(wildRun.wait_for(kWait), std::future_status::ready);
}

TEST_F(HHttpTest, CorsHeadersSetByAHandlerAreKept) {
    app.route("/cors", "GET", [](const HHttpRequest&, HHttpResponse& response) {
        response.setHeader("access-control-allow-origin", "http://app.local");
        response.write("x");
    });
    start();
    const auto response = get("/cors");
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.header("Access-Control-Allow-Origin"), "http://app.local");
    EXPECT_EQ(response.header("Access-Control-Allow-Methods"), "*");
    EXPECT_EQ(response.header("Access-Control-Allow-Headers"), "*");
    const auto origins =
        std::count_if(response.headers.begin(), response.headers.end(), [](const auto& field) {
            std::string name = field.first;
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            return name == "access-control-allow-origin";
        });
    EXPECT_EQ(origins, 1);
}

TEST_F(HHttpTest, HandlerExceptionGivesAnEmpty500AndTheConnectionGoesOn) {
    app.route("/boom", "GET", [](const HHttpRequest&, HHttpResponse& response) {
        response.setHeader("X-Partial", "1");
        response.write("partial");
        throw std::runtime_error("boom");
    });
    app.route("/ok", "GET", reply("ok"));
    start();
    HTestHttpConnection connection("127.0.0.1", port);
    const auto failed = connection.request("GET", "/boom");
    EXPECT_EQ(failed.status, 500);
    EXPECT_EQ(failed.body, "");
    EXPECT_FALSE(failed.hasHeader("X-Partial"));
    expectCors(failed);
    EXPECT_TRUE(failed.keepAlive);
    const auto next = connection.request("GET", "/ok");
    EXPECT_EQ(next.status, 200);
    EXPECT_EQ(next.body, "ok");
}

TEST_F(HHttpTest, ProtocolEdgesAnswerAndClose) {
    app.route("/ok", "GET", reply("ok"));
    app.route("/ok", "POST", reply("posted"));
    start();
    const std::string head = "GET /ok HTTP/1.1\r\nHost: test\r\n";
    struct Case {
        std::string name, bytes, statusLine, body;
    };
    const std::vector<Case> cases = {
        {"HTTP/1.0", "GET /ok HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK", "ok"},
        {"Connection: close", head + "Connection: close\r\n\r\n", "HTTP/1.1 200 OK", "ok"},
        {"large header within the limit",
         head + "Connection: close\r\nX-Big: " + std::string(10000, 'a') + "\r\n\r\n",
         "HTTP/1.1 200 OK", "ok"},
        {"malformed request", "NOT A REQUEST\r\n\r\n", "HTTP/1.1 400 Bad Request", ""},
        {"oversized header", head + "X-Big: " + std::string(20000, 'a') + "\r\n\r\n",
         "HTTP/1.1 431 Request Header Fields Too Large", ""},
        {"oversized body",
         "POST /ok HTTP/1.1\r\nHost: test\r\nContent-Length: " + std::to_string((64 << 20) + 1) +
             "\r\n\r\n",
         "HTTP/1.1 413 Payload Too Large", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HTestRawConnection connection("127.0.0.1", port);
        ASSERT_TRUE(connection.send(c.bytes));
        const auto received = connection.readUntilClose(kWait);
        EXPECT_TRUE(received.closed);
        EXPECT_EQ(statusLine(received.data), c.statusLine);
        EXPECT_TRUE(received.data.ends_with("\r\n\r\n" + c.body)) << received.data;
    }
}

TEST_F(HHttpTest, SlowAndIdleClientsAreDroppedWhileOthersAreServed) {
    app.timeout(std::chrono::milliseconds(300));
    app.route("/ok", "GET", reply("ok"));
    start();

    HTestRawConnection idle("127.0.0.1", port);
    ASSERT_TRUE(idle.send("GET /ok HTTP/1.1\r\nHost: test\r\n\r\n"));

    // One byte at a time, each a little later: the whole request never makes its deadline.
    const std::string header =
        "GET /ok HTTP/1.1\r\nHost: test\r\nX-Slow: " + std::string(200, 'a') + "\r\n\r\n";
    HTestRawConnection slow("127.0.0.1", port);
    std::size_t sent = 0;
    bool dropped = false;
    while (sent < header.size() && !dropped) {
        if (!slow.send(header.substr(sent++, 1))) {
            break;
        }
        if (sent == 10) {
            EXPECT_EQ(get("/ok").body, "ok");
        }
        const auto received = slow.readUntilClose(std::chrono::milliseconds(50));
        EXPECT_EQ(received.data, "");
        dropped = received.closed;
    }
    EXPECT_LT(sent, header.size());

    const auto idleEnd = idle.readUntilClose(kWait);
    EXPECT_TRUE(idleEnd.closed);
    EXPECT_EQ(statusLine(idleEnd.data), "HTTP/1.1 200 OK");
    EXPECT_EQ(get("/ok").status, 200);
}

TEST_F(HHttpTest, ManyKeepAliveClientsInParallel) {
    app.route("/<path>", "GET", [](const HHttpRequest& request, HHttpResponse& response) {
        response.write(request.param);
    });
    start();
    constexpr int clients = 64;
    constexpr int requests = 50;
    std::atomic<int> good{0};
    std::vector<std::string> failures(clients);
    std::vector<std::thread> threads;
    for (int client = 0; client < clients; ++client) {
        threads.emplace_back([&, client] {
            try {
                HTestHttpConnection connection("127.0.0.1", port);
                for (int i = 0; i < requests; ++i) {
                    const auto path = std::to_string(client) + "/" + std::to_string(i);
                    const auto response = connection.request("GET", "/" + path);
                    if (response.status == 200 && response.body == path && response.keepAlive) {
                        ++good;
                    }
                }
            } catch (const std::exception& e) {
                failures[client] = e.what();
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(good.load(), clients * requests);
    for (const auto& failure : failures) {
        EXPECT_EQ(failure, "");
    }
}

TEST_F(HHttpTest, ZeroCopyBodyLivesUntilWrittenThenIsReleased) {
    std::promise<void> released;
    auto releasedFuture = released.get_future();
    std::atomic<int> releases{0};
    std::string expected(8 << 20, '\0');
    for (std::size_t i = 0; i < expected.size(); ++i) {
        expected[i] = static_cast<char>('a' + i % 26);
    }
    app.route("/big", "GET", [&](const HHttpRequest&, HHttpResponse& response) {
        const std::shared_ptr<const std::string> bytes(new std::string(expected),
                                                       [&](const std::string* owned) {
                                                           delete owned;
                                                           if (++releases == 1) {
                                                               released.set_value();
                                                           }
                                                       });
        response.setBody(bytes, bytes->data(), bytes->size());
    });
    start();
    const auto response = get("/big");
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.header("Content-Length"), std::to_string(expected.size()));
    EXPECT_TRUE(response.body == expected);
    ASSERT_EQ(releasedFuture.wait_for(kWait), std::future_status::ready);
    EXPECT_EQ(releases.load(), 1);
}

TEST_F(HHttpTest, GuardRefusesWithItsOwnResponse) {
    HEvents events;
    app.guard([](const HHttpRequest& request, HHttpResponse& response) {
        if (request.header("origin") != "http://evil.example") {
            return true;
        }
        response.setStatus(403);
        response.write("refused");
        return false;
    });
    app.route("/ok", "GET", reply("ok"));
    app.webSocket("/ws", {[&](HWebSocket&) { events.add("open"); }, {}, {}});
    start();

    struct Case {
        bool webSocket;
        std::string origin;
        int status;
    };
    const std::vector<Case> cases = {
        {false, "http://evil.example", 403},
        {false, "http://127.0.0.1", 200},
        {true, "http://evil.example", 403},
        {true, "http://127.0.0.1", 101},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.webSocket ? "websocket from " : "request from ") + c.origin);
        const HTestHeaders headers = {{"Origin", c.origin}};
        if (c.webSocket) {
            HTestWebSocket socket;
            EXPECT_EQ(socket.connect("127.0.0.1", port, "/ws", headers).status, c.status);
        } else {
            const auto response = get("/ok", headers);
            EXPECT_EQ(response.status, c.status);
            EXPECT_EQ(response.body, c.status == 200 ? "ok" : "refused");
            expectCors(response);
        }
    }
    EXPECT_EQ(events.count("open"), 1u);
}

TEST_F(HHttpTest, BindFailureIsInTheFutureAndTheNextRunWorks) {
    app.route("/ok", "GET", reply("ok"));
    const HTestPortHolder holder;
    app.port(holder.port());
    auto failed = app.runAsync();
    EXPECT_EQ(app.waitStarted(kWait), HHttpApp::Start::failed);
    try {
        failed.get();
        ADD_FAILURE() << "bound a port another socket listens on";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::errc::address_in_use) << e.what();
    }

    app.port(0);
    start();
    EXPECT_NE(port, holder.port());
    EXPECT_EQ(get("/ok").body, "ok");
}

TEST_F(HHttpTest, StopIsSafeBeforeDuringAndAfterRuns) {
    app.route("/ok", "GET", reply("ok"));
    app.stop();

    auto stoppedEarly = app.runAsync();
    app.stop();
    EXPECT_EQ(stoppedEarly.wait_for(kWait), std::future_status::ready);
    EXPECT_NE(app.waitStarted(kWait), HHttpApp::Start::pending);

    start();
    EXPECT_EQ(get("/ok").body, "ok");
    std::thread other([&] { app.stop(); });
    other.join();
    EXPECT_EQ(run.wait_for(kWait), std::future_status::ready);
    app.stop();

    start();
    EXPECT_EQ(get("/ok").body, "ok");
}

TEST_F(HHttpTest, StopFromInsideAHandlerStillReplies) {
    app.route("/quit", "POST", [this](const HHttpRequest&, HHttpResponse& response) {
        app.stop();
        response.write("bye");
    });
    start();
    const auto response = httpRequest("127.0.0.1", port, "POST", "/quit");
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "bye");
    EXPECT_EQ(run.wait_for(kWait), std::future_status::ready);
}

TEST_F(HHttpTest, SigtermStopsTheRun) {
    app.handleSignals(true);
    start();
    ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
    EXPECT_EQ(run.wait_for(kWait), std::future_status::ready);
}
