#include "HostFixture.h"

#include <boost/json.hpp>

#include <csignal>
#include <filesystem>
#include <regex>

namespace json = boost::json;

namespace {

const std::string catalogue = catalogueWith(R"("services": ["databaseManager"])");
const std::map<std::string, std::string> frontEnd{{"front/index.html", "<p>db</p>"}};

struct Reply {
    int status = 0;
    std::string text;
    json::value body;
};

Reply patch(const Host& host, const std::string& request, const json::value& body) {
    const auto reply = host.request("PATCH", "/databaseManager/" + request,
                                    {{"Content-Type", "application/json"}}, json::serialize(body));
    boost::system::error_code error;
    return {reply.status, reply.body, json::parse(reply.body, error)};
}

std::string sqlite(const std::filesystem::path& file, const std::string& options = "") {
    return "sqlite3:db=" + file.string() + options;
}

// The error body with its members in their order.
std::string errorText(const std::string& id, const json::value& request, const std::string& param,
                      int status, const std::string& code, const std::string& description) {
    json::object body;
    body["id"] = id;
    body["request"] = request;
    if (!param.empty())
        body["param"] = param;
    body["status"] = status;
    body["code"] = code;
    body["description"] = description;
    return json::serialize(body);
}

class Database : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.waitServing()) << host.log(); }
    void TearDown() override { EXPECT_EQ(host.stop(), 0) << host.log(); }

    Reply patch(const std::string& request, const json::value& body) const {
        return ::patch(host, request, body);
    }
    // Runs a statement that must succeed on the default database.
    json::value run(const std::string& request, const std::string& sql,
                    const json::value& bind = json::array()) const {
        const Reply reply =
            patch(request, {{"connectionString", db}, {"sql", sql}, {"bind", bind}});
        EXPECT_EQ(reply.status, 200) << sql << ": " << reply.text;
        return reply.body.is_object() ? reply.body.at(request) : json::value();
    }

    Host host{catalogue, frontEnd, {"-app:app"}};
    const std::string db = sqlite(host.folder.path / "main.db");
};

TEST_F(Database, ConnectionsAreReusedByContextAndStringAndFoundByIdWithTheirContext) {
    const auto connect = [&](const json::value& body) {
        return patch("connect", body);
    };
    const Reply first = connect({{"connectionString", db}});
    ASSERT_EQ(first.status, 200) << first.text;
    const std::string id(first.body.at("connect").at("connectionId").as_string());
    static const std::regex uuid4(
        "[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    EXPECT_TRUE(std::regex_match(id, uuid4)) << id;
    const auto record = [&](const std::string& request, const std::string& context,
                            const std::string& recordId, const char* created) {
        return R"({")" + request + R"(":{"connectionContext":")" + context +
               R"(","connectionId":")" + recordId + R"(","connectionString":")" + db + '"' +
               (created ? std::string(R"(,"created":)") + created : "") + "}}";
    };
    EXPECT_EQ(first.text, record("connect", "", id, "true"));

    EXPECT_EQ(connect({{"connectionString", db}}).text, record("connect", "", id, "false"));
    EXPECT_EQ(connect({{"connectionId", id}, {"connectionString", "ignored"}}).text,
              record("connect", "", id, "false"));

    const Reply other = connect({{"connectionContext", "other"}, {"connectionString", db}});
    const std::string otherId(other.body.at("connect").at("connectionId").as_string());
    EXPECT_NE(otherId, id);
    EXPECT_EQ(other.text, record("connect", "other", otherId, "true"));

    const json::value wrongContext{{"connectionContext", "other"}, {"connectionId", id}};
    EXPECT_EQ(connect(wrongContext).text,
              errorText("connect", wrongContext, id, 500, "DB_ERROR", "CONNECTION NOT FOUND"));

    const json::value byId{{"connectionId", id}};
    EXPECT_EQ(patch("disconnect", byId).text, record("disconnect", "", id, nullptr));
    EXPECT_EQ(patch("disconnect", byId).text,
              errorText("disconnect", byId, id, 500, "DB_ERROR", "CONNECTION NOT FOUND"));
    EXPECT_EQ(connect(byId).status, 500);
    const Reply reopened = connect({{"connectionString", db}});
    EXPECT_EQ(reopened.body.at("connect").at("created"), json::value(true));
    EXPECT_NE(reopened.body.at("connect").at("connectionId").as_string(), id);

    struct Case {
        std::string request;
        json::value body;
        int status;
        std::string param, code, description;
    };
    const Case refusals[] = {
        {"disconnect",
         {{"connectionString", db}},
         400,
         "connectionId",
         "INVALID_SERVICE_PARAMETER",
         "INVALID SERVICE PARAMETER"},
        {"connect", json::object(), 400, "connectionId,connectionString",
         "INVALID_SERVICE_PARAMETER", "INVALID SERVICE PARAMETER"},
        {"query",
         {{"connectionId", 7}, {"sql", "SELECT 1"}},
         400,
         "connectionId,connectionString",
         "INVALID_SERVICE_PARAMETER",
         "INVALID SERVICE PARAMETER"},
        {"open", {{"connectionString", db}}, 501, "", "NOT_IMPLEMENTED", "NOT IMPLEMENTED"},
    };
    for (const auto& c : refusals)
        EXPECT_EQ(patch(c.request, c.body).text,
                  errorText(c.request, c.body, c.param, c.status, c.code, c.description));
}

