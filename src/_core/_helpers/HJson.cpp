#include "HJson.h"

namespace json = boost::json;

HJson::HJson(const json::value& value) : valueView(&value) {}
HJson::HJson(json::value& value) : valueView(&value), writableValue(&value) {}
HJson::HJson(const json::array& array) : arrayView(&array) {}
HJson::HJson(json::array& array) : arrayView(&array), writableArray(&array) {}
HJson::HJson(const json::object& object) : objectView(&object) {}
HJson::HJson(json::object& object) : objectView(&object), writableObject(&object) {}

const json::object* HJson::object() const {
    if (objectView != nullptr)
        return objectView;
    if (valueView != nullptr && valueView->is_object())
        return &valueView->get_object();
    return nullptr;
}

const json::array* HJson::array() const {
    if (arrayView != nullptr)
        return arrayView;
    if (valueView != nullptr && valueView->is_array())
        return &valueView->get_array();
    return nullptr;
}

bool HJson::getString(std::string_view key, std::string& out) const {
    const json::object* resolved = object();
    return resolved != nullptr && ::getString(*resolved, key, out);
}

bool HJson::getString(int index, std::string& out) const {
    const json::array* resolved = array();
    return resolved != nullptr && ::getString(*resolved, index, out);
}

bool HJson::getString(std::string& out) const {
    return valueView != nullptr && ::getString(*valueView, out);
}

bool HJson::getInt(std::string_view key, int& out) const {
    const json::object* resolved = object();
    return resolved != nullptr && ::getInt(*resolved, key, out);
}

bool HJson::getInt(int index, int& out) const {
    const json::array* resolved = array();
    return resolved != nullptr && ::getInt(*resolved, index, out);
}

bool HJson::getInt(int& out) const {
    return valueView != nullptr && ::getInt(*valueView, out);
}

bool HJson::getBool(std::string_view key, bool& out) const {
    const json::object* resolved = object();
    return resolved != nullptr && ::getBool(*resolved, key, out);
}

bool HJson::getPtr(std::string_view key, void*& out) const {
    const json::object* resolved = object();
    return resolved != nullptr && ::getPtr(*resolved, key, out);
}

bool HJson::getObject(std::string_view key, json::object& out) const {
    const json::object* resolved = object();
    return resolved != nullptr && ::getObject(*resolved, key, out);
}

bool HJson::getObject(int index, json::object& out) const {
    const json::array* resolved = array();
    return resolved != nullptr && ::getObject(*resolved, index, out);
}

bool HJson::getObject(json::object& out) const {
    const json::object* resolved = object();
    if (resolved == nullptr)
        return false;
    out = *resolved;
    return true;
}

bool HJson::getArray(std::string_view key, json::array& out) const {
    const json::object* resolved = object();
    return resolved != nullptr && ::getArray(*resolved, key, out);
}

bool HJson::getArray(int index, json::array& out) const {
    const json::array* resolved = array();
    return resolved != nullptr && ::getArray(*resolved, index, out);
}

bool HJson::getArray(json::array& out) const {
    const json::array* resolved = array();
    if (resolved == nullptr)
        return false;
    out = *resolved;
    return true;
}

bool HJson::getList(std::string_view key, std::vector<std::string>& out) const {
    const json::object* resolved = object();
    if (resolved == nullptr)
        return false;
    auto found = resolved->find(key);
    if (found == resolved->end() || !found->value().is_array())
        return false;
    for (const json::value& element : found->value().get_array()) {
        std::string text;
        if (::getString(element, text))
            out.push_back(std::move(text));
    }
    return true;
}

namespace {

bool getPair(const json::object* object, std::string_view key, std::string_view first,
             std::string_view second, int& firstOut, int& secondOut) {
    if (object == nullptr)
        return false;
    auto found = object->find(key);
    if (found == object->end() || !found->value().is_object())
        return false;
    const json::object& pair = found->value().get_object();
    int a = 0;
    int b = 0;
    if (!::getInt(pair, first, a) || !::getInt(pair, second, b))
        return false;
    firstOut = a;
    secondOut = b;
    return true;
}

} // namespace

bool HJson::getSize(std::string_view key, int& width, int& height) const {
    return getPair(object(), key, "width", "height", width, height);
}

bool HJson::getPoint(std::string_view key, int& x, int& y) const {
    return getPair(object(), key, "x", "y", x, y);
}

json::value HJson::json() const {
    if (valueView != nullptr)
        return *valueView;
    if (arrayView != nullptr)
        return *arrayView;
    if (objectView != nullptr)
        return *objectView;
    return nullptr;
}

std::int64_t HJson::size() const {
    if (objectView != nullptr)
        return static_cast<std::int64_t>(objectView->size());
    if (arrayView != nullptr)
        return static_cast<std::int64_t>(arrayView->size());
    if (valueView != nullptr && valueView->is_object())
        return static_cast<std::int64_t>(valueView->get_object().size());
    if (valueView != nullptr && valueView->is_array())
        return static_cast<std::int64_t>(valueView->get_array().size());
    return -1;
}

// Writes into the object viewed, or into a value that holds an object.
template <typename Set> bool HJson::setMember(Set set) {
    if (writableObject != nullptr)
        return set(*writableObject);
    if (writableValue != nullptr && writableValue->is_object())
        return set(writableValue->get_object());
    return false;
}

template <typename Set> bool HJson::setElement(Set set) {
    if (writableArray != nullptr)
        return set(*writableArray);
    if (writableValue != nullptr && writableValue->is_array())
        return set(writableValue->get_array());
    return false;
}

bool HJson::setString(std::string_view key, std::string_view text) {
    return setMember([&](json::object& target) { return ::setString(target, key, text); });
}

bool HJson::setValue(std::string_view key, const json::value& value) {
    return setMember([&](json::object& target) { return ::setValue(target, key, value); });
}

bool HJson::setInt(std::string_view key, int number) {
    return setMember([&](json::object& target) { return ::setInt(target, key, number); });
}

bool HJson::setString(int index, std::string_view text) {
    return setElement([&](json::array& target) { return ::setString(target, index, text); });
}

bool HJson::setInt(int index, int number) {
    return setElement([&](json::array& target) { return ::setInt(target, index, number); });
}

bool HJson::setValue(int index, const json::value& value) {
    return setElement([&](json::array& target) { return ::setValue(target, index, value); });
}

json::value HJson::parse(std::string_view text) {
    json::stream_parser parser;
    boost::system::error_code error;
    parser.write(text.data(), text.size(), error);
    if (error)
        return nullptr;
    parser.finish(error);
    if (error)
        return nullptr;
    return parser.release();
}

std::string HJson::stringify(const json::value& value) {
    return json::serialize(value);
}

json::array HJson::toArray(const std::vector<std::string>& list) {
    json::array array;
    array.reserve(list.size());
    for (const auto& entry : list)
        array.emplace_back(entry);
    return array;
}
