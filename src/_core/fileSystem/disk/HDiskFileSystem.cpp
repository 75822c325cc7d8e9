#include "HDiskFileSystem.h"

#include <filesystem>
#include <fstream>
#include <new>

namespace fs = std::filesystem;

namespace {

const unsigned char zeroFileData[1] = {0};

bool leavesRoot(const std::string& path) {
    if (path.find('\0') != std::string::npos)
        return true;
    std::size_t start = 0;
    while (start <= path.size()) {
        const auto end = path.find('/', start);
        const auto segment = path.substr(start, end == std::string::npos ? end : end - start);
        if (segment == "..")
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

} // namespace

HDiskFile::HDiskFile(std::string name, std::unique_ptr<unsigned char[]> buffer, std::uint64_t size)
    : HFilePrivate(std::move(name), buffer.get(), size, true, false), buffer(std::move(buffer)) {}

HDiskFile::HDiskFile(std::string name)
    : HFilePrivate(std::move(name), zeroFileData, 0, true, false) {}

HDiskFileSystem::HDiskFileSystem(std::string root) : root(std::move(root)) {}

std::string fullPath(const std::string& root, const std::string& path) {
    if (!path.empty() && path.front() == '/')
        return root + path;
    return root + "/" + path;
}

std::string HDiskFileSystem::absolutePath(const std::string& path) const {
    return fullPath(root, path);
}

std::shared_ptr<const HFilePrivate> HDiskFileSystem::file(const std::string& path) const {
    if (leavesRoot(path))
        return nullptr;
    const fs::path full = fullPath(root, path);
    std::error_code error;
    if (!fs::is_regular_file(full, error))
        return nullptr;
    const auto size = fs::file_size(full, error);
    if (error)
        return nullptr;
    if (size == 0)
        return std::make_shared<HDiskFile>(path);

    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size]);
    if (!buffer)
        return nullptr;
    std::ifstream stream(full, std::ios::binary);
    if (!stream)
        return nullptr;
    stream.read(reinterpret_cast<char*>(buffer.get()), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(stream.gcount()) != size)
        return nullptr;
    return std::make_shared<HDiskFile>(path, std::move(buffer), size);
}
