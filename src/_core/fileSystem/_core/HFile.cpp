#include "HFile.h"

#include "HJson.h"
#include "HLogs.h"

#include <new>

HFilePrivate::HFilePrivate(std::string name, const unsigned char* data, std::uint64_t size,
                           bool isFile, bool isFolder)
    : name(std::move(name)), size(size), data(data), isFile(isFile), isFolder(isFolder) {}

HFilePrivate::~HFilePrivate() = default;

HFile::HFile(std::shared_ptr<const HFilePrivate> body) : body(std::move(body)) {
    HLOG_TRACE("HFile::HFile");
}

std::uint64_t HFile::size() const {
    return body ? body->size : 0;
}

bool HFile::isFile() const {
    return body && body->isFile;
}

bool HFile::isFolder() const {
    return body && body->isFolder;
}

std::string HFile::fullName() const {
    return body ? body->name : std::string();
}

std::string HFile::extension() const {
    return body ? fileExtension(body->name) : std::string();
}

const unsigned char* HFile::data() const {
    return body ? body->data : nullptr;
}

std::string HFile::string() const {
    if (!body || body->size == 0)
        return {};
    try {
        return std::string(reinterpret_cast<const char*>(body->data), body->size);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

boost::json::value HFile::json() const {
    return HJson::parse(string());
}

std::string fileExtension(const std::string& name) {
    // A name without "." is its own extension: npos counts as "after position 0".
    const auto dot = name.rfind('.');
    if (dot == 0)
        return {};
    return name.substr(dot == std::string::npos ? 0 : dot + 1);
}
