#include "HostFixture.h"

#include <boost/json.hpp>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;
namespace json = boost::json;

namespace {

std::string catalogue(const std::string& services) {
    return R"([{"id": "app", "fileSystem": "front", "serverPort": 0, "services": [)" + services +
           "]}]";
}

const std::map<std::string, std::string> frontEnd{{"front/index.html", "<p>home</p>"}};

json::value patch(const Host& host, const std::string& target, const std::string& body,
                  int expectedStatus) {
    const auto reply = host.request("PATCH", target, {}, body);
    EXPECT_EQ(reply.status, expectedStatus) << target << " " << body << "\n" << reply.body;
    return reply.body.empty() ? json::value() : json::parse(reply.body);
}

std::set<std::string> names(const json::value& listing) {
    std::set<std::string> result;
    for (const auto& entry : listing.at("directory").as_array())
        result.insert(std::string(entry.at("name").as_string()));
    return result;
}

} // namespace

TEST(FileManager, ListsFoldersWithNameAndKindFilters) {
    Host host(catalogue(R"("fileManager")"), frontEnd, {"-app:app"});
    ASSERT_TRUE(host.waitServing()) << host.log();
    TempFolder tree;
    tree.write("abc", "12345");
    tree.write("cab", "");
    tree.write("Abc", "x");
    tree.write(".hidden", "h");
    tree.write("sub/inner.txt", "inside");
    fs::create_directory_symlink(tree.path / "sub", tree.path / "alink");
    fs::create_symlink(tree.path / "missing", tree.path / "adangling");
    const std::string folder = tree.path.string();

    struct Case {
        std::string filter;
        std::set<std::string> names;
    };
    const Case cases[] = {
        {"{}", {"abc", "cab", "Abc", ".hidden", "sub", "alink"}},
        {R"({"nameFilter": "a.*"})", {"abc", "alink"}},
        {R"({"nameFilter": ""})", {}},
        {R"({"types": []})", {"abc", "cab", "Abc", ".hidden", "sub", "alink"}},
        {R"({"types": [1, "file"]})", {"abc", "cab", "Abc", ".hidden"}},
        {R"({"types": ["folder"], "nameFilter": "a.*"})", {"alink"}},
        {R"({"types": ["volume"]})", {}},
    };
    for (const auto& c : cases) {
        const auto reply =
            patch(host, "/fileManager/directory",
                  R"({"folder": ")" + folder + R"(", "filter": )" + c.filter + "}", 200);
        EXPECT_EQ(names(reply), c.names) << c.filter;
    }

    const auto listing =
        patch(host, "/fileManager/directory", R"({"folder": ")" + folder + "\"}", 200);
    for (const auto& entry : listing.at("directory").as_array()) {
        const auto& record = entry.as_object();
        std::vector<std::string> keys;
        for (const auto& member : record)
            keys.emplace_back(member.key());
        if (record.at("name") == "abc") {
            EXPECT_EQ(keys, (std::vector<std::string>{"name", "type", "state", "created",
                                                      "modified", "size"}));
            EXPECT_EQ(record.at("size").to_number<int>(), 5);
            EXPECT_GT(record.at("modified").as_int64(), 1'600'000'000);
        }
        if (record.at("name") == "alink") {
            EXPECT_EQ(record.at("type"), "folder");
            EXPECT_EQ(keys.size(), 5u);
        }
    }

    EXPECT_EQ(patch(host, "/fileManager/directory", R"({"folder": "/no/such/folder"})", 200),
              json::parse(R"({"directory":[]})"));
    EXPECT_TRUE(patch(host, "/fileManager/directory",
                      R"({"folder": ")" + folder + R"(", "filter": {"nameFilter": "("}})", 500)
                    .is_null());
    EXPECT_TRUE(patch(host, "/fileManager/directory", R"({"folder": ")" + folder + "/abc\"}", 500)
                    .is_null());

    const auto volumes = patch(host, "/fileManager/directory", "{}", 200);
    const auto& list = volumes.at("directory").as_array();
    ASSERT_FALSE(list.empty());
    const auto root = std::find_if(list.begin(), list.end(),
                                   [](const json::value& v) { return v.at("path") == "/"; });
    ASSERT_NE(root, list.end());
    EXPECT_EQ(root->at("type"), "volume");
    EXPECT_GT(root->at("size").to_number<double>(), 0);
    EXPECT_EQ(host.stop(), 0);
}

