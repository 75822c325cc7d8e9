#pragma once

#include "HTestClient.h"
#include "HTestProcess.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

struct HostOptions {
    // Set on top of the test's own environment.
    std::vector<std::pair<std::string, std::string>> environment;
    // Runs the host as an ordinary user (nobody) instead of this test's user.
    bool asNobody = false;
};

// The real taviro executable over a fixture folder mounted with --folder:.
class Host {
public:
    Host(const std::string& catalogue, const std::map<std::string, std::string>& files,
         std::vector<std::string> arguments, HostOptions options = {}) {
        folder.write("applications.json", catalogue);
        for (const auto& [name, content] : files)
            folder.write(name, content);
        arguments.insert(arguments.begin(), "--folder:" + folder.path.string());
        std::string executable = TAVIRO_EXE;
        if (options.asNobody) {
            arguments.insert(arguments.begin(),
                             {"--reuid=65534", "--regid=65534", "--clear-groups", TAVIRO_EXE});
            executable = "/usr/bin/setpriv";
        }
        // No display unless the test gives one, so that no window or dialog waits for a user.
        std::vector<std::pair<std::string, std::string>> environment{{"DISPLAY", ""},
                                                                     {"WAYLAND_DISPLAY", ""}};
        environment.insert(environment.end(), options.environment.begin(),
                           options.environment.end());
        process = std::make_unique<HTestProcess>(HTestProcess::Options{
            executable, std::move(arguments), std::move(environment), true, ""});
    }

    // Waits for the headless start line and reads the port in use from it.
    bool waitServing() {
        if (!process->waitForStdout("main::headless::", std::chrono::seconds(20)))
            return false;
        std::smatch match;
        const std::string log = process->stdoutText();
        static const std::regex line("main::headless::http://127\\.0\\.0\\.1:([0-9]+)/");
        if (!std::regex_search(log, match, line))
            return false;
        port = static_cast<std::uint16_t>(std::stoi(match[1]));
        return true;
    }

    HTestResponse request(std::string_view method, std::string_view target,
                          const HTestHeaders& headers = {}, std::string_view body = {}) const {
        return httpRequest("127.0.0.1", port, method, target, headers, body);
    }

    std::optional<int> stop(int signal = SIGTERM) {
        process->signal(signal);
        return process->waitExit(std::chrono::seconds(20));
    }

    std::optional<int> waitExit() { return process->waitExit(std::chrono::seconds(20)); }
    // The log lines (standard output) followed by the reports (standard error).
    std::string log() const { return process->stdoutText() + process->stderrText(); }
    std::string out() const { return process->stdoutText(); }

    TempFolder folder;
    std::unique_ptr<HTestProcess> process;
    std::uint16_t port = 0;
};

// A catalogue of one headless application "app" on any free port, with extra members.
inline std::string catalogueWith(const std::string& members) {
    return R"([{"id": "app", "fileSystem": "front", "serverPort": 0)" +
           (members.empty() ? std::string() : ", " + members) + "}]";
}
