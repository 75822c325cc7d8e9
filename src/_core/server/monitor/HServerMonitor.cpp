#include "HServerMonitor.h"

#include "HLogs.h"
#include "HServer.h"

#include <chrono>

using namespace std::chrono_literals;

namespace {

const char* statusText(std::future_status status) {
    switch (status) {
    case std::future_status::ready:
        return "ready";
    case std::future_status::timeout:
        return "timeout";
    case std::future_status::deferred:
        return "deferred";
    }
    return "";
}

} // namespace

HServerMonitor::HServerMonitor(HServer& server) : server(server) {}

bool HServerMonitor::waitForReady(int milliseconds) {
    if (!server.serverTask.valid())
        return false;
    for (; milliseconds >= 0; milliseconds -= 100) {
        // The framework says at once when it listens or has failed, so a server that binds at
        // once is probed at once instead of after a fixed step.
        const auto started = server.app.waitStarted(100ms);
        const auto status =
            server.serverTask.wait_for(started == HHttpApp::Start::failed ? 100ms : 0ms);
        HLOG_TRACE("HServerMonitor::waitForReady::", statusText(status));
        if (status == std::future_status::ready)
            return false;
        const std::string body = httpGet(server.address, std::to_string(server.port), "/version");
        if (body == server.version)
            return true;
        if (!body.empty())
            return false;
    }
    return false;
}

bool HServerMonitor::isRunning() {
    if (!server.serverTask.valid())
        return false;
    return server.serverTask.wait_for(100ms) != std::future_status::ready;
}

bool HServerMonitor::hasStopped() {
    return server.serverTask.valid() &&
           server.serverTask.wait_for(0ms) == std::future_status::ready;
}

bool HServerMonitor::isAlive() {
    return isRunning() && waitForReady(500);
}

void HServerMonitor::terminate() {
    if (isRunning())
        server.app.stop();
}
