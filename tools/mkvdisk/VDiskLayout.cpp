#include "VDiskLayout.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

void walk(const fs::path& folder, const std::string& prefix, std::vector<VDiskEntry>& entries,
          std::int64_t& offset) {
    std::vector<fs::directory_entry> children(fs::directory_iterator(folder), {});
    // The plain name breaks ties between names that differ only in case, so that builds repeat.
    std::sort(children.begin(), children.end(), [](const auto& a, const auto& b) {
        const auto nameA = a.path().filename().string();
        const auto nameB = b.path().filename().string();
        const auto upperA = upper(nameA);
        const auto upperB = upper(nameB);
        return upperA != upperB ? upperA < upperB : nameA < nameB;
    });
    for (const auto& child : children) {
        const std::string name = prefix + "/" + child.path().filename().string();
        if (child.is_directory()) {
            entries.push_back({1, name, 0, 0, child.path()});
            walk(child.path(), name, entries, offset);
        } else if (child.is_regular_file()) {
            const auto size = static_cast<std::int64_t>(child.file_size());
            entries.push_back({2, name, offset, size, child.path()});
            offset += size;
        }
    }
}

} // namespace

std::vector<VDiskEntry> layoutImage(const fs::path& root) {
    if (!fs::is_directory(root))
        throw std::runtime_error("not a folder: " + root.string());
    std::vector<VDiskEntry> entries;
    std::int64_t offset = 0;
    walk(root, "", entries, offset);
    return entries;
}

std::string imageData(const std::vector<VDiskEntry>& entries) {
    std::string data;
    for (const auto& entry : entries) {
        if (entry.type != 2)
            continue;
        std::ifstream stream(entry.source, std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
        if (!stream.good() && !stream.eof())
            throw std::runtime_error("cannot read " + entry.source.string());
        if (static_cast<std::int64_t>(bytes.size()) != entry.size)
            throw std::runtime_error("changed while reading: " + entry.source.string());
        data += bytes;
    }
    return data;
}
