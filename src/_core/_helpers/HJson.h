#pragma once

#include "HJsonGets.h"
#include "HJsonSets.h"

#include <boost/json.hpp>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A non-owning view over a JSON value, array or object with typed getters. What it points at must
// outlive it. Keyed getters resolve an object (the object viewed, or the value when it holds one),
// indexed getters an array, the same way.
class HJson {
public:
    HJson() = default;
    explicit HJson(const boost::json::value& value);
    explicit HJson(boost::json::value& value);
    explicit HJson(const boost::json::array& array);
    explicit HJson(boost::json::array& array);
    explicit HJson(const boost::json::object& object);
    explicit HJson(boost::json::object& object);

    bool getString(std::string_view key, std::string& out) const;
    bool getString(int index, std::string& out) const;
    bool getString(std::string& out) const;

    bool getInt(std::string_view key, int& out) const;
    bool getInt(int index, int& out) const;
    bool getInt(int& out) const;

    bool getBool(std::string_view key, bool& out) const;
    bool getPtr(std::string_view key, void*& out) const;

    bool getObject(std::string_view key, boost::json::object& out) const;
    bool getObject(int index, boost::json::object& out) const;
    bool getObject(boost::json::object& out) const;

    bool getArray(std::string_view key, boost::json::array& out) const;
    bool getArray(int index, boost::json::array& out) const;
    bool getArray(boost::json::array& out) const;

    // Appends the string elements of the array member; false unless the member is an array.
    bool getList(std::string_view key, std::vector<std::string>& out) const;
    // An object member with integer "width" and "height" (or "x" and "y"); both or nothing.
    bool getSize(std::string_view key, int& width, int& height) const;
    bool getPoint(std::string_view key, int& x, int& y) const;

    // A copy of what the view points at; null for an empty view.
    boost::json::value json() const;
    // Member or element count; -1 for a scalar or an empty view.
    std::int64_t size() const;

    bool setString(std::string_view key, std::string_view text);
    bool setValue(std::string_view key, const boost::json::value& value);
    bool setInt(std::string_view key, int number);
    bool setString(int index, std::string_view text);
    bool setInt(int index, int number);
    bool setValue(int index, const boost::json::value& value);

    // Null on any parse error.
    static boost::json::value parse(std::string_view text);
    static std::string stringify(const boost::json::value& value);
    static boost::json::array toArray(const std::vector<std::string>& list);

private:
    const boost::json::object* object() const;
    const boost::json::array* array() const;
    template <typename Set> bool setMember(Set set);
    template <typename Set> bool setElement(Set set);

    const boost::json::value* valueView = nullptr;
    const boost::json::array* arrayView = nullptr;
    const boost::json::object* objectView = nullptr;
    boost::json::value* writableValue = nullptr;
    boost::json::array* writableArray = nullptr;
    boost::json::object* writableObject = nullptr;
};