TEST(FileManager, EchoesAndRefusals) {
    Host host(catalogue(R"("fileManager")"), frontEnd, {"-app:app"});
    ASSERT_TRUE(host.waitServing()) << host.log();
    const std::string target = (host.folder.path / "written").string();
    struct Case {
        std::string request, body;
        int status;
        std::string reply;
    };
    const Case cases[] = {
        {"read", "{}", 200, R"({"read":{"echo":{"id":"read","request":{}}}})"},
        {"write", R"({"path":")" + target + R"(","data":"d"})", 200,
         R"({"write":{"echo":{"id":"write","request":{"path":")" + target + R"(","data":"d"}}}})"},
        {"write", R"({"path":"p","data":5})", 400,
         R"({"id":"write","request":{"path":"p","data":5},"param":"data","status":400,)"
         R"("code":"INVALID_SERVICE_PARAMETER","description":"INVALID SERVICE PARAMETER"})"},
        {"write", "{}", 400,
         R"({"id":"write","request":{},"param":"path","status":400,)"
         R"("code":"INVALID_SERVICE_PARAMETER","description":"INVALID SERVICE PARAMETER"})"},
        {"Info", "{}", 501,
         R"({"id":"Info","request":{},"status":501,"code":"NOT_IMPLEMENTED","description":"NOT IMPLEMENTED"})"},
    };
    for (const auto& c : cases) {
        const auto reply = host.request("PATCH", "/fileManager/" + c.request, {}, c.body);
        EXPECT_EQ(reply.status, c.status) << c.request;
        EXPECT_EQ(reply.body, c.reply) << c.request;
    }
    EXPECT_FALSE(fs::exists(target)) << "write only acknowledges";
    EXPECT_EQ(host.stop(), 0);
}

TEST(FileManager, SpecialFoldersFollowHomeAndTheUserDirectories) {
    if (getuid() != 0)
        GTEST_SKIP() << "switching to another user needs root";
    TempFolder config;
    config.write("user-dirs.dirs", "# written by xdg-user-dirs-update\n"
                                   "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n"
                                   "XDG_MUSIC_DIR=\"/srv/music/\"\n");
    const std::vector<std::pair<std::string, std::string>> environment{
        {"HOME", "/home/ada"},
        {"XDG_CONFIG_HOME", config.path.string()},
        {"XDG_CACHE_HOME", "relative/cache"},
        {"XDG_DATA_HOME", ""},
    };
    Host user(catalogue(R"("fileManager")"), frontEnd, {"-app:app"}, {environment, true});
    ASSERT_TRUE(user.waitServing()) << user.log();
    const auto info = patch(user, "/fileManager/info", "{}", 200).at("info");
    EXPECT_EQ(info.at("status"), "ready");
    char hostName[256] = {};
    gethostname(hostName, sizeof hostName - 1);
    EXPECT_EQ(info.at("name"), hostName);

    const auto expected = json::parse(R"({
        "CONFIG": ")" + config.path.string() +
                                      R"(",
        "DATA": "/home/ada/.local/share", "STATE": "/home/ada/.local/state",
        "CACHE": "/home/ada/.cache", "DOCUMENTS": "/home/ada/Papers",
        "DESKTOP": "/home/ada/Desktop", "PICTURES": "/home/ada/Pictures",
        "MUSIC": "/srv/music", "VIDEO": "/home/ada/Videos", "DOWNLOAD": "/home/ada/Downloads",
        "GAMES1": "/home/ada/.local/share", "GAMES2": "/home/ada/.local/share"})");
    const auto& folders = info.at("specialFolders").as_object();
    EXPECT_EQ(json::value(folders), expected);
    std::vector<std::string> order;
    for (const auto& member : folders)
        order.emplace_back(member.key());
    EXPECT_EQ(order, (std::vector<std::string>{"CONFIG", "DATA", "STATE", "CACHE", "DOCUMENTS",
                                               "DESKTOP", "PICTURES", "MUSIC", "VIDEO", "DOWNLOAD",
                                               "GAMES1", "GAMES2"}));
    EXPECT_EQ(user.stop(), 0);

    // The superuser's home comes from the password database, whatever HOME says.
    Host root(catalogue(R"("fileManager")"), frontEnd, {"-app:app"},
              {{{"HOME", "/home/ada"}, {"XDG_CONFIG_HOME", ""}}, false});
    ASSERT_TRUE(root.waitServing()) << root.log();
    const auto rootFolders =
        patch(root, "/fileManager/info", "{}", 200).at("info").at("specialFolders");
    EXPECT_EQ(rootFolders.at("DESKTOP"), "/root/Desktop");
    EXPECT_EQ(rootFolders.at("CONFIG"), "/root/.config");
    EXPECT_EQ(root.stop(), 0);
}

