#include "HHttpTestFixture.h"

#include <set>

namespace {

// Holds raw socket pointers the way a server does: added on open, removed on close.
class HSocketSet {
public:
    void add(HWebSocket& socket) {
        std::lock_guard lock(mutex_);
        sockets_.insert(&socket);
        changed_.notify_all();
    }

    void remove(HWebSocket& socket) {
        std::lock_guard lock(mutex_);
        sockets_.erase(&socket);
        changed_.notify_all();
    }

    void broadcast(const std::string& text) {
        std::lock_guard lock(mutex_);
        for (auto* socket : sockets_) {
            socket->sendText(text);
        }
    }

    bool waitForSize(std::size_t size) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kWait, [&] { return sockets_.size() == size; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::set<HWebSocket*> sockets_;
};

class HWebSocketTest : public HHttpTest {
protected:
    HWebSocketTest() {
        app.route("/<path>", "GET", [](const HHttpRequest& request, HHttpResponse& response) {
            response.write("file:" + request.param);
        });
        app.webSocket("/ws", {[this](HWebSocket& socket) {
                                  events.add("open");
                                  sockets.add(socket);
                                  socket.sendText("welcome");
                              },
                              [this](HWebSocket& socket, const std::string&) {
                                  events.add("close");
                                  sockets.remove(socket);
                              },
                              [this](HWebSocket& socket, const std::string& message, bool binary) {
                                  events.add(binary ? "binary" : "text");
                                  socket.sendText("echo:" + message);
                              }});
    }

    // The server has run onOpen by the time the client sees the socket open, and what onOpen
    // sent comes first.
    void connect(HTestWebSocket& client) {
        const auto opensBefore = events.count("open");
        ASSERT_EQ(client.connect("127.0.0.1", port).status, 101);
        EXPECT_EQ(events.count("open"), opensBefore + 1);
        EXPECT_EQ(client.receiveText(), "welcome");
    }

    HEvents events;
    HSocketSet sockets;
};

} // namespace

TEST_F(HWebSocketTest, OpenMessageAndCloseReachTheHandlers) {
    start();
    EXPECT_EQ(get("/ws").body, "file:ws"); // no upgrade: an ordinary path

    HTestWebSocket client;
    connect(client);
    ASSERT_TRUE(client.sendText("hello"));
    EXPECT_EQ(client.receiveText(), "echo:hello");
    EXPECT_TRUE(client.close());
    ASSERT_TRUE(events.waitForCount("close", 1));
    EXPECT_TRUE(sockets.waitForSize(0));
    EXPECT_EQ(events.count("text"), 1u);
    EXPECT_EQ(events.count("open"), 1u);
    EXPECT_EQ(events.count("close"), 1u);
}

TEST_F(HWebSocketTest, SendTextFromAnotherThreadReachesEveryOpenSocket) {
    start();
    HTestWebSocket first;
    HTestWebSocket second;
    connect(first);
    connect(second);
    sockets.broadcast("one");
    EXPECT_EQ(first.receiveText(), "one");
    EXPECT_EQ(second.receiveText(), "one");

    EXPECT_TRUE(first.close());
    ASSERT_TRUE(sockets.waitForSize(1));
    sockets.broadcast("two");
    EXPECT_EQ(second.receiveText(), "two");
    EXPECT_EQ(events.count("close"), 1u);
}

TEST_F(HWebSocketTest, IdleSocketOutlivesTheRequestTimeout) {
    app.timeout(std::chrono::milliseconds(300));
    start();
    HTestWebSocket client;
    connect(client);
    EXPECT_EQ(client.receiveText(std::chrono::milliseconds(1500)), std::nullopt);
    EXPECT_TRUE(client.isOpen());
    ASSERT_TRUE(client.sendText("still there"));
    EXPECT_EQ(client.receiveText(), "echo:still there");
    EXPECT_EQ(events.count("close"), 0u);
}

TEST_F(HWebSocketTest, StopClosesOpenSocketsThroughOnClose) {
    start();
    HTestWebSocket first;
    HTestWebSocket second;
    connect(first);
    connect(second);
    app.stop();
    EXPECT_TRUE(first.waitClosed());
    EXPECT_TRUE(second.waitClosed());
    EXPECT_EQ(run.wait_for(kWait), std::future_status::ready);
    EXPECT_EQ(events.count("close"), 2u);
    EXPECT_TRUE(sockets.waitForSize(0));
}

TEST_F(HWebSocketTest, OversizedMessageClosesTheSocket) {
    start();
    HTestWebSocket client;
    connect(client);
    // Whether the send completes does not matter: the server may hang up on the frame header.
    client.sendText(std::string((std::size_t{64} << 20) + 1, 'x'));
    EXPECT_TRUE(client.waitClosed());
    ASSERT_TRUE(events.waitForCount("close", 1));
    EXPECT_EQ(events.count("text"), 0u);
}
