#include "HFile.h"
#include "HFileSystem.h"
#include "HLogs.h"
#include "HServer.h"
#include "HServerResponse.h"
#include "HStaticFiles.h"

#include <boost/algorithm/string/split.hpp>

namespace json = boost::json;

void splitUrl(const std::string& url, std::string& path, std::vector<std::string>& params) {
    const auto mark = url.find('?');
    if (mark == std::string::npos) {
        path = url;
        return;
    }
    path = url.substr(0, mark);
    params.clear();
    const std::string query = url.substr(mark + 1);
    boost::algorithm::split(params, query, [](char c) { return c == '&'; });
}

json::object fileDetails(const std::string& url) {
    json::object details;
    details["url"] = url;
    return details;
}

std::string contentType(const std::string& extension) {
    static const std::pair<const char*, const char*> types[] = {
        {"htm", "text/html"},
        {"html", "text/html"},
        {"php", "text/html"},
        {"css", "text/css"},
        {"txt", "text/plain"},
        {"js", "application/javascript"},
        // Browsers load module scripts and stream-compile WebAssembly only with these types.
        {"mjs", "text/javascript"},
        {"wasm", "application/wasm"},
        {"json", "application/json"},
        {"xml", "application/xml"},
        {"swf", "application/x-shockwave-flash"},
        {"flv", "video/x-flv"},
        {"png", "image/png"},
        {"jpe", "image/jpeg"},
        {"jpeg", "image/jpeg"},
        {"jpg", "image/jpeg"},
        {"gif", "image/gif"},
        {"bmp", "image/bmp"},
        {"ico", "image/vnd.microsoft.icon"},
        {"tiff", "image/tiff"},
        {"tif", "image/tiff"},
        {"svg", "image/svg+xml"},
        {"svgz", "image/svg+xml"},
    };
    for (const auto& [known, type] : types)
        if (extension == known)
            return type;
    return "application/text";
}

void processFile(HServerResponse& response, const HFile& file) {
    response.setContentType(contentType(file.extension()));
    response.write(file);
    response.end(200);
}

void HServer::processGet(HServerResponse& response, const std::string& path) {
    std::lock_guard lock(filesMutex);
    HLOG_TRACE("HServer::processFile::", path, ";Files:", staticFiles.size());
    std::string urlPath;
    std::vector<std::string> params;
    splitUrl(path, urlPath, params);
    for (const auto& mount : staticFiles) {
        HLOG_TRACE("HServer::processFile::fileSystem::", mount->baseUrl);
        if (urlPath.compare(0, mount->baseUrl.size(), mount->baseUrl) != 0)
            continue;
        std::string fsPath = mount->path(urlPath);
        HFile file = mount->fileSystem.file(fsPath);
        if (!file.exists() && !mount->home.empty()) {
            fsPath = mount->path(mount->home);
            file = mount->fileSystem.file(fsPath);
            HLOG_WARN("HServer::processFile.defaultFile:fsPath::", fsPath,
                      "::absolutePath::", mount->fileSystem.absolutePath(fsPath));
        }
        if (file.exists()) {
            HLOG_TRACE("HServer::processFile:processFile:", urlPath);
            processFile(response, file);
            return;
        }
    }
    response.error(404, "HTTP_FILENOTFOUND", "FILE NOT FOUND", fileDetails(path));
}
