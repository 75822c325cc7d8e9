// HVirtualFileSystem lookup of arbitrary paths over a small table with folders, duplicates,
// an empty file and records that lie outside the blob.
#include "HFileSystem.h"
#include "HVirtualFileSystem.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {

const std::string blob = std::string("{\"a\":1} x") + std::string("z\0z", 3) + "first";
const VFILE table[] = {
    {1, "/applications", 0, 0},  {2, "/applications.json", 0, 7},
    {2, "/trailing.json", 0, 9}, {2, "/zero", 9, 3},
    {2, "/empty", 0, 0},         {2, "/dup", 100, 5},
    {2, "/dup", 12, 5},          {2, "/dup", 0, 1},
    {2, "/negative", -1, 2},     {2, "/huge", 1, INT64_MAX},
    {2, "/a/b/c.html", 12, 5},   {2, "/end", 17, 0},
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const HFileSystem disk(
        std::make_unique<HVirtualFileSystem>(table, static_cast<std::int64_t>(std::size(table)),
                                             reinterpret_cast<const unsigned char*>(blob.data()),
                                             static_cast<std::int64_t>(blob.size())));
    const std::string path(reinterpret_cast<const char*>(data), size);
    const HFile file = disk.file(path);
    disk.absolutePath(path);
    if (file.exists()) {
        // Every byte the handle exposes must lie inside the blob.
        const auto* begin = reinterpret_cast<const unsigned char*>(blob.data());
        const auto* bytes = static_cast<const unsigned char*>(file.data());
        if (file.size() > 0 && (bytes < begin || bytes + file.size() > begin + blob.size()))
            __builtin_trap();
        file.string();
        file.json();
        file.extension();
        file.fullName();
    }
    return 0;
}
