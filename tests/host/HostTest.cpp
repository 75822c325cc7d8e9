#include "HostFixture.h"

#include "HHttpApp.h"

#include <csignal>

namespace {

const std::map<std::string, std::string> frontEnd{
    {"front/index.html", "<p>home</p>"}, {"front/style.css", "p{}"},
    {"front/app.mjs", "export{}"},       {"front/mod.wasm", std::string("\0asm", 4)},
    {"front/logo.PNG", "png"},           {"front/LICENSE", "MIT"},
};

} // namespace

TEST(Host, ServesStaticFilesWithTypesAndDefaultFile) {
    Host host(catalogueWith(""), frontEnd, {"-app:app"});
    ASSERT_TRUE(host.waitServing()) << host.log();

    struct Case {
        const char* target;
        const char* type;
        std::string body;
    };
    const Case cases[] = {
        {"/", "text/html", "<p>home</p>"},
        {"/index.html", "text/html", "<p>home</p>"},
        {"/some/client/route", "text/html", "<p>home</p>"},
        {"/missing.png", "text/html", "<p>home</p>"},
        {"/style.css?v=2", "text/css", "p{}"},
        {"/app.mjs", "text/javascript", "export{}"},
        {"/mod.wasm", "application/wasm", std::string("\0asm", 4)},
        {"/logo.PNG", "application/text", "png"},
        {"/LICENSE", "application/text", "MIT"},
    };
    for (const auto& c : cases) {
        const auto reply = host.request("GET", c.target);
        EXPECT_EQ(reply.status, 200) << c.target;
        EXPECT_EQ(reply.header("Content-Type"), c.type) << c.target;
        EXPECT_EQ(reply.body, c.body) << c.target;
        EXPECT_EQ(reply.header("Access-Control-Allow-Origin"), "*") << c.target;
        EXPECT_EQ(reply.header("Access-Control-Allow-Methods"), "*") << c.target;
        EXPECT_EQ(reply.header("Access-Control-Allow-Headers"), "*") << c.target;
    }

    const auto version = host.request("GET", "/version");
    EXPECT_EQ(version.status, 200);
    EXPECT_EQ(version.body, "0.0.1");

    const auto options = host.request("OPTIONS", "/anything");
    EXPECT_LT(options.status, 300);
    EXPECT_NE(options.header("Allow").find("PATCH"), std::string::npos);
    EXPECT_EQ(host.request("DELETE", "/anything").status, 405);

    EXPECT_EQ(host.stop(SIGTERM), 0);
    EXPECT_NE(host.log().find("RC:0"), std::string::npos);
}

