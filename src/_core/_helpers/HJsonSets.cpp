#include "HJsonSets.h"

namespace json = boost::json;

namespace {

bool setElement(json::array& array, int index, json::value value) {
    if (static_cast<std::size_t>(index) >= array.size())
        return false;
    array[static_cast<std::size_t>(index)] = std::move(value);
    return true;
}

} // namespace

bool setString(json::object& object, std::string_view key, std::string_view text) {
    object[key] = text;
    return true;
}

bool setString(json::array& array, int index, std::string_view text) {
    return setElement(array, index, json::string(text));
}

bool setValue(json::object& object, std::string_view key, const json::value& value) {
    object[key] = value;
    return true;
}

bool setValue(json::array& array, int index, const json::value& value) {
    return setElement(array, index, value);
}

bool setInt(json::object& object, std::string_view key, int number) {
    object[key] = number;
    return true;
}

bool setInt(json::array& array, int index, int number) {
    return setElement(array, index, number);
}

bool setArray(json::object& object, std::string_view key, const json::array& value) {
    object[key] = value;
    return true;
}

bool setArray(json::array& array, int index, const json::array& value) {
    return setElement(array, index, value);
}
