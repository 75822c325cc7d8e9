#include "HOS.h"

#include "HLogs.h"

#include <spawn.h>
#include <sys/wait.h>

#include <iostream>

extern char** environ;

void HOS::init() {}

void HOS::error(const std::string& title, const std::vector<std::string>& errors,
                const std::vector<std::string>& args, void*) {
    std::cerr << title << '\n' << details(errors, args) << std::flush;
}

void HOS::navigate(const std::string& address) {
    const char* opener = "xdg-open";
    char* argv[] = {const_cast<char*>(opener), const_cast<char*>(address.c_str()), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, opener, nullptr, nullptr, argv, environ) != 0) {
        HLOG_WARN("HOS::navigate::cannot open:", address);
        return;
    }
    int status = 0;
    waitpid(child, &status, 0);
}