TEST(PrintServices, AnswerWithoutAPrintingSystem) {
    Host host(catalogue(R"("printManager", "printJobManager")"), frontEnd, {"-app:app"});
    ASSERT_TRUE(host.waitServing()) << host.log();
    struct Case {
        std::string target, body;
        int status;
        std::string reply;
    };
    const std::string notImplemented =
        R"(,"status":501,"code":"NOT_IMPLEMENTED","description":"NOT IMPLEMENTED"})";
    const std::string badParam =
        R"(,"status":400,"code":"INVALID_SERVICE_PARAMETER","description":"INVALID SERVICE PARAMETER"})";
    const Case cases[] = {
        {"/printManager/enum", "", 200, R"({"enum":[]})"},
        {"/printManager/papers", "{}", 400,
         R"({"id":"papers","request":{},"param":"printerName")" + badParam},
        {"/printManager/papers", R"({"printerName":"p"})", 200, R"({"papers":[]})"},
        {"/printManager/capabilities", R"({"printerName":"p"})", 200, R"({"capabilities":{}})"},
        {"/printManager/driver", R"({"printerName":"p"})", 200, R"({"driver":{}})"},
        {"/printManager/devmode", R"({"printerName":"p"})", 200, R"({"devmode":{}})"},
        {"/printManager/other", "{}", 400,
         R"({"id":"other","request":{},"param":"printerName")" + badParam},
        {"/printManager/other", R"({"printerName":"p"})", 501,
         R"({"id":"other","request":{"printerName":"p"})" + notImplemented},
        {"/printJobManager/create", "{}", 400,
         R"({"id":"create","request":{},"param":"printerName")" + badParam},
        {"/printJobManager/create", R"({"printerName":"p","paperName":"A4"})", 400,
         R"({"id":"create","request":{"printerName":"p","paperName":"A4"},"param":"jobName")" +
             badParam},
        {"/printJobManager/create", R"({"printerName":"p","paperName":"A4","jobName":"j"})", 501,
         R"({"id":"create","request":{"printerName":"p","paperName":"A4","jobName":"j"})" +
             notImplemented},
        {"/printJobManager/drawText", R"({"text":"t"})", 501,
         R"({"id":"drawText","request":{"text":"t"})" + notImplemented},
        {"/printJobManager/close", "{}", 501, R"({"id":"close","request":{})" + notImplemented},
    };
    for (const auto& c : cases) {
        const auto reply = host.request("PATCH", c.target, {}, c.body);
        EXPECT_EQ(reply.status, c.status) << c.target;
        EXPECT_EQ(reply.body, c.reply) << c.target;
    }
    EXPECT_EQ(host.stop(), 0);
}

TEST(AppService, MenusFontsAndExit) {
    Host host(catalogue(R"("appService")"), frontEnd, {"-app:app"});
    ASSERT_TRUE(host.waitServing()) << host.log();
    const std::string badParam =
        R"(,"status":400,"code":"INVALID_SERVICE_PARAMETER","description":"INVALID SERVICE PARAMETER"})";
    struct Case {
        std::string request, body;
        int status;
        std::string reply;
    };
    const Case cases[] = {
        {"setMenuBar", R"({"menuBar":{}})", 400,
         R"({"id":"setMenuBar","request":{"menuBar":{}},"param":"menuBar")" + badParam},
        {"setMenuBar", R"({"menuBar":[{"id":"file","text":"File"}]})", 200,
         R"({"setMenuBar":"ok"})"},
        {"updateMenu", "{}", 400, R"({"id":"updateMenu","request":{},"param":"menu")" + badParam},
        {"updateMenu", R"({"menu":"file"})", 400,
         R"({"id":"updateMenu","request":{"menu":"file"},"param":"options")" + badParam},
        {"updateMenu", R"({"menu":"unknown","options":[]})", 200, R"({"updateMenu":"ok"})"},
        {"Exit", "{}", 501,
         R"({"id":"Exit","request":{},"status":501,"code":"NOT_IMPLEMENTED","description":"NOT IMPLEMENTED"})"},
    };
    for (const auto& c : cases) {
        const auto reply = host.request("PATCH", "/appService/" + c.request, {}, c.body);
        EXPECT_EQ(reply.status, c.status) << c.request;
        EXPECT_EQ(reply.body, c.reply) << c.request;
    }
    EXPECT_NE(host.log().find("HWebBrowser::createMenuBar::WINDOW NOT FOUND"), std::string::npos);

    const auto fonts = patch(host, "/appService/enumFonts", "{}", 200).at("enumFonts").as_array();
    auto face = [&](const std::string& postscriptName) -> json::object {
        for (const auto& font : fonts)
            if (font.at("postscriptName").as_string() == postscriptName)
                return font.as_object();
        ADD_FAILURE() << "no face " << postscriptName;
        return {};
    };
    EXPECT_EQ(json::value(face("DejaVuSans")), json::parse(R"({"postscriptName":"DejaVuSans",
        "family":"DejaVu Sans","style":"Book","weight":400,"width":5,"options":[]})"));
    EXPECT_EQ(face("DejaVuSans-Bold").at("weight"), 700);
    EXPECT_EQ(face("DejaVuSansMono").at("options"), json::parse(R"(["monospace"])"));
    EXPECT_EQ(face("DejaVuSans-Oblique").at("options"), json::parse(R"(["italic","oblique"])"));
    EXPECT_EQ(face("DejaVuSansCondensed").at("width"), 4);

    EXPECT_EQ(host.request("PATCH", "/appService/exit", {}, "{}").body, R"({"exit":"ok"})");
    EXPECT_EQ(host.waitExit(), 0);
    EXPECT_NE(host.log().find("RC:0"), std::string::npos);
}
