#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

// A folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        path = std::filesystem::temp_directory_path() /
               ("taviro-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path);
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    void write(const std::string& name, const std::string& content) const {
        std::filesystem::create_directories((path / name).parent_path());
        std::ofstream(path / name, std::ios::binary) << content;
    }

    std::filesystem::path path;

private:
    static inline int counter = 0;
};
