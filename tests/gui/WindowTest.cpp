#include "HostFixture.h"

#include <boost/json.hpp>

#include <filesystem>

namespace {

using namespace std::chrono_literals;

// An X server of the test's own, on the first free display.
class Xvfb {
public:
    Xvfb()
        : server(HTestProcess::Options{
              "/usr/bin/Xvfb",
              {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
              {},
              true,
              ""}) {
        if (server.waitForStdout("\n", 20s))
            display = ":" + server.stdoutText().substr(0, server.stdoutText().find('\n'));
    }

    // Runs a command on this display and answers its standard output.
    std::string run(const std::string& executable, std::vector<std::string> arguments) const {
        HTestProcess command(HTestProcess::Options{
            executable, std::move(arguments), {{"DISPLAY", display}}, true, ""});
        command.waitExit(20s);
        return command.stdoutText();
    }

    // The id of the first window with that title, once it exists.
    std::string window(const std::string& title) const {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        do {
            const std::string found =
                run("/usr/bin/xdotool", {"search", "--onlyvisible", "--name", "^" + title + "$"});
            if (!found.empty())
                return found.substr(0, found.find('\n'));
            run("/usr/bin/xdotool", {"sleep", "0.1"});
        } while (std::chrono::steady_clock::now() < deadline);
        return {};
    }

    std::pair<int, int> position(const std::string& window) const {
        const std::string shell = run("/usr/bin/xdotool", {"getwindowgeometry", "--shell", window});
        const auto value = [&](const std::string& key) {
            const auto at = shell.find(key + "=");
            return at == std::string::npos ? -1 : std::stoi(shell.substr(at + key.size() + 1));
        };
        return {value("X"), value("Y")};
    }

    void click(int x, int y) const {
        run("/usr/bin/xdotool",
            {"mousemove", std::to_string(x), std::to_string(y), "click", "1", "sleep", "0.3"});
    }

    void keys(std::vector<std::string> names) const {
        names.insert(names.begin(), "key");
        names.insert(names.end(), {"sleep", "0.2"});
        run("/usr/bin/xdotool", names);
    }

    HTestProcess server;
    std::string display;
};

// The page builds its menu bar through appService; the ids tell that the page marker was set
// before the page's own script ran.
const char* page = R"(<!doctype html><html><body><h1 id="h">window fixture</h1><script>
const marker = String(window.hWebBrowser);
document.getElementById('h').textContent = 'page marker: ' + marker;
const call = (request, body) =>
    fetch('/appService/' + request, {method: 'PATCH', body: JSON.stringify(body)});
call('setMenuBar', {menuBar: [{id: 'file', text: 'File'}, {id: 'marker:' + marker, text: 'View'}]})
    .then(() => call('updateMenu', {menu: 'file', options: [{type: 'action', id: 'file.old', text: 'Old'}]}))
    .then(() => call('updateMenu', {menu: 'file', options: [
        {type: 'action', id: 'file.nothing', text: 'Nothing', disabled: true},
        {type: 'action', id: 'file.open', text: 'Open'},
        {type: 'separator'},
        {type: 'action', id: 'file.check', text: 'Checked', selected: true}]}))
    .then(() => call('updateMenu', {menu: 'marker:' + marker, options: []}))
    .then(() => { location.href = 'http://example.invalid/away'; });
</script></body></html>)";

class Window : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(x.display.empty()) << "Xvfb did not start";
        host = std::make_unique<Host>(
            R"([{"id": "gui", "title": "WindowTest", "fileSystem": "front", "serverPort": 0,
                 "services": ["appService"],
                 "browser": {"show": "normal", "windowWidth": 800, "windowHeight": 600}}])",
            std::map<std::string, std::string>{{"front/index.html", page}},
            std::vector<std::string>{"-app:gui"},
            HostOptions{{{"DISPLAY", x.display},
                         {"WEBKIT_DISABLE_DMABUF_RENDERER", "1"},
                         {"XDG_CACHE_HOME", (state.path / "cache").string()},
                         {"XDG_DATA_HOME", (state.path / "data").string()},
                         {"XDG_CONFIG_HOME", (state.path / "config").string()}},
                        false});
        // The last menu request of the page: the bar is complete.
        ASSERT_TRUE(host->process->waitForStdout("HWebBrowser::updateMenu::0", 60s)) << host->log();
        const std::string log = host->log();
        const auto at = log.find("HWebBrowser::webViewThread.RUN");
        ASSERT_NE(at, std::string::npos);
        window = x.window("WindowTest:.*");
        ASSERT_FALSE(window.empty()) << "no window";
        origin = x.position(window);
        const std::string title = x.run("/usr/bin/xdotool", {"getwindowname", window});
        port = static_cast<std::uint16_t>(std::stoi(title.substr(title.find(':') + 1)));
        host->port = port;
    }

    // Opens the File menu with a click on its title. The position is read each time: the
    // toolkit may still move a window that has just been mapped.
    void openFileMenu() {
        origin = x.position(window);
        x.click(origin.first + 18, origin.second + 12);
    }

    // Opens File and presses the keys, again when the menu was not up in time on a loaded
    // machine; answers the events received, the expected one last when it came.
    std::vector<std::string> choose(HTestWebSocket& page, const std::vector<std::string>& keys,
                                    const std::string& expected) {
        std::vector<std::string> seen;
        for (int attempt = 0; attempt < 3; ++attempt) {
            openFileMenu();
            x.keys(keys);
            while (auto text = page.receiveText(3s)) {
                seen.push_back(*text);
                if (*text == expected)
                    return seen;
            }
            x.keys({"Escape", "Escape"});
        }
        return seen;
    }

    Xvfb x;
    TempFolder state;
    std::unique_ptr<Host> host;
    std::string window;
    std::pair<int, int> origin;
    std::uint16_t port = 0;
};

} // namespace

