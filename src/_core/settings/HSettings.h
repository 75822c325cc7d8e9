#pragma once

#include <boost/json/value.hpp>

#include <string>

class HFileSystem;

// A named settings store. Nothing is stored on this platform: reads give null.
class HSettings {
public:
    HSettings(const std::string& name, HFileSystem& fileSystem);
    HSettings(const HSettings&) = delete;
    HSettings& operator=(const HSettings&) = delete;
    ~HSettings();

    boost::json::value read(const std::string& key) const;
    boost::json::value read(const std::string& section, const std::string& key) const;
    void change(const std::string& section, const std::string& key,
                const boost::json::value& value);

private:
    std::string name;
    [[maybe_unused]] HFileSystem& fileSystem;
};
