#pragma once

#include <string>

class HServer;

// What the rest of the host asks of the running server: has it come up, is it still running,
// stop it. `isRunning` and `terminate` are safe from any thread.
class HServerMonitor {
public:
    explicit HServerMonitor(HServer& server);
    HServerMonitor(const HServerMonitor&) = delete;
    HServerMonitor& operator=(const HServerMonitor&) = delete;

    // True once the server answers its own "/version" with its own version text.
    bool waitForReady(int milliseconds);
    bool isRunning();
    bool isAlive();
    // Whether a started server has stopped since; answers at once.
    bool hasStopped();
    void terminate();

private:
    HServer& server;
};

// One HTTP/1.1 GET; the body whatever the status, or "" on any failure.
std::string httpGet(const std::string& host, const std::string& port, const std::string& target);
