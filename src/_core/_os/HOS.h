#pragma once

#include <string>
#include <vector>

// Operating-system facing pieces of start-up: the error report and opening an address.
class HOS {
public:
    static void init();
    // Shows the report and returns once it is dismissed. `handle` is an owner window, or null.
    static void error(const std::string& title, const std::vector<std::string>& errors,
                      const std::vector<std::string>& args, void* handle);
    // Shows the page at the address in the user's browser.
    static void navigate(const std::string& address);
    // The report body: a "DETAILS:" and an "ARGS:" section, each only when it has lines.
    static std::string details(const std::vector<std::string>& errors,
                               const std::vector<std::string>& args);
};
