#include "HApplication.h"
#include "HDiskFileSystem.h"
#include "HEvents.h"
#include "HFileSystem.h"
#include "HLogs.h"
#include "HOS.h"
#include "HServer.h"
#include "HService.h"
#include "HServiceFactory.h"
#include "HSplash.h"
#include "HVirtualFileSystem.h"
#include "HWebBrowser.h"

#include <boost/version.hpp>

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* usage = R"(Usage: taviro [options]

Serves a web application from the host's disk image on a loopback HTTP server and shows it in a
native window (or headless).

Options:
  --application:ID, -app:ID  run the application ID of applications.json (default: the
                             application named like the program, else the one marked default)
  --noUI                     serve headless: no window, no splash
  --noSplash                 open the window without the splash image
  --folder:PATH              serve the folder PATH (holding applications.json) instead of the
                             embedded disk image
  --allowOrigin:ORIGIN       also accept service requests and websockets from ORIGIN, such as a
                             front-end development server (repeatable)
  --test [--webView]         run the self-test (with --webView: the smoke-test window)
  --version                  print the host's version and exit
  --help                     print this help and exit
)";

const char* version = "0.0.1";

} // namespace

std::vector<std::string> fromArgs(int argc, char** argv) {
    return {argv, argv + argc};
}

bool hasArg(const std::vector<std::string>& args, const std::string& name) {
    const std::string option = "--" + name;
    for (const auto& arg : args)
        if (arg == option)
            return true;
    return false;
}

std::unique_ptr<HFileSystemPrivate> fileSystem() {
    return std::make_unique<HVirtualFileSystem>(vDiskFAT, vDiskEntries, vDiskData, vDiskSize);
}

int testMain(HFileSystem&, const std::vector<std::string>& args) {
    if (hasArg(args, "webView")) {
        HWebBrowser::test();
        HLOG_INFO("HWebBrowser::test.terminate");
    }
    return 0;
}

namespace {

// Every value of the options that take one, in order; the prefix is case-sensitive.
std::vector<std::string> optionValues(const std::vector<std::string>& args,
                                      const std::string& prefix) {
    std::vector<std::string> values;
    for (const auto& arg : args)
        if (arg.compare(0, prefix.size(), prefix) == 0)
            values.push_back(arg.substr(prefix.size()));
    return values;
}

int serve(HApplication& application, HFileSystem& files, const std::vector<std::string>& args) {
    HSplashWindow splash;
    HServiceFactory factory;
    HServer server;
    HEvents events(server);
    HWebBrowser browser(server, events, splash);
    std::vector<std::string> errors;

    const bool noUI = hasArg(args, "noUI");
    const bool noSplash = hasArg(args, "noSplash");
    const bool windowed = application.browser.show != 0 && !noUI;

    if (windowed && !HWebBrowser::isSupported()) {
        HOS::error("Failed to start",
                   {"The required \"graphical display\" is not available",
                    "Start with --noUI to serve the application without a window."},
                   {}, nullptr);
        return -1;
    }

    if (!application.appSplash.empty() && !noUI && !noSplash)
        splash.show(files.file(application.appSplash));

    if (!application.fileSystem.empty() &&
        !server.addFiles(application.appBaseUrl, application.fileSystem, application.appHome,
                         files))
        errors.push_back("CANNOT ADD STATIC FILES:" + application.fileSystem);

    for (const auto& name : application.services) {
        auto service = factory.createInstance(name, server, browser, events);
        if (!service) {
            errors.push_back("CANNOT NOT FOUND SERVICE:" + name);
        } else if (server.startService(service)) {
            HLOG_TRACE("SERVICE STARTED:", name);
        } else {
            factory.deleteInstance(service);
            errors.push_back("CANNOT NOT START SERVICE:" + name);
        }
    }

    for (const auto& origin : optionValues(args, "--allowOrigin:"))
        server.allowOrigin(origin);
    const bool started =
        server.start(application.serverProtocol, application.serverAddress, application.serverPort);
    if (!started && !server.wasInterrupted())
        errors.push_back("CANNOT NOT START HTTP SERVER:" + application.serverAddress +
                         std::to_string(application.serverPort));

    if (!errors.empty()) {
        splash.close();
        server.terminate();
        HOS::error("CANNOT START", errors, args, nullptr);
        return -1;
    }

    if (!started) {
        // Told to quit (SIGINT, SIGTERM) before it served: that is no failure.
        splash.close();
        HLOG_INFO("main::interrupted");
        return 0;
    }

    const std::string url = application.url(server.runningAddress(), server.runningPort());
    if (!windowed) {
        splash.close();
        HLOG_INFO("main::headless::", url);
    } else {
        browser.run(application.title + ":" + std::to_string(server.runningPort()), url,
                    {application.browser.show, application.browser.windowWidth,
                     application.browser.windowHeight});
    }

    HLOG_INFO("main::server::run");
    server.run();
    HLOG_INFO("main::sf.deleteInstances");
    factory.deleteInstances();
    return 0;
}

} // namespace

int appMain(HFileSystem& files, const std::vector<std::string>& args) {
    HApplication application(files);
    HLOG_TRACE("main");
    HOS::init();

    int code = 3;
    if (!application.initialize(args)) {
        HOS::error("CANNOT INITIALIZE APPLICATION", application.errors, args, nullptr);
    } else {
        // A start-up failure has been reported already and writes no "RC:" line.
        code = serve(application, files, args);
        if (code < 0)
            return 3;
    }
    HLOG_INFO("RC:", code);
    return code;
}

int main(int argc, char** argv) {
    const std::vector<std::string> args = fromArgs(argc, argv);
    if (hasArg(args, "help")) {
        std::cout << usage;
        return 0;
    }
    if (hasArg(args, "version")) {
        std::cout << "taviro " << version << '\n';
        return 0;
    }

    std::unique_ptr<HFileSystemPrivate> body;
    const auto folders = optionValues(args, "--folder:");
    if (folders.empty()) {
        body = fileSystem();
    } else {
        std::error_code error;
        if (!std::filesystem::is_directory(folders.front(), error)) {
            std::cerr << "taviro: --folder:" << folders.front() << " is not a folder\n";
            return 3;
        }
        body = std::make_unique<HDiskFileSystem>(folders.front());
    }
    HFileSystem files(std::move(body));

    HLOG_INFO("dbgMain.boost:", BOOST_LIB_VERSION);
    HLOG_INFO("dbgMain.args:", args.size());
    const int code = hasArg(args, "test") ? testMain(files, args) : appMain(files, args);
    HLOG_INFO("dbgMain.exit:", code);
    return code;
}