TEST_F(Database, BindsEveryJsonKind) {
    struct Case {
        json::value bound;
        json::value text;
        const char* type;
    };
    const Case cases[] = {
        {nullptr, nullptr, "null"},
        {true, "1", "integer"},
        {false, "0", "integer"},
        {-42, "-42", "integer"},
        {std::uint64_t(9223372036854775807ULL), "9223372036854775807", "integer"},
        {std::uint64_t(18446744073709551615ULL), "18446744073709551615", "text"},
        {1.5, "1.5", "real"},
        {"h\xC3\xA9llo", "h\xC3\xA9llo", "text"},
        {"", "", "text"},
        {json::string(std::string_view("ab\0cd", 5)), "ab", "text"},
        {json::array{1, "x", nullptr, json::array{"y"}}, R"([1,"x",null,["y"]])", "text"},
        {json::object{{"a", json::object{{"b", true}}}}, R"({"a":{"b":true}})", "text"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(json::serialize(c.bound));
        const json::value reply =
            run("query", "SELECT ?1 AS v, typeof(?1) AS t", json::array{c.bound});
        EXPECT_EQ(reply.at("results"), json::value(json::array{{{"v", c.text}, {"t", c.type}}}));
    }

    run("exec", "CREATE TABLE t(id INTEGER PRIMARY KEY, n, s, z, b)");
    run("exec", "INSERT INTO t(n, s, z, b) VALUES (1, 1, 1, 1)");
    const json::value inserted = run("exec", "INSERT INTO t(n, s, z, b) VALUES (?, ?, ?, ?)",
                                     json::array{2.5, "two", nullptr, true});
    EXPECT_EQ(json::serialize(inserted.at("info")), R"({"affectedRows":1,"lastInsertId":2})");
    EXPECT_EQ(run("query", "SELECT n, s, z, b FROM t WHERE id = 2").at("results"),
              json::value(json::array{{{"n", "2.5"}, {"s", "two"}, {"z", nullptr}, {"b", "1"}}}));
}

TEST_F(Database, QueryTypesNullsAndDuplicateColumnNames) {
    const json::value plain = run("query", "SELECT 1 AS a, NULL AS b");
    EXPECT_EQ(json::serialize(plain.at("info")), R"({"rows":1})");
    EXPECT_EQ(json::serialize(plain.at("results")), R"([{"a":"1","b":null}])");

    const Reply typed = patch(
        "query", {{"connectionString", db},
                  {"sql", "SELECT 1 AS a, '2.5x' AS b, 'abc' AS c, NULL AS d, 5 AS e, 6 AS f, "
                          "7 AS g"},
                  {"types", {"number", "double", "number", "number", 5, "NUMBER"}}});
    ASSERT_EQ(typed.status, 200) << typed.text;
    EXPECT_EQ(typed.body.at("query").at("results"), json::value(json::array{{{"a", 1.0},
                                                                             {"b", 2.5},
                                                                             {"c", 0.0},
                                                                             {"d", nullptr},
                                                                             {"e", "5"},
                                                                             {"f", "6"},
                                                                             {"g", "7"}}}));

    EXPECT_EQ(json::serialize(run("query", "SELECT 1 AS a, 2 AS b, 3 AS a").at("results")),
              R"([{"a":"3","b":"2"}])");
    const json::value none = run("query", "SELECT 1 AS a WHERE 0");
    EXPECT_EQ(json::serialize(none.at("info")), R"({"rows":0})");
    EXPECT_EQ(none.at("results"), json::value(json::array()));
}

TEST_F(Database, FailuresAnswerTheLayersText) {
    run("exec", "CREATE TABLE t(id INTEGER PRIMARY KEY)");
    run("exec", "INSERT INTO t(id) VALUES (1)");
    const std::string readonly = sqlite(host.folder.path / "main.db", ";mode=readonly");
    const std::string missing = sqlite(host.folder.path / "later.db", ";mode=readwrite");
    const std::string mysqlModule = "mysql:@module=/usr/lib/x86_64-linux-gnu/libcppdb_mysql.so.0";
    const std::string mysqlPath = "mysql:@modules_path=/usr/lib/x86_64-linux-gnu;host=127.0.0.1";
    struct Case {
        std::string request, connectionString, sql;
        json::value bind;
        std::string description;
    };
    const Case cases[] = {
        {"exec", db, "SELEC 1", json::array(), R"(near "SELEC": syntax error)"},
        {"query", db, "SELECT ?", json::array{1, 2},
         "cppdb::invalid_placeholder attempt bind to invalid placeholder"},
        {"exec", db, "SELECT 1", json::array(), "Using exec with query!"},
        {"execx", db, "SELECT ?", json::array{json::array{1}}, "Using exec with query!"},
        {"exec", db, "INSERT INTO t(id) VALUES (?)", json::array{1},
         "UNIQUE constraint failed: t.id"},
        {"exec", readonly, "INSERT INTO t(id) VALUES (2)", json::array(),
         "attempt to write a readonly database"},
        // Text without a statement fails instead of bringing the host down.
        {"exec", db, "", json::array(), "not an error"},
        {"query", db, "-- nothing", json::array(), "sqlite3:not an error"},
        {"execx", db, " ", json::array{json::array{1}}, "not an error"},
        {"connect", "sqlite3:mode=create", "", json::array(),
         "sqlite3:database file (db property) not specified"},
        {"exec", missing, "SELECT 1", json::array(),
         "sqlite3:Failed to open connection:unable to open database file"},
        {"connect", "mysql:host=127.0.0.1", "", json::array(),
         "cppdb::driver failed to load driver mysql - no module found"},
        // No module is loaded at a connection string's word.
        {"connect", mysqlModule, "", json::array(),
         "cppdb::driver failed to load driver mysql - no module found"},
        {"connect", mysqlPath, "", json::array(),
         "cppdb::driver failed to load driver mysql - no module found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request + " " + c.connectionString + " " + c.sql);
        json::object body{{"connectionString", c.connectionString}};
        if (c.request != "connect")
            body.insert({{"sql", c.sql}, {"bind", c.bind}});
        EXPECT_EQ(patch(c.request, body).text,
                  errorText(c.request, body, c.connectionString, 500, "DB_ERROR", c.description));
    }

    // A failed open registers nothing and a later request tries again.
    EXPECT_EQ(patch("exec", {{"connectionString", sqlite(host.folder.path / "later.db")},
                             {"sql", "CREATE TABLE x(y)"}})
                  .status,
              200);
    EXPECT_EQ(patch("connect", {{"connectionString", missing}}).body.at("connect").at("created"),
              json::value(true));

    // Without "sql" the reply is a refusal, but the connection it opened stays.
    const std::string fresh = sqlite(host.folder.path / "fresh.db");
    const json::value noSql{{"connectionString", fresh}};
    EXPECT_EQ(patch("exec", noSql).text,
              errorText("exec", noSql, "sql", 400, "INVALID_SERVICE_PARAMETER",
                        "INVALID SERVICE PARAMETER"));
    EXPECT_EQ(patch("connect", noSql).body.at("connect").at("created"), json::value(false));
}

TEST_F(Database, ExecxStopsAtTheFailingRunAndKeepsTheRunsBefore) {
    run("exec", "CREATE TABLE t(id INTEGER PRIMARY KEY, v)");
    EXPECT_EQ(run("execx", "INSERT INTO t(id) VALUES (1)").at("info"), json::value(json::array()));
    EXPECT_EQ(
        json::serialize(run("execx", "INSERT INTO t(id, v) VALUES (?, ?)",
                            json::array{json::array{2, "a"}, "skipped", json::array{3, nullptr}})
                            .at("info")),
        R"([{"affectedRows":1,"lastInsertId":2},{"affectedRows":1,"lastInsertId":3}])");

    const json::value batch{{"connectionString", db},
                            {"sql", "INSERT INTO t(id) VALUES (?)"},
                            {"bind", json::array{json::array{4}, json::array{2}, json::array{5}}}};
    EXPECT_EQ(patch("execx", batch).text,
              errorText("execx", batch, db, 500, "DB_ERROR", "UNIQUE constraint failed: t.id"));
    EXPECT_EQ(run("query", "SELECT group_concat(id) AS ids FROM t").at("results"),
              json::value(json::array{{{"ids", "2,3,4"}}}));
}

TEST(DatabaseShutdown, SigtermClosesTheDatabasesWithoutLeavingJournals) {
    Host host(catalogue, frontEnd, {"-app:app"});
    ASSERT_TRUE(host.waitServing()) << host.log();
    const auto wal = host.folder.path / "wal.db";
    const auto open = host.folder.path / "open.db";
    const auto exec = [&](const std::filesystem::path& file, const std::string& request,
                          const std::string& sql) {
        const Reply reply =
            patch(host, request, {{"connectionString", sqlite(file)}, {"sql", sql}});
        EXPECT_EQ(reply.status, 200) << sql << ": " << reply.text;
    };
    exec(wal, "query", "PRAGMA journal_mode=WAL");
    for (const auto& file : {wal, open}) {
        exec(file, "exec", "CREATE TABLE t(v)");
        exec(file, "exec", "INSERT INTO t VALUES ('kept')");
    }
    // A transaction left open at shut-down is rolled back.
    exec(open, "exec", "BEGIN");
    exec(open, "exec", "INSERT INTO t VALUES ('rolled back')");
    ASSERT_TRUE(std::filesystem::exists(wal.string() + "-wal"));
    ASSERT_TRUE(std::filesystem::exists(open.string() + "-journal"));

    EXPECT_EQ(host.stop(SIGTERM), 0) << host.log();
    for (const char* suffix : {"-wal", "-shm"})
        EXPECT_FALSE(std::filesystem::exists(wal.string() + suffix)) << suffix;
    EXPECT_FALSE(std::filesystem::exists(open.string() + "-journal"));

    Host reader(catalogue, frontEnd, {"-app:app"});
    ASSERT_TRUE(reader.waitServing()) << reader.log();
    for (const auto& file : {wal, open}) {
        const Reply rows = patch(reader, "query",
                                 {{"connectionString", sqlite(file, ";mode=readonly")},
                                  {"sql", "SELECT group_concat(v) AS v FROM t"}});
        ASSERT_EQ(rows.status, 200) << rows.text;
        EXPECT_EQ(rows.body.at("query").at("results"), json::value(json::array{{{"v", "kept"}}}))
            << file;
    }
    EXPECT_EQ(reader.stop(), 0) << reader.log();
}

} // namespace
