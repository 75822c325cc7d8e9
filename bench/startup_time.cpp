// Time from exec of taviro until its first answered GET /version, over many runs.
// Usage: startup_time TAVIRO PORT RUNS ARGS...

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace {

bool versionAnswered(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool answered = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request =
            "GET /version HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
            "\r\nConnection: close\r\n\r\n";
        if (::write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
            std::string reply;
            char chunk[1024];
            ssize_t got = 0;
            while ((got = ::read(fd, chunk, sizeof chunk)) > 0)
                reply.append(chunk, static_cast<std::size_t>(got));
            answered = reply.find("\r\n\r\n0.0.1") != std::string::npos;
        }
    }
    ::close(fd);
    return answered;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: startup_time TAVIRO PORT RUNS ARGS...\n");
        return 2;
    }
    const int port = std::stoi(argv[2]);
    const int runs = std::stoi(argv[3]);
    std::vector<char*> arguments{argv[1]};
    for (int i = 4; i < argc; ++i)
        arguments.push_back(argv[i]);
    arguments.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        pid_t child = 0;
        if (posix_spawn(&child, argv[1], &actions, nullptr, arguments.data(), environ) != 0) {
            std::perror("posix_spawn");
            return 1;
        }
        while (!versionAnswered(port)) {
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(10)) {
                std::fprintf(stderr, "taviro did not answer within 10 s\n");
                ::kill(child, SIGKILL);
                return 1;
            }
            ::usleep(200);
        }
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        ::kill(child, SIGTERM);
        int status = 0;
        ::waitpid(child, &status, 0);
    }
    std::sort(times.begin(), times.end());
    std::printf(
        "startup to first GET /version: median %.1f ms, min %.1f ms, p90 %.1f ms (%d runs)\n",
        times[times.size() / 2], times.front(), times[times.size() * 9 / 10], runs);
    return 0;
}
