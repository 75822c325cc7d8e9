#include "HFileManager.h"

#include "HJson.h"
#include "HLogs.h"
#include "platform_folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;
namespace json = boost::json;

namespace {

// Birth time where the file system keeps one, else the modification time.
std::int64_t createdTime(const struct statx& status) {
    if ((status.stx_mask & STATX_BTIME) != 0)
        return status.stx_btime.tv_sec;
    return status.stx_mtime.tv_sec;
}

// The record of one entry; links are followed for times and size.
json::object entry(const fs::path& path, const std::string& type) {
    struct statx status {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME | STATX_SIZE, &status) != 0)
        throw fs::filesystem_error("cannot read times", path,
                                   std::error_code(errno, std::generic_category()));
    json::object record;
    record["name"] = path.filename().string();
    record["type"] = type;
    record["state"] = "ready";
    record["created"] = createdTime(status);
    record["modified"] = static_cast<std::int64_t>(status.stx_mtime.tv_sec);
    if (type == "file")
        record["size"] = static_cast<std::uint64_t>(status.stx_size);
    return record;
}

json::object folder(const fs::path& path) {
    return entry(path, "folder");
}

json::object file(const fs::path& path) {
    return entry(path, "file");
}

} // namespace

bool verifyName(const std::regex& expression, const std::string& name) {
    return std::regex_match(name, expression);
}

bool verifyType(const std::vector<std::string>& types, const std::string& kind) {
    return types.empty() || std::find(types.begin(), types.end(), kind) != types.end();
}

HFileManager::HFileManager() : HService(HServiceRequestType::Direct, "fileManager") {}

void HFileManager::process(const HJson& request, HServerResponse& response,
                           const std::string& requestName) {
    if (requestName == "info")
        info(request, response, requestName);
    else if (requestName == "directory")
        directory(request, response, requestName);
    else if (requestName == "read")
        read(request, response, requestName);
    else if (requestName == "write")
        write(request, response, requestName);
    else
        errorNotImpl(request, response, requestName);
}

json::object HFileManager::specialFolders() {
    json::object folders;
    folders["CONFIG"] = tessel::getConfigHome();
    folders["DATA"] = tessel::getDataHome();
    folders["STATE"] = tessel::getStateDir();
    folders["CACHE"] = tessel::getCacheDir();
    folders["DOCUMENTS"] = tessel::getDocumentsFolder();
    folders["DESKTOP"] = tessel::getDesktopFolder();
    folders["PICTURES"] = tessel::getPicturesFolder();
    folders["MUSIC"] = tessel::getMusicFolder();
    folders["VIDEO"] = tessel::getVideoFolder();
    folders["DOWNLOAD"] = tessel::getDownloadFolder();
    folders["GAMES1"] = tessel::getSaveGamesFolder1();
    folders["GAMES2"] = tessel::getSaveGamesFolder2();
    return folders;
}

void HFileManager::info(const HJson&, HServerResponse& response, const std::string& requestName) {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        throw std::system_error(errno, std::generic_category(), "gethostname");
    json::object record;
    record["name"] = name;
    record["status"] = "ready";
    record["specialFolders"] = specialFolders();
    end(response, 200, record, requestName);
}

void HFileManager::directory(const HJson& request, HServerResponse& response,
                             const std::string& requestName) {
    std::string folderPath;
    json::object filter;
    getParam(request, "folder", folderPath, nullptr);
    getParam(request, "filter", filter, nullptr);
    directory(response, folderPath, filter, requestName);
}

void HFileManager::directory(HServerResponse& response, const std::string& folderPath,
                             const json::object& filter, const std::string& requestName) {
    const HJson filterView(filter);
    std::string pattern;
    const bool named = filterView.getString("nameFilter", pattern);
    const std::regex expression =
        named ? std::regex(pattern, std::regex::ECMAScript) : std::regex();
    std::vector<std::string> types;
    filterView.getList("types", types);

    json::array result;
    if (!folderPath.empty()) {
        if (fs::exists(folderPath)) {
            for (const auto& child : fs::directory_iterator(folderPath)) {
                const fs::path& path = child.path();
                if (named && !verifyName(expression, path.filename().string()))
                    continue;
                try {
                    if (child.is_directory()) {
                        if (verifyType(types, "folder"))
                            result.push_back(folder(path));
                    } else if (child.is_regular_file()) {
                        if (verifyType(types, "file"))
                            result.push_back(file(path));
                    }
                } catch (const std::exception& error) {
                    HLOG_ERROR("HFileManager::directory::", error.what());
                }
            }
        }
    } else if (verifyType(types, "volume")) {
        result = volumes();
    }
    end(response, 200, result, requestName);
}

void HFileManager::read(const HJson& request, HServerResponse& response,
                        const std::string& requestName) {
    echo(request, response, requestName);
}

void HFileManager::write(const HJson& request, HServerResponse& response,
                         const std::string& requestName) {
    std::string error;
    std::string path;
    std::string data;
    if (!getParam(request, "path", path, &error) || !getParam(request, "data", data, &error)) {
        errorParam(request, response, error, requestName);
        return;
    }
    echo(request, response, requestName);
}
