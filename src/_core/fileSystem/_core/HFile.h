#pragma once

#include <boost/json/value.hpp>

#include <cstdint>
#include <memory>
#include <string>

// Body of one loaded file; the bytes are owned by the derived class and never change.
class HFilePrivate {
public:
    HFilePrivate(std::string name, const unsigned char* data, std::uint64_t size, bool isFile,
                 bool isFolder);
    HFilePrivate(const HFilePrivate&) = delete;
    HFilePrivate& operator=(const HFilePrivate&) = delete;
    virtual ~HFilePrivate() = 0;

    const std::string name;
    const std::uint64_t size;
    const unsigned char* const data;
    const bool isFile;
    const bool isFolder;
};

// A shared, immutable handle on a fully loaded file; an empty handle means no such file.
class HFile {
public:
    HFile() = default;
    explicit HFile(std::shared_ptr<const HFilePrivate> body);

    bool exists() const { return body != nullptr; }
    std::uint64_t size() const;
    bool isFile() const;
    bool isFolder() const;
    std::string fullName() const;
    std::string extension() const;
    const unsigned char* data() const;
    // The whole content, zero bytes kept.
    std::string string() const;
    // The content parsed as one JSON value; null when missing or malformed.
    boost::json::value json() const;
    // Keeps the bytes alive, for readers that outlive this handle.
    const std::shared_ptr<const HFilePrivate>& owner() const { return body; }

private:
    std::shared_ptr<const HFilePrivate> body;
};

// The text after the last "." of the whole name; the whole name when there is no ".".
std::string fileExtension(const std::string& name);
