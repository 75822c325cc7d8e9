#pragma once

#include <boost/json.hpp>

#include <string>
#include <string_view>

// Setters over bare JSON. The indexed forms replace an existing element and answer false for an
// index past the end.

bool setString(boost::json::object& object, std::string_view key, std::string_view text);
bool setString(boost::json::array& array, int index, std::string_view text);

bool setValue(boost::json::object& object, std::string_view key, const boost::json::value& value);
bool setValue(boost::json::array& array, int index, const boost::json::value& value);

bool setInt(boost::json::object& object, std::string_view key, int number);
bool setInt(boost::json::array& array, int index, int number);

bool setArray(boost::json::object& object, std::string_view key, const boost::json::array& value);
bool setArray(boost::json::array& array, int index, const boost::json::array& value);
