#pragma once

#include <cstdint>

// One record of the embedded disk's directory table.
struct VFILE {
    std::uint8_t type; // 1 folder, 2 file
    const char* name;  // absolute path inside the image, such as "/applications.json"
    std::int64_t offset;
    std::int64_t size;
};

inline constexpr std::uint8_t VFILE_FOLDER = 1;
inline constexpr std::uint8_t VFILE_FILE = 2;

// The image linked into the executable; generated from the image folder at build time.
extern const VFILE vDiskFAT[];
extern const int vDiskEntries;
extern "C" const unsigned char vDiskData[];
extern const int vDiskSize;
