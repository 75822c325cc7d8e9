#pragma once

// Runs an executable for end-to-end tests: its output is captured through pipes, it can be
// signalled, and every wait has a deadline.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <thread>
#include <utility>
#include <vector>

class HTestProcess {
public:
    struct Options {
        std::string executable; // a path; not searched in PATH
        std::vector<std::string> arguments;
        // Set on top of the inherited environment (or of an empty one).
        std::vector<std::pair<std::string, std::string>> environment;
        bool inheritEnvironment = true;
        std::string workingDirectory; // empty: the current one
    };

    explicit HTestProcess(Options options); // throws std::system_error when it cannot start
    // A process still running is killed (SIGKILL) and reaped.
    ~HTestProcess();
    HTestProcess(const HTestProcess&) = delete;
    HTestProcess& operator=(const HTestProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool signal(int number); // false once the process has been reaped
    // The exit code, or 128 + the signal that ended it; nullopt on timeout.
    std::optional<int> waitExit(std::chrono::milliseconds timeout);

    std::string stdoutText() const;
    std::string stderrText() const;
    // True once the stream contains `needle`; false on timeout or when the stream has ended.
    bool waitForStdout(std::string_view needle, std::chrono::milliseconds timeout);
    bool waitForStderr(std::string_view needle, std::chrono::milliseconds timeout);

private:
    struct Stream {
        int fd = -1;
        std::string text;
        bool ended = false;
    };

    void readOutput();
    bool waitFor(const Stream& stream, std::string_view needle, std::chrono::milliseconds timeout);

    pid_t pid_ = -1;
    int pidFd_ = -1;
    int wakeFd_[2] = {-1, -1};
    std::optional<int> exitCode_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Stream out_;
    Stream err_;
    std::thread reader_;
};
