#pragma once

#include "HFileSystem.h"

#include <cstdint>
#include <memory>

// A file read from disk; owns its bytes.
class HDiskFile : public HFilePrivate {
public:
    HDiskFile(std::string name, std::unique_ptr<unsigned char[]> buffer, std::uint64_t size);
    // An empty file: its data points at a shared zero buffer, never null.
    explicit HDiskFile(std::string name);

private:
    std::unique_ptr<unsigned char[]> buffer;
};

// Read-only file system over a folder on disk. Paths never leave the folder: a path with a ".."
// segment or a zero byte names no file.
class HDiskFileSystem : public HFileSystemPrivate {
public:
    explicit HDiskFileSystem(std::string root);

    std::string absolutePath(const std::string& path) const override;
    std::shared_ptr<const HFilePrivate> file(const std::string& path) const override;

private:
    std::string root;
};

// The root, a "/" unless the path begins with one, and the path.
std::string fullPath(const std::string& root, const std::string& path);
