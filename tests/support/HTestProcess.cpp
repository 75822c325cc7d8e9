#include "HTestProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

extern char** environ;

namespace {

[[noreturn]] void failWith(int error, const std::string& what) {
    throw std::system_error(error, std::generic_category(), what);
}

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

std::vector<std::string> buildEnvironment(const HTestProcess::Options& options) {
    std::map<std::string, std::string> variables;
    if (options.inheritEnvironment) {
        for (char** entry = environ; *entry; ++entry) {
            const std::string_view text(*entry);
            const auto equals = text.find('=');
            if (equals != std::string_view::npos) {
                variables[std::string(text.substr(0, equals))] = text.substr(equals + 1);
            }
        }
    }
    for (const auto& [name, value] : options.environment) {
        variables[name] = value;
    }
    std::vector<std::string> entries;
    for (const auto& [name, value] : variables) {
        entries.push_back(name + "=" + value);
    }
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& text : strings) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

// posix_spawn's C handles, released however the start ends.
class HSpawnSetup {
public:
    HSpawnSetup() {
        if (const int rc = posix_spawn_file_actions_init(&actions); rc != 0) {
            failWith(rc, "posix_spawn_file_actions_init");
        }
        if (const int rc = posix_spawnattr_init(&attributes); rc != 0) {
            posix_spawn_file_actions_destroy(&actions);
            failWith(rc, "posix_spawnattr_init");
        }
    }
    ~HSpawnSetup() {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    HSpawnSetup(const HSpawnSetup&) = delete;
    HSpawnSetup& operator=(const HSpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

void check(int rc, const char* what) {
    if (rc != 0) {
        failWith(rc, what);
    }
}

} // namespace

HTestProcess::HTestProcess(Options options) {
    int outPipe[2] = {-1, -1};
    int errPipe[2] = {-1, -1};
    const auto closeAll = [&] {
        for (int* fd : {&outPipe[0], &outPipe[1], &errPipe[0], &errPipe[1], &wakeFd_[0],
                        &wakeFd_[1], &pidFd_}) {
            closeFd(*fd);
        }
    };
    try {
        if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0 ||
            ::pipe2(wakeFd_, O_CLOEXEC) != 0) {
            failWith(errno, "pipe2");
        }
        HSpawnSetup setup;
        check(posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0),
              "redirect stdin");
        check(posix_spawn_file_actions_adddup2(&setup.actions, outPipe[1], 1), "redirect stdout");
        check(posix_spawn_file_actions_adddup2(&setup.actions, errPipe[1], 2), "redirect stderr");
        if (!options.workingDirectory.empty()) {
            check(posix_spawn_file_actions_addchdir_np(&setup.actions,
                                                       options.workingDirectory.c_str()),
                  "working directory");
        }
        // The child must not inherit this test's blocked or ignored signals.
        sigset_t signals;
        sigemptyset(&signals);
        check(posix_spawnattr_setsigmask(&setup.attributes, &signals), "signal mask");
        for (const int number : {SIGINT, SIGTERM, SIGPIPE, SIGHUP}) {
            sigaddset(&signals, number);
        }
        check(posix_spawnattr_setsigdefault(&setup.attributes, &signals), "signal defaults");
        check(posix_spawnattr_setflags(&setup.attributes,
                                       POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF),
              "spawn flags");

        std::vector<std::string> arguments{options.executable};
        arguments.insert(arguments.end(), options.arguments.begin(), options.arguments.end());
        auto environment = buildEnvironment(options);
        auto argv = pointers(arguments);
        auto envp = pointers(environment);
        check(posix_spawn(&pid_, options.executable.c_str(), &setup.actions, &setup.attributes,
                          argv.data(), envp.data()),
              ("spawn " + options.executable).c_str());
        closeFd(outPipe[1]);
        closeFd(errPipe[1]);

        pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
        if (pidFd_ < 0) {
            const int error = errno;
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            failWith(error, "pidfd_open");
        }
        out_.fd = outPipe[0];
        err_.fd = errPipe[0];
        reader_ = std::thread([this] { readOutput(); });
    } catch (...) {
        if (pidFd_ >= 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        out_.fd = err_.fd = -1;
        closeAll();
        throw;
    }
}

HTestProcess::~HTestProcess() {
    if (!exitCode_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    // A grandchild may still hold the pipes open: tell the reader to stop regardless.
    const char wake = 1;
    if (::write(wakeFd_[1], &wake, 1) != 1) {
        closeFd(wakeFd_[1]); // then the reader sees the end of the wake pipe instead
    }
    reader_.join();
    for (int* fd : {&out_.fd, &err_.fd, &wakeFd_[0], &wakeFd_[1], &pidFd_}) {
        closeFd(*fd);
    }
}

void HTestProcess::readOutput() {
    Stream* streams[2] = {&out_, &err_};
    for (;;) {
        pollfd entries[3] = {{out_.fd, POLLIN, 0}, {err_.fd, POLLIN, 0}, {wakeFd_[0], POLLIN, 0}};
        if (out_.fd < 0 && err_.fd < 0) {
            return;
        }
        if (::poll(entries, 3, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (entries[2].revents != 0) {
            return;
        }
        for (int i = 0; i < 2; ++i) {
            if (entries[i].revents == 0) {
                continue;
            }
            char chunk[4096];
            const auto got = ::read(streams[i]->fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            std::lock_guard lock(mutex_);
            if (got > 0) {
                streams[i]->text.append(chunk, static_cast<std::size_t>(got));
            } else {
                streams[i]->ended = true;
                closeFd(streams[i]->fd);
            }
            changed_.notify_all();
        }
    }
}

bool HTestProcess::signal(int number) {
    return !exitCode_ && ::kill(pid_, number) == 0;
}

std::optional<int> HTestProcess::waitExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!exitCode_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd entry{pidFd_, POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::max<long long>(0, left.count())));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return std::nullopt;
        }
        int status = 0;
        if (::waitpid(pid_, &status, 0) != pid_) {
            failWith(errno, "waitpid");
        }
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return exitCode_;
}

std::string HTestProcess::stdoutText() const {
    std::lock_guard lock(mutex_);
    return out_.text;
}

std::string HTestProcess::stderrText() const {
    std::lock_guard lock(mutex_);
    return err_.text;
}

bool HTestProcess::waitForStdout(std::string_view needle, std::chrono::milliseconds timeout) {
    return waitFor(out_, needle, timeout);
}

bool HTestProcess::waitForStderr(std::string_view needle, std::chrono::milliseconds timeout) {
    return waitFor(err_, needle, timeout);
}

bool HTestProcess::waitFor(const Stream& stream, std::string_view needle,
                           std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] {
        return stream.text.find(needle) != std::string::npos || stream.ended;
    });
    return stream.text.find(needle) != std::string::npos;
}
