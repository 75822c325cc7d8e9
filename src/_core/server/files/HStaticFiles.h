#pragma once

#include <memory>
#include <string>

class HFileSystem;

// A static-file mount: request paths under `baseUrl` map to files under `root`, and `home` is the
// default file for paths that name none.
class HStaticFiles : public std::enable_shared_from_this<HStaticFiles> {
public:
    HStaticFiles(const std::string& baseUrl, const std::string& root, const std::string& home,
                 HFileSystem& fileSystem);

    // `root` followed by the URL path, and by `home` when the URL path is exactly "/".
    std::string path(const std::string& urlPath) const;

    const std::string baseUrl;
    const std::string root;
    const std::string home;
    HFileSystem& fileSystem;
};
