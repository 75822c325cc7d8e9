#include "HSettings.h"

#include "HLogs.h"

HSettings::HSettings(const std::string& name, HFileSystem& fileSystem)
    : name(name), fileSystem(fileSystem) {
    HLOG_TRACE("HSettings::HSettings");
}

HSettings::~HSettings() {
    HLOG_TRACE("HSettings::~HSettings");
}

boost::json::value HSettings::read(const std::string&) const {
    return nullptr;
}

boost::json::value HSettings::read(const std::string&, const std::string&) const {
    return nullptr;
}

void HSettings::change(const std::string&, const std::string&, const boost::json::value&) {}
