#include "HServer.h"
#include "HEvents.h"
#include "HJson.h"
#include "HServerResponse.h"
#include "HService.h"
#include "HTestClient.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace json = boost::json;

namespace {

// The broadcast line among the captured ones: server threads log too, in their own time.
std::string broadcastLine(const LogCapture& capture) {
    for (const auto& [severity, text] : capture.lines())
        if (text.rfind("HServer::writeSocketEvent::", 0) == 0)
            return text;
    return {};
}

// A service whose requests exercise the base's replies.
class ProbeService : public HService {
public:
    explicit ProbeService(const std::string& name,
                          HServiceRequestType type = HServiceRequestType::Direct)
        : HService(type, name) {}

    void process(const HJson& request, HServerResponse& response,
                 const std::string& requestName) override {
        const int now = ++running;
        maxRunning = std::max(maxRunning.load(), now);
        if (requestName == "count") {
            end(response, 200, 5, "count");
        } else if (requestName == "read") {
            echo(request, response, requestName);
        } else if (requestName == "write") {
            std::string error;
            std::string path;
            std::string data;
            if (getParam(request, "path", path, &error) && getParam(request, "data", data, &error))
                echo(request, response, requestName);
            else
                errorParam(request, response, error, requestName);
        } else if (requestName == "slow") {
            // Long enough for a second request to arrive while this one runs.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            end(response, 200, "done", requestName);
        } else if (requestName == "throw") {
            --running;
            throw std::runtime_error("boom");
        } else {
            errorNotImpl(request, response, requestName);
        }
        --running;
    }

    std::atomic<int> running = 0;
    std::atomic<int> maxRunning = 0;
};

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        probe = std::make_shared<ProbeService>("probe");
        ASSERT_TRUE(server.startService(probe));
        ASSERT_TRUE(server.startService(
            std::make_shared<ProbeService>("queued", static_cast<HServiceRequestType>(1))));
        ASSERT_TRUE(server.start("http", "127.0.0.1", 0));
        port = static_cast<std::uint16_t>(server.runningPort());
    }
    void TearDown() override {
        server.terminate();
        server.run();
    }

    HTestResponse patch(const std::string& target, const std::string& body) {
        return httpRequest("127.0.0.1", port, "PATCH", target, {}, body);
    }

    HServer server;
    HEvents events{server};
    std::shared_ptr<ProbeService> probe;
    std::uint16_t port = 0;
};

} // namespace

TEST_F(ServerTest, ServiceRepliesAndDispatchErrors) {
    struct Case {
        std::string target, body;
        int status;
        std::string reply;
    };
    const Case cases[] = {
        {"/probe/count", "{}", 200, R"({"count":5})"},
        {"/probe/read", R"({"a":1})", 200, R"({"read":{"echo":{"id":"read","request":{"a":1}}}})"},
        {"/probe/write", R"({"path":"p","data":5})", 400,
         R"({"id":"write","request":{"path":"p","data":5},"param":"data","status":400,)"
         R"("code":"INVALID_SERVICE_PARAMETER","description":"INVALID SERVICE PARAMETER"})"},
        {"/probe/", "[]", 501,
         R"({"id":"","request":[],"status":501,"code":"NOT_IMPLEMENTED","description":"NOT IMPLEMENTED"})"},
        {"/queued/x", "{}", 500,
         R"({"id":"/queued/x","request":{},"status":500,"code":"INVALID_SERVICE_MODE","description":"INVALID SERVICE MODE"})"},
        {"/probe/throw", "{}", 500, ""},
    };
    for (const auto& c : cases) {
        const auto reply = patch(c.target, c.body);
        EXPECT_EQ(reply.status, c.status) << c.target;
        EXPECT_EQ(reply.body, c.reply) << c.target;
    }
    EXPECT_EQ(patch("/probe/count", "{}").status, 200) << "the server survives a throwing service";
}

TEST_F(ServerTest, ServiceRequestsRunOneAtATime) {
    std::vector<std::thread> clients;
    std::atomic<int> answered = 0;
    for (int i = 0; i < 3; ++i)
        clients.emplace_back([&] {
            if (patch("/probe/slow", "{}").status == 200)
                ++answered;
        });
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(answered, 3);
    EXPECT_EQ(probe->maxRunning, 1);
}

