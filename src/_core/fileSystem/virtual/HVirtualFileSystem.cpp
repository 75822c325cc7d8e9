#include "HVirtualFileSystem.h"

#include "HLogs.h"

#include <exception>
#include <string_view>

HVirtualFile::HVirtualFile(std::string name, const unsigned char* data, std::uint64_t size)
    : HFilePrivate(std::move(name), data, size, true, false) {
    HLOG_TRACE("HVirtualFile::HVirtualFile::", this->name, ":", size);
}

HVirtualFileSystem::HVirtualFileSystem(const VFILE* table, std::int64_t entries,
                                       const unsigned char* data, std::int64_t dataSize)
    : table(table), entries(entries), data(data), dataSize(dataSize) {}

std::string HVirtualFileSystem::absolutePath(const std::string& path) const {
    return "vDisk:" + path;
}

namespace {

void logRecord(std::int64_t index, const VFILE& record) {
    HLOG_ERROR("HVirtualFileSystem::file.idx ::", index);
    HLOG_ERROR("HVirtualFileSystem::file.type::", static_cast<int>(record.type));
    HLOG_ERROR("HVirtualFileSystem::file.name::", record.name != nullptr ? record.name : "");
}

// Written so that a huge offset or size cannot overflow the sum.
bool insideBlob(const VFILE& record, std::int64_t dataSize) {
    return record.offset >= 0 && record.size >= 0 && record.offset <= dataSize &&
           record.size <= dataSize - record.offset;
}

} // namespace

std::shared_ptr<const HFilePrivate> HVirtualFileSystem::file(const std::string& path) const {
    const std::string key = "/" + path;
    HLOG_TRACE("HVirtualFileSystem::file::entries:", entries, ",dataSize:", dataSize);
    for (std::int64_t index = 0; index < entries; ++index) {
        const VFILE& record = table[index];
        if (record.type != VFILE_FILE)
            continue;
        try {
            if (record.name == nullptr || record.name[0] == '\0') {
                logRecord(index, record);
                continue;
            }
            // Whole-string comparison: a path with a zero byte inside must not match its prefix.
            if (std::string_view(record.name) != key)
                continue;
            HLOG_TRACE("HVirtualFileSystem::file::found::", path);
            if (!insideBlob(record, dataSize))
                continue;
            auto found = std::make_shared<HVirtualFile>(key, data + record.offset,
                                                        static_cast<std::uint64_t>(record.size));
            HLOG_TRACE("HVirtualFileSystem::file::return");
            return found;
        } catch (const std::exception& error) {
            HLOG_ERROR("HVirtualFileSystem::file.err ::", error.what());
            logRecord(index, record);
        }
    }
    return nullptr;
}
