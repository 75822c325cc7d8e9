#pragma once

#include <boost/json.hpp>

#include <string>
#include <string_view>

// Typed getters over bare JSON. Each answers false and leaves `out` untouched for a missing
// member, an index past the end or a value of another kind.

bool getString(const boost::json::value& value, std::string& out);
bool getString(const boost::json::object& object, std::string_view key, std::string& out);
bool getString(const boost::json::array& array, int index, std::string& out);

// Only the int64 kind; the low 32 bits of the number.
bool getInt(const boost::json::value& value, int& out);
bool getInt(const boost::json::object& object, std::string_view key, int& out);
bool getInt(const boost::json::array& array, int index, int& out);

bool getBool(const boost::json::value& value, bool& out);
bool getBool(const boost::json::object& object, std::string_view key, bool& out);

// A string read as a hexadecimal number; throws when it holds no hex digit or overflows.
bool getPtr(const boost::json::value& value, void*& out);
bool getPtr(const boost::json::object& object, std::string_view key, void*& out);

bool getObject(const boost::json::value& value, boost::json::object& out);
bool getObject(const boost::json::object& object, std::string_view key, boost::json::object& out);
bool getObject(const boost::json::array& array, int index, boost::json::object& out);

bool getArray(const boost::json::value& value, boost::json::array& out);
bool getArray(const boost::json::object& object, std::string_view key, boost::json::array& out);
bool getArray(const boost::json::array& array, int index, boost::json::array& out);