TEST_F(ServerTest, EventsReachEveryOpenSocket) {
    HTestWebSocket first;
    HTestWebSocket second;
    ASSERT_EQ(first.connect("127.0.0.1", port).status, 101);
    ASSERT_EQ(second.connect("127.0.0.1", port).status, 101);
    ASSERT_TRUE(first.sendText("hello from the page"));

    const json::value event = json::parse(R"({"type":"action","data":{"id":"file.quit"}})");
    {
        LogCapture capture;
        events.dispatch(event);
        EXPECT_EQ(
            broadcastLine(capture),
            R"(HServer::writeSocketEvent::2;event:{"type":"action","data":{"id":"file.quit"}})");
    }
    EXPECT_EQ(first.receiveText(), R"({"type":"action","data":{"id":"file.quit"}})");
    EXPECT_EQ(second.receiveText(), R"({"type":"action","data":{"id":"file.quit"}})");

    ASSERT_TRUE(first.close());
    // The close handler runs on a server thread; wait until the server has dropped the socket.
    for (int i = 0; i < 200; ++i) {
        LogCapture capture;
        events.dispatch(json::parse(R"({"type":"action","data":{"id":"probe"}})"));
        if (broadcastLine(capture).find("writeSocketEvent::1;") != std::string::npos)
            break;
        ASSERT_EQ(second.receiveText(), R"({"type":"action","data":{"id":"probe"}})");
    }
    events.dispatch(event);
    std::optional<std::string> received;
    do {
        received = second.receiveText();
    } while (received && *received != R"({"type":"action","data":{"id":"file.quit"}})");
    EXPECT_TRUE(received.has_value());
}

TEST(ServerLifecycle, NeverStartedServerIsNotRunning) {
    HServer server;
    EXPECT_FALSE(server.start("HTTP", "127.0.0.1", 0));
    EXPECT_FALSE(server.isRunning());
    EXPECT_FALSE(server.isAlive());
    server.terminate();
    EXPECT_FALSE(server.run());
}

TEST(ServerLifecycle, StoppedServerAnswersNoMore) {
    HServer server;
    ASSERT_TRUE(server.start("http", "127.0.0.1", 0));
    EXPECT_TRUE(server.isAlive());
    server.terminate();
    EXPECT_FALSE(server.run());
    EXPECT_FALSE(server.isAlive());
    EXPECT_THROW(httpRequest("127.0.0.1", static_cast<std::uint16_t>(server.runningPort()), "GET",
                             "/version", {}, {}, std::chrono::milliseconds(500)),
                 std::runtime_error);
}

TEST(StaticFileHelpers, SplitUrlAndContentTypes) {
    std::string path;
    std::vector<std::string> params{"kept"};
    splitUrl("/a/b", path, params);
    EXPECT_EQ(path, "/a/b");
    EXPECT_EQ(params, std::vector<std::string>{"kept"});
    splitUrl("/a?x=1&&y", path, params);
    EXPECT_EQ(path, "/a");
    EXPECT_EQ(params, (std::vector<std::string>{"x=1", "", "y"}));
    splitUrl("/a?", path, params);
    EXPECT_EQ(params, std::vector<std::string>{""});

    const std::pair<const char*, const char*> types[] = {
        {"html", "text/html"},         {"js", "application/javascript"},
        {"svgz", "image/svg+xml"},     {"ico", "image/vnd.microsoft.icon"},
        {"woff2", "application/text"}, {"", "application/text"},
        {"HTML", "application/text"},
    };
    for (const auto& [extension, type] : types)
        EXPECT_EQ(contentType(extension), type) << extension;
}

TEST_F(ServerTest, PageMessagesAreLoggedByTheirStartOnly) {
    HTestWebSocket page;
    ASSERT_EQ(page.connect("127.0.0.1", port).status, 101);
    LogCapture capture;
    ASSERT_TRUE(page.sendText(std::string(1000, 'x')));
    const std::string expected =
        "HServer::webSocket::message" + std::string(256, 'x') + "...(1000 bytes)";
    std::string logged;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (logged.empty() && std::chrono::steady_clock::now() < deadline) {
        for (const auto& [severity, text] : capture.lines())
            if (text.rfind("HServer::webSocket::message", 0) == 0)
                logged = text;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(logged, expected);
}
