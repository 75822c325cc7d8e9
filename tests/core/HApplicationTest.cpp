#include "HApplication.h"
#include "HDiskFileSystem.h"
#include "HFileSystem.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

namespace {

const char* referenceCatalogue = R"([
    {"id": "taviro", "title": "taviroDesktop", "options": "default",
     "browser": {"show-": "none", "show": "fullscreen"},
     "fileSystem": "applications/desktop/frontend",
     "appSplash": "applications/desktop/TaviroSplash.png",
     "services": ["fileManager", "printManager", "printJobManager", "appService", "databaseManager"]},
    {"id": "pellum", "title": "Pellum", "fileSystem": "applications/desktop/frontend",
     "services": ["fileManager", "printManager"]}
])";

struct Loaded {
    bool ok;
    std::string id, title;
    std::vector<std::string> errors;
};

Loaded load(const char* catalogue, const std::vector<std::string>& args) {
    TempFolder folder;
    if (catalogue != nullptr)
        folder.write("applications.json", catalogue);
    HFileSystem files(std::make_unique<HDiskFileSystem>(folder.path.string()));
    HApplication application(files);
    const bool ok = application.initialize(args);
    return {ok, application.id, application.title, application.errors};
}

} // namespace

TEST(HApplicationSelection, ChoosesByOptionNameOrDefault) {
    struct Case {
        std::vector<std::string> args;
        std::string id;
    };
    const Case cases[] = {
        {{"/usr/bin/Taviro"}, "taviro"},
        {{"/opt/x/other"}, "taviro"},
        {{"/opt/x/pellum.bin"}, "pellum"},
        {{"/opt/x/taviro", "-APP:PELLUM"}, "pellum"},
        {{"/opt/x/taviro", "--application:Pellum"}, "pellum"},
        {{"/opt/x/other", "--application:", "-app:pellum"}, "taviro"},
        {{"/opt/x/other", "-app:pellum", "--application:nosuchapp"}, "pellum"},
        {{"/opt/x/other", "--application=pellum"}, "taviro"},
        {{}, "taviro"},
    };
    for (const auto& c : cases) {
        const Loaded loaded = load(referenceCatalogue, c.args);
        EXPECT_TRUE(loaded.ok) << ::testing::PrintToString(c.args);
        EXPECT_EQ(loaded.id, c.id) << ::testing::PrintToString(c.args);
    }
}

TEST(HApplicationSelection, FailuresSayWhy) {
    struct Case {
        const char* catalogue;
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {nullptr, {"taviro"}, "APPLICATIONS FILE NOT FOUND"},
        {referenceCatalogue, {"taviro", "--application:nosuchapp"}, "CANNOT FIND BEST APPLICATION"},
        {"{\"id\": \"taviro\"}", {"taviro"}, "CANNOT FIND BEST APPLICATION"},
        {"[{\"id\": \"taviro\",}]", {"taviro"}, "CANNOT FIND BEST APPLICATION"},
        {R"([{"id": "a"}, 5, {"id": "b", "options": "nodefault"}])",
         {"x"},
         "b APPLICATION FILESYSTEM NOT DEFINED"},
        {R"([{"options": "default"}])", {"x"}, " APPLICATION FILESYSTEM NOT DEFINED"},
        {R"([{"id": "Upper", "fileSystem": "f"}])",
         {"x", "-app:Upper"},
         "CANNOT FIND BEST APPLICATION"},
    };
    for (const auto& c : cases) {
        const Loaded loaded = load(c.catalogue, c.args);
        EXPECT_FALSE(loaded.ok) << c.error;
        EXPECT_EQ(loaded.errors, std::vector<std::string>{c.error});
    }
}

TEST(HApplicationRecord, DefaultsAndKinds) {
    TempFolder folder;
    folder.write("applications.json", R"([
        {"id": "plain", "fileSystem": "front"},
        {"id": "typed", "fileSystem": "front", "serverPort": "9080", "appThreads": 2.0,
         "appBaseUrl": "/app", "browser": {"windowWidth": 800}},
        {"id": "custom", "fileSystem": "front", "serverPort": 8080, "title": "Custom",
         "browser": {"show": "FullScreen", "windowWidth": 800, "windowHeight": 600},
         "services": ["a", 1, "b"]},
        {"id": "maximized", "fileSystem": "front", "browser": {"show": "maximized"}}
    ])");
    HFileSystem files(std::make_unique<HDiskFileSystem>(folder.path.string()));

    HApplication plain(files);
    ASSERT_TRUE(plain.initialize({"plain"}));
    EXPECT_EQ(plain.title, "plain");
    EXPECT_EQ(plain.appSuffix, "plain");
    EXPECT_EQ(plain.serverProtocol, "http");
    EXPECT_EQ(plain.serverAddress, "127.0.0.1");
    EXPECT_EQ(plain.serverPort, 9080);
    EXPECT_EQ(plain.appThreads, 4);
    EXPECT_EQ(plain.browser.show, 0);
    EXPECT_EQ(plain.url("127.0.0.1", 9080), "http://127.0.0.1:9080/index.html");

    HApplication typed(files);
    ASSERT_TRUE(typed.initialize({"typed"}));
    EXPECT_EQ(typed.serverPort, 9080);
    EXPECT_EQ(typed.appThreads, 4);
    EXPECT_EQ(typed.browser.windowWidth, -1);
    EXPECT_EQ(typed.browser.show, 0);
    EXPECT_EQ(typed.url("127.0.0.1", 9081), "http://127.0.0.1:9081/app/index.html");

    HApplication custom(files);
    ASSERT_TRUE(custom.initialize({"custom"}));
    EXPECT_EQ(custom.serverPort, 8080);
    EXPECT_EQ(custom.title, "Custom");
    EXPECT_EQ(custom.appSuffix, "custom");
    EXPECT_EQ(custom.browser.show, 1);
    EXPECT_EQ(custom.browser.windowWidth, 800);
    EXPECT_EQ(custom.browser.windowHeight, 600);
    EXPECT_EQ(custom.services, (std::vector<std::string>{"a", "b"}));

    HApplication maximized(files);
    ASSERT_TRUE(maximized.initialize({"maximized"}));
    EXPECT_EQ(maximized.browser.show, 0);
}
