#include "HFileManager.h"

#include <sys/statvfs.h>

#include <fstream>
#include <set>
#include <sstream>

namespace json = boost::json;

namespace {

// /proc/self/mounts writes blanks and a few other characters as octal escapes.
std::string unescape(const std::string& field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            text += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

} // namespace

// The file systems that hold the user's data: those mounted from a block device, and the root.
json::array HFileManager::volumes() {
    json::array result;
    std::set<std::string> seen;
    std::ifstream mounts("/proc/self/mounts");
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string device;
        std::string mountPoint;
        std::string fileSystem;
        if (!(fields >> device >> mountPoint >> fileSystem))
            continue;
        mountPoint = unescape(mountPoint);
        if ((device.rfind("/dev/", 0) != 0 && mountPoint != "/") || !seen.insert(mountPoint).second)
            continue;
        struct statvfs status {};
        if (statvfs(mountPoint.c_str(), &status) != 0)
            continue;
        const auto slash = mountPoint.find_last_of('/');
        json::object volume;
        volume["name"] = mountPoint == "/" ? "/" : mountPoint.substr(slash + 1);
        volume["type"] = "volume";
        volume["state"] = "ready";
        volume["path"] = mountPoint;
        volume["fileSystem"] = fileSystem;
        volume["size"] = static_cast<std::uint64_t>(status.f_blocks) * status.f_frsize;
        volume["free"] = static_cast<std::uint64_t>(status.f_bavail) * status.f_frsize;
        result.push_back(std::move(volume));
    }
    return result;
}
