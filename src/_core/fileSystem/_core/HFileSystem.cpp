#include "HFileSystem.h"

#include "HLogs.h"

HFileSystemPrivate::HFileSystemPrivate() {
    HLOG_TRACE("HFileSystemPrivate::HFileSystemPrivate");
}

HFileSystemPrivate::~HFileSystemPrivate() {
    HLOG_TRACE("HFileSystemPrivate::~HFileSystemPrivate");
}

HFileSystem::HFileSystem(std::unique_ptr<HFileSystemPrivate> body) : body(std::move(body)) {
    HLOG_TRACE("HFileSystem::HFileSystem");
}

HFileSystem::~HFileSystem() {
    HLOG_TRACE("HFileSystem::~HFileSystem");
}

std::string HFileSystem::absolutePath(const std::string& path) const {
    return body->absolutePath(path);
}

HFile HFileSystem::file(const std::string& path) const {
    HLOG_TRACE("HFileSystem::file::", path);
    return HFile(body->file(path));
}