TEST(Host, ErrorRepliesKeepTheirMemberOrder) {
    struct Case {
        std::string members;
        std::string method, target, body;
        int status;
        std::string reply;
    };
    const Case cases[] = {
        {R"("fileSystem": "front", "appHome": "")", "GET", "/missing?q=1", "", 404,
         R"({"url":"/missing?q=1","status":404,"code":"HTTP_FILENOTFOUND","description":"FILE NOT FOUND"})"},
        {R"("fileSystem": "")", "GET", "/index.html", "", 404,
         R"({"url":"/index.html","status":404,"code":"HTTP_FILENOTFOUND","description":"FILE NOT FOUND"})"},
        {R"("fileSystem": "front")", "PATCH", "/fileManager", R"({"a":1})", 406,
         R"({"id":"/fileManager","request":{"a":1},"status":406,"code":"INVALID_SERVICE_REQUEST","description":"INVALID SERVICE REQUEST"})"},
        {R"("fileSystem": "front")", "PATCH", "/fileManager/info/extra", "", 406,
         R"({"id":"/fileManager/info/extra","request":null,"status":406,"code":"INVALID_SERVICE_REQUEST","description":"INVALID SERVICE REQUEST"})"},
        {R"("fileSystem": "front")", "PATCH", "/fileManager//info", "", 406,
         R"({"id":"/fileManager//info","request":null,"status":406,"code":"INVALID_SERVICE_REQUEST","description":"INVALID SERVICE REQUEST"})"},
        {R"("fileSystem": "front")", "PATCH", "/FileManager/info", "not json", 404,
         R"({"id":"/FileManager/info","request":null,"status":404,"code":"SERVICE_NOT_FOUND","description":"SERVICE NOT FOUND"})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method + " " + c.target);
        Host host(R"([{"id": "app", "serverPort": 0, )" + c.members + "}]", frontEnd, {"-app:app"});
        ASSERT_TRUE(host.waitServing()) << host.log();
        const auto reply = host.request(c.method, c.target, {}, c.body);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.header("Content-Type"), "application/json");
        EXPECT_EQ(reply.body, c.reply);
        EXPECT_EQ(host.stop(), 0);
    }
}

TEST(Host, MovesToTheNextPortWhenTheFirstIsTaken) {
    HTestPortHolder held;
    // Declared first so that the app, which stops its run when destroyed, goes before it.
    std::future<void> foreignTask;
    HHttpApp foreign;
    foreign.route("/version", "GET",
                  [](const HHttpRequest&, HHttpResponse& reply) { reply.write("1.0"); });
    foreign.handleSignals(false);
    foreign.port(0);
    foreignTask = foreign.runAsync();
    ASSERT_EQ(foreign.waitStarted(std::chrono::seconds(5)), HHttpApp::Start::listening);

    for (const std::uint16_t taken : {held.port(), foreign.boundPort()}) {
        SCOPED_TRACE(taken);
        Host host(R"([{"id": "app", "fileSystem": "front", "serverPort": )" +
                      std::to_string(taken) + "}]",
                  frontEnd, {"-app:app"});
        ASSERT_TRUE(host.waitServing()) << host.log();
        EXPECT_NE(host.port, taken);
        EXPECT_GT(host.port, taken);
        EXPECT_LE(host.port, taken + 31);
        EXPECT_NE(host.log().find("HServer::start::fails127.0.0.1:" + std::to_string(taken)),
                  std::string::npos);
        EXPECT_NE(host.log().find("HServer::started:" + std::to_string(taken) + ":127.0.0.1"),
                  std::string::npos);
        EXPECT_EQ(host.request("GET", "/version").body, "0.0.1");
        EXPECT_EQ(host.stop(), 0);
    }
}

TEST(Host, StartUpFailuresAreReportedWithExitCode3) {
    struct Case {
        std::string name;
        std::string catalogue;
        std::vector<std::string> arguments;
        std::vector<std::string> lines;
        bool rcLine;
    };
    const Case cases[] = {
        {"no catalogue entry",
         catalogueWith(""),
         {"-app:other"},
         {"CANNOT INITIALIZE APPLICATION", "DETAILS:", "CANNOT FIND BEST APPLICATION",
          "ARGS:", "-app:other"},
         true},
        {"no front-end folder",
         R"([{"id": "app", "title": "Demo"}])",
         {"-app:app"},
         {"CANNOT INITIALIZE APPLICATION", "Demo APPLICATION FILESYSTEM NOT DEFINED"},
         true},
        {"unknown service and protocol",
         catalogueWith(R"("services": ["noSuchService"], "serverProtocol": "HTTP")"),
         {"-app:app"},
         {"CANNOT START\nDETAILS:\nCANNOT NOT FOUND SERVICE:noSuchService\n"
          "CANNOT NOT START HTTP SERVER:127.0.0.10\n"},
         false},
        {"window without display",
         catalogueWith(R"("browser": {"show": "normal"})"),
         {"-app:app"},
         {"Failed to start", "The required \"graphical display\" is not available", "--noUI"},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Host host(c.catalogue, frontEnd, c.arguments);
        EXPECT_EQ(host.waitExit(), 3);
        for (const auto& line : c.lines)
            EXPECT_NE(host.log().find(line), std::string::npos) << line << "\n" << host.log();
        EXPECT_EQ(host.log().find("RC:3") != std::string::npos, c.rcLine);
    }
}

TEST(Host, OptionsThatEndAtOnce) {
    struct Case {
        std::vector<std::string> arguments;
        int code;
        std::string output;
    };
    const Case cases[] = {
        {{"--test"}, 0, ""},
        {{"-app:app", "--test", "--webView"}, 0, ""},
        {{"--version"}, 0, "0.0.1"},
        {{"--help"}, 0, "--allowOrigin:"},
    };
    for (const auto& c : cases) {
        Host host(catalogueWith(""), frontEnd, c.arguments);
        EXPECT_EQ(host.waitExit(), c.code) << c.arguments.front();
        EXPECT_NE(host.out().find(c.output), std::string::npos) << c.arguments.front();
    }

    HTestProcess notAFolder(
        HTestProcess::Options{TAVIRO_EXE, {"--folder:/nonexistent/taviro"}, {}, true, ""});
    EXPECT_EQ(notAFolder.waitExit(std::chrono::seconds(20)), 3);
    EXPECT_NE(notAFolder.stderrText().find("is not a folder"), std::string::npos);
}

TEST(Host, RefusesForeignOriginsAndHosts) {
    Host host(catalogueWith(""), frontEnd, {"-app:app", "--allowOrigin:http://localhost:5173"});
    ASSERT_TRUE(host.waitServing()) << host.log();
    const std::string port = std::to_string(host.port);

    struct Case {
        std::string method;
        HTestHeaders headers;
        int status;
        std::string code;
    };
    const Case cases[] = {
        {"PATCH", {{"Origin", "http://evil.example"}}, 403, "FORBIDDEN_ORIGIN"},
        {"PATCH", {{"Origin", "null"}}, 403, "FORBIDDEN_ORIGIN"},
        {"PATCH", {{"Origin", "http://127.0.0.1:1"}}, 403, "FORBIDDEN_ORIGIN"},
        {"PATCH", {{"Origin", "http://127.0.0.1:" + port}}, 404, "SERVICE_NOT_FOUND"},
        {"PATCH", {{"Origin", "http://localhost:" + port}}, 404, "SERVICE_NOT_FOUND"},
        {"PATCH", {{"Origin", "http://localhost:5173"}}, 404, "SERVICE_NOT_FOUND"},
        {"PATCH", {}, 404, "SERVICE_NOT_FOUND"},
        {"PATCH", {{"Host", "attacker.example:" + port}}, 403, "FORBIDDEN_HOST"},
        {"GET", {{"Host", "attacker.example"}}, 403, "FORBIDDEN_HOST"},
        {"GET", {{"Host", "localhost:" + port}}, 200, ""},
        {"GET", {{"Origin", "http://evil.example"}}, 200, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method + " " + (c.headers.empty() ? "" : c.headers.front().second));
        const auto reply = host.request(c.method, "/svc/req", c.headers, "{}");
        EXPECT_EQ(reply.status, c.status) << reply.body;
        if (!c.code.empty()) {
            EXPECT_NE(reply.body.find("\"code\":\"" + c.code + "\""), std::string::npos)
                << reply.body;
        }
    }
    const auto refused = host.request("PATCH", "/svc/req", {{"Origin", "http://evil.example"}});
    EXPECT_EQ(refused.body, R"({"id":"/svc/req","origin":"http://evil.example","status":403,)"
                            R"("code":"FORBIDDEN_ORIGIN","description":"FORBIDDEN ORIGIN"})");

    HTestWebSocket foreign;
    EXPECT_EQ(
        foreign.connect("127.0.0.1", host.port, "/ws", {{"Origin", "http://evil.example"}}).status,
        403);
    HTestWebSocket own;
    EXPECT_EQ(
        own.connect("127.0.0.1", host.port, "/ws", {{"Origin", "http://127.0.0.1:" + port}}).status,
        101);
    EXPECT_TRUE(own.close());
    EXPECT_EQ(host.stop(SIGINT), 0);
}
