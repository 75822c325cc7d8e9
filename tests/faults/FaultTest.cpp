#include "HEvents.h"
#include "HServer.h"
#include "HostFixture.h"
#include "LogCapture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/json.hpp>

#include <csignal>
#include <filesystem>
#include <future>
#include <iostream>
#include <regex>

namespace json = boost::json;
using namespace std::chrono_literals;

namespace {

const std::string catalogue = catalogueWith(R"("services": ["fileManager", "databaseManager"])");
const std::string bigFile(32 << 20, 'x');
const std::map<std::string, std::string> frontEnd{{"front/index.html", "<p>faults</p>"},
                                                  {"front/big.bin", bigFile}};

class Faults : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.waitServing()) << host.log(); }
    void TearDown() override { EXPECT_EQ(host.stop(), 0) << host.log(); }

    // The host still serves a file and a service request.
    void expectAnswering(const std::string& after) const {
        EXPECT_EQ(host.request("GET", "/index.html").body, "<p>faults</p>") << after;
        EXPECT_EQ(host.request("PATCH", "/fileManager/read", {}, "{}").status, 200) << after;
    }

    Host host{catalogue, frontEnd, {"-app:app"}};
};

// A blocking loopback socket whose reads give up after the test time-out.
int connectTo(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval limit{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct WrkRun {
    long requests = 0;
    double perSecond = 0;
    bool socketErrors = false;
    bool non2xx = false;
    std::string output;
};

// wrk for a few seconds at 256 connections; its summary parsed.
WrkRun wrk(std::uint16_t port, const std::string& target, const std::string& script = "") {
    std::vector<std::string> arguments{"-t2", "-c256", "-d3s", "--timeout", "10s"};
    if (!script.empty())
        arguments.insert(arguments.end(), {"-s", script});
    arguments.push_back("http://127.0.0.1:" + std::to_string(port) + target);
    HTestProcess process({"/usr/bin/wrk", arguments, {}, true, ""});
    WrkRun run;
    // The summary's last line: the exit can be seen before the output has all been read.
    const bool summary = process.waitForStdout("Transfer/sec", 60s);
    const auto exit = process.waitExit(10s);
    run.output = process.stdoutText() + process.stderrText();
    if (!summary || exit != 0)
        return run;
    std::smatch match;
    if (std::regex_search(run.output, match, std::regex("([0-9]+) requests in")))
        run.requests = std::stol(match[1]);
    if (std::regex_search(run.output, match, std::regex("Requests/sec:\\s+([0-9.]+)")))
        run.perSecond = std::stod(match[1]);
    run.socketErrors = run.output.find("Socket errors") != std::string::npos;
    run.non2xx = run.output.find("Non-2xx") != std::string::npos;
    return run;
}

} // namespace

TEST_F(Faults, WrkAt256ConnectionsOnStaticFilesAndServices) {
    const auto script = host.folder.path / "patch.lua";
    host.folder.write("patch.lua", "wrk.method = \"PATCH\"\nwrk.body = '{\"a\": 1}'\n"
                                   "wrk.headers[\"Content-Type\"] = \"application/json\"\n");
    for (const auto& [target, lua] : {std::pair<std::string, std::string>{"/index.html", ""},
                                      {"/fileManager/read", script.string()}}) {
        const WrkRun run = wrk(host.port, target, lua);
        ASSERT_GT(run.requests, 0) << target << ": " << run.output;
        EXPECT_FALSE(run.socketErrors) << target << ": " << run.output;
        EXPECT_FALSE(run.non2xx) << target << ": " << run.output;
        std::cout << "wrk 256 connections " << target << ": " << run.requests << " requests, "
                  << run.perSecond << " req/s, no errors\n";
        RecordProperty("wrk" + target, std::to_string(run.perSecond) + " req/s");
        expectAnswering("after wrk on " + target);
    }
}

TEST_F(Faults, ClientsThatLeaveMidReplyOrStopHalfway) {
    constexpr int clients = 40;
    for (int i = 0; i < clients; ++i) {
        const int fd = connectTo(host.port);
        ASSERT_GE(fd, 0);
        const std::string get = "GET /big.bin HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        ASSERT_EQ(::send(fd, get.data(), get.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(get.size()));
        char chunk[4096];
        EXPECT_GT(::recv(fd, chunk, sizeof chunk, 0), 0);
        // Every other one resets instead of closing.
        if (i % 2) {
            const linger reset{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        }
        ::close(fd);
    }
    expectAnswering("after clients that left mid-reply");

    std::vector<std::unique_ptr<HTestRawConnection>> halves;
    for (int i = 0; i < clients; ++i) {
        halves.push_back(std::make_unique<HTestRawConnection>("127.0.0.1", host.port));
        ASSERT_TRUE(halves.back()->send(i % 2 ? "GET /index.html HTTP/1.1\r\nHo"
                                              : "PATCH /fileManager/read HTTP/1.1\r\nHost: "
                                                "127.0.0.1\r\nContent-Length: 100\r\n\r\n{\"a\""));
    }
    expectAnswering("while half requests are held open");
    halves.clear();
    expectAnswering("after half requests were dropped");
    std::cout << clients << " clients left mid-reply, " << clients
              << " sent half a request: the host kept answering\n";
}

TEST_F(Faults, OversizedHeadersAndBodiesAreRefused) {
    const auto statusOf = [](const std::string& reply) {
        return reply.substr(0, reply.find("\r\n"));
    };
    {
        HTestRawConnection client("127.0.0.1", host.port);
        client.send("GET /index.html HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Big: " +
                    std::string(20 * 1024, 'h') + "\r\n\r\n");
        EXPECT_EQ(statusOf(client.readUntilClose(kTestTimeout).data),
                  "HTTP/1.1 431 Request Header Fields Too Large");
    }
    {
        HTestRawConnection client("127.0.0.1", host.port);
        client.send("PATCH /fileManager/read HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
                    std::to_string((std::size_t{64} << 20) + 1) + "\r\n\r\n");
        EXPECT_EQ(statusOf(client.readUntilClose(kTestTimeout).data),
                  "HTTP/1.1 413 Payload Too Large");
    }
    {
        // Chunks without an announced length, past the limit; the host may stop reading early.
        HTestRawConnection client("127.0.0.1", host.port);
        client.send("PATCH /fileManager/read HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                    "Transfer-Encoding: chunked\r\n\r\n");
        const std::string chunk = "100000\r\n" + std::string(1 << 20, 'b') + "\r\n";
        int sent = 0;
        while (sent < 70 && client.send(chunk))
            ++sent;
        client.send("0\r\n\r\n");
        EXPECT_EQ(statusOf(client.readUntilClose(kTestTimeout).data),
                  "HTTP/1.1 413 Payload Too Large");
        std::cout << "streamed body: " << sent << " MiB sent before the host closed\n";
    }
    expectAnswering("after oversized headers and bodies");
}

TEST_F(Faults, LockedDatabaseAnswersDbErrorAfterTheBusyTimeOut) {
    const auto file = host.folder.path / "locked.db";
    const std::string connection = "sqlite3:db=" + file.string() + ";busy_timeout=500";
    const auto patch = [&](const std::string& request, const std::string& sql) {
        const json::value body{{"connectionString", connection}, {"sql", sql}};
        return host.request("PATCH", "/databaseManager/" + request, {}, json::serialize(body));
    };
    ASSERT_EQ(patch("exec", "CREATE TABLE t(v)").status, 200);

    // Another connection, as another program would hold it.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    for (const auto& [request, sql] :
         {std::pair<std::string, std::string>{"query", "SELECT * FROM t"},
          {"exec", "INSERT INTO t VALUES (1)"}}) {
        const auto reply = patch(request, sql);
        EXPECT_EQ(reply.status, 500) << sql;
        EXPECT_NE(reply.body.find(R"("code":"DB_ERROR")"), std::string::npos) << reply.body;
        EXPECT_NE(reply.body.find("locked"), std::string::npos) << reply.body;
        std::cout << "locked database, " << request << ": " << reply.body << "\n";
    }
    ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    EXPECT_EQ(patch("exec", "INSERT INTO t VALUES (1)").status, 200) << "the lock is gone";
    expectAnswering("after a locked database");
}

TEST(FaultsShutdown, SigtermDuringABatchKeepsTheDatabaseIntact) {
    Host host(catalogue, {{"front/index.html", "<p>faults</p>"}}, {"-app:app"});
    ASSERT_TRUE(host.waitServing()) << host.log();
    const auto file = host.folder.path / "batch.db";
    const std::string connection = "sqlite3:db=" + file.string();
    const auto patch = [&](const std::string& request, const json::value& body) {
        json::object full = body.as_object();
        full["connectionString"] = connection;
        return httpRequest("127.0.0.1", host.port, "PATCH", "/databaseManager/" + request, {},
                           json::serialize(full), 60s);
    };
    ASSERT_EQ(patch("exec", {{"sql", "CREATE TABLE t(id INTEGER PRIMARY KEY, v TEXT)"}}).status,
              200);
    ASSERT_EQ(patch("exec", {{"sql", "INSERT INTO t(v) VALUES ('committed')"}}).status, 200);

    constexpr int rows = 200000;
    json::array bind;
    for (int i = 0; i < rows; ++i)
        bind.push_back(json::array{"batch " + std::to_string(i)});
    ASSERT_EQ(patch("exec", {{"sql", "BEGIN"}}).status, 200);
    const json::value batch{{"sql", "INSERT INTO t(v) VALUES (?)"}, {"bind", std::move(bind)}};
    auto reply = std::async(std::launch::async, [&] {
        try {
            return patch("execx", batch).status;
        } catch (const std::exception&) {
            return 0; // cut by the shut-down
        }
    });
    // The rollback journal appears with the batch's first insert.
    const auto journal = file.string() + "-journal";
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!std::filesystem::exists(journal) && std::chrono::steady_clock::now() < deadline &&
           reply.wait_for(1ms) == std::future_status::timeout)
        ;
    const bool midBatch = std::filesystem::exists(journal);
    EXPECT_EQ(host.stop(SIGTERM), 0) << host.log();
    const int status = reply.get();
    std::cout << "SIGTERM " << (midBatch ? "during" : "after")
              << " the batch; its reply: " << (status ? std::to_string(status) : "none") << "\n";

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    const auto scalar = [&](const char* sql) {
        sqlite3_stmt* statement = nullptr;
        std::string value;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
        return value;
    };
    EXPECT_EQ(scalar("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(scalar("SELECT group_concat(v) FROM t"), "committed") << "no row of the batch";
    sqlite3_close(db);
    EXPECT_FALSE(std::filesystem::exists(journal));
    std::cout << "after SIGTERM: integrity ok, the committed row kept, no row of the open batch\n";
}

TEST(FaultsEvents, TwoHundredWebsocketsReceiveEveryEvent) {
    HServer server;
    HEvents events{server};
    ASSERT_TRUE(server.start("http", "127.0.0.1", 0));
    const auto port = static_cast<std::uint16_t>(server.runningPort());
    constexpr int sockets = 200;
    constexpr int count = 20;
    std::vector<std::unique_ptr<HTestWebSocket>> pages;
    for (int i = 0; i < sockets; ++i) {
        pages.push_back(std::make_unique<HTestWebSocket>());
        ASSERT_EQ(pages.back()->connect("127.0.0.1", port).status, 101) << i;
    }
    for (int n = 0; n < count; ++n) {
        LogCapture capture;
        events.dispatch(
            json::parse(R"({"type":"action","data":{"id":")" + std::to_string(n) + R"("}})"));
        bool toAll = false;
        for (const auto& [severity, text] : capture.lines())
            toAll |= text.rfind("HServer::writeSocketEvent::200;", 0) == 0;
        EXPECT_TRUE(toAll) << "event " << n;
    }
    int complete = 0;
    for (auto& page : pages) {
        int received = 0;
        for (int n = 0; n < count; ++n)
            received += page->receiveText() ==
                        R"({"type":"action","data":{"id":")" + std::to_string(n) + R"("}})";
        EXPECT_EQ(received, count);
        complete += received == count;
    }
    EXPECT_EQ(complete, sockets);
    std::cout << sockets << " websockets open at once: " << complete << " received all " << count
              << " events\n";
    RecordProperty("websockets", complete);
    server.terminate();
    server.run();
}
