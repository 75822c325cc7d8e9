#include "HOS.h"

#include "HLogs.h"

std::string HOS::details(const std::vector<std::string>& errors,
                         const std::vector<std::string>& args) {
    std::string body;
    if (!errors.empty())
        body += "DETAILS:\n" + join(errors) + "\n";
    if (!args.empty())
        body += "ARGS:\n" + join(args) + "\n";
    return body;
}