TEST_F(Window, ShowsThePageWithTheMarkerAndItsMenuBar) {
    EXPECT_NE(host->log().find("HWebBrowser::createMenu::marker:hWebBrowserView"),
              std::string::npos)
        << host->log();
    // The page tried to leave for another origin: that goes to the user's browser instead.
    EXPECT_TRUE(
        host->process->waitForStdout("HWebBrowser::external:http://example.invalid/away", 20s));
    const auto shot = std::filesystem::current_path() / "window.png";
    x.run(XHELPER, {"shot", shot.string()});
    EXPECT_GT(std::filesystem::file_size(shot), 1000u) << "the screenshot is kept in " << shot;
    const auto reply = host->request("PATCH", "/appService/exit", {}, "{}");
    EXPECT_EQ(reply.body, R"({"exit":"ok"})");
    EXPECT_EQ(host->waitExit(), 0) << host->log();
}

TEST_F(Window, MenuClicksReachThePageAndDisabledItemsStaySilent) {
    HTestWebSocket page;
    ASSERT_EQ(page.connect("127.0.0.1", port).status, 101);

    // The first item is disabled: a click on it sends nothing.
    openFileMenu();
    x.click(origin.first + 40, origin.second + 37);
    x.keys({"Escape"});
    // Keyboard navigation skips the disabled item: the first enabled one is Open, which also
    // shows that the second updateMenu replaced the first list.
    const std::string open = R"({"type":"action","data":{"id":"file.open"}})";
    const std::string check = R"({"type":"action","data":{"id":"file.check"}})";
    const auto first = choose(page, {"Down", "Return"}, open);
    ASSERT_FALSE(first.empty());
    for (const auto& event : first)
        EXPECT_EQ(event, open);
    const auto second = choose(page, {"Down", "Down", "Return"}, check);
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(second.back(), check);
    for (const auto& event : second)
        EXPECT_TRUE(event == open || event == check) << event;
    EXPECT_EQ(host->log().find("file.nothing\""), std::string::npos);
    EXPECT_EQ(host->log().find("file.old\""), std::string::npos);
    page.close();
    EXPECT_EQ(host->stop(), 0);
}

TEST_F(Window, ClosingTheWindowEndsTheHost) {
    x.run(XHELPER, {"close", window});
    EXPECT_EQ(host->waitExit(), 0) << host->log();
    EXPECT_NE(host->log().find("HWebBrowser::webViewThread.LEAVES"), std::string::npos);
}

TEST(SmokeTest, OpensItsOwnWindow) {
    Xvfb x;
    ASSERT_FALSE(x.display.empty());
    TempFolder state;
    Host host("[]", {}, {"--test", "--webView"},
              HostOptions{{{"DISPLAY", x.display},
                           {"WEBKIT_DISABLE_DMABUF_RENDERER", "1"},
                           {"XDG_CACHE_HOME", (state.path / "cache").string()},
                           {"XDG_DATA_HOME", (state.path / "data").string()}},
                          false});
    const std::string window = x.window("Minimal example");
    ASSERT_FALSE(window.empty()) << host.log();
    x.run(XHELPER, {"close", window});
    EXPECT_EQ(host.waitExit(), 0);
    EXPECT_NE(host.log().find("HWebBrowser::test.terminate"), std::string::npos);
}

TEST(ErrorReport, IsADialogOnTheDisplay) {
    Xvfb x;
    ASSERT_FALSE(x.display.empty());
    Host host(R"([{"id": "gui", "fileSystem": "front"}])", {}, {"-app:missing"},
              HostOptions{{{"DISPLAY", x.display}}, false});
    const std::string dialog = x.window("CANNOT INITIALIZE APPLICATION");
    ASSERT_FALSE(dialog.empty()) << host.log();
    EXPECT_FALSE(host.process->waitExit(500ms).has_value()) << "the report waits for the user";
    x.run(XHELPER, {"close", dialog});
    EXPECT_EQ(host.waitExit(), 3);
}
