#include "HStaticFiles.h"

HStaticFiles::HStaticFiles(const std::string& baseUrl, const std::string& root,
                           const std::string& home, HFileSystem& fileSystem)
    : baseUrl(baseUrl), root(root), home(home), fileSystem(fileSystem) {}

std::string HStaticFiles::path(const std::string& urlPath) const {
    return urlPath == "/" ? root + urlPath + home : root + urlPath;
}
