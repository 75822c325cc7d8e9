#pragma once

#include "HFileSystem.h"
#include "VDisk.h"

#include <cstdint>

// A file of the image; its bytes are the image's own constant data, never copied.
class HVirtualFile : public HFilePrivate {
public:
    HVirtualFile(std::string name, const unsigned char* data, std::uint64_t size);
    ~HVirtualFile() override = default;
};

// Read-only file system over a directory table and a data blob; neither is copied nor owned.
class HVirtualFileSystem : public HFileSystemPrivate {
public:
    HVirtualFileSystem(const VFILE* table, std::int64_t entries, const unsigned char* data,
                       std::int64_t dataSize);

    // "vDisk:" followed by the path.
    std::string absolutePath(const std::string& path) const override;
    // The first file record whose name is "/" + path and whose bytes lie inside the blob.
    std::shared_ptr<const HFilePrivate> file(const std::string& path) const override;

private:
    const VFILE* table;
    std::int64_t entries;
    const unsigned char* data;
    std::int64_t dataSize;
};
