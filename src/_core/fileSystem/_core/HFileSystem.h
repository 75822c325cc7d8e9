#pragma once

#include "HFile.h"

#include <memory>
#include <string>

// Body of one read-only file-system back end.
class HFileSystemPrivate {
public:
    HFileSystemPrivate();
    HFileSystemPrivate(const HFileSystemPrivate&) = delete;
    HFileSystemPrivate& operator=(const HFileSystemPrivate&) = delete;
    virtual ~HFileSystemPrivate();

    // A readable absolute form of the path, for log lines.
    virtual std::string absolutePath(const std::string& path) const = 0;
    // The loaded file, or null when there is no such file.
    virtual std::shared_ptr<const HFilePrivate> file(const std::string& path) const = 0;
};

// Handle on exactly one back end, which it owns. Safe to use from several threads.
class HFileSystem {
public:
    explicit HFileSystem(std::unique_ptr<HFileSystemPrivate> body);
    HFileSystem(const HFileSystem&) = delete;
    HFileSystem& operator=(const HFileSystem&) = delete;
    ~HFileSystem();

    std::string absolutePath(const std::string& path) const;
    HFile file(const std::string& path) const;

private:
    std::unique_ptr<HFileSystemPrivate> body;
};
