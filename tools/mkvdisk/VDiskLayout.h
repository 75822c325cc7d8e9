#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// One record of the disk image as the generator lays it out.
struct VDiskEntry {
    std::uint8_t type; // 1 folder, 2 file
    std::string name;  // "/" + path relative to the image folder, "/" between levels
    std::int64_t offset;
    std::int64_t size;
    std::filesystem::path source;
};

// Walks the folder depth-first: each folder's record before its content, the entries of one folder
// ordered by their upper-cased names, file offsets consecutive in table order.
std::vector<VDiskEntry> layoutImage(const std::filesystem::path& root);

// The concatenated bytes of every file record, in table order.
std::string imageData(const std::vector<VDiskEntry>& entries);
