#include "HJsonGets.h"

#include "HLogs.h"

#include <cstdint>
#include <cstring>

namespace json = boost::json;

namespace {

// A value of another kind than asked for is worth a trace line; null is simply absent.
void traceKind(const json::value& value) {
    if (!value.is_null())
        HLOG_TRACE(json::to_string(value.kind()));
}

const json::value* member(const json::object& object, std::string_view key) {
    auto found = object.find(key);
    return found == object.end() ? nullptr : &found->value();
}

const json::value* element(const json::array& array, int index) {
    return static_cast<std::size_t>(index) < array.size() ? &array[static_cast<std::size_t>(index)]
                                                          : nullptr;
}

template <typename Out>
bool getMember(const json::object& object, std::string_view key, Out& out,
               bool (*get)(const json::value&, Out&)) {
    const json::value* value = member(object, key);
    return value != nullptr && get(*value, out);
}

template <typename Out>
bool getElement(const json::array& array, int index, Out& out,
                bool (*get)(const json::value&, Out&)) {
    const json::value* value = element(array, index);
    return value != nullptr && get(*value, out);
}

} // namespace

bool getString(const json::value& value, std::string& out) {
    if (!value.is_string())
        return false;
    const json::string& text = value.get_string();
    out.assign(text.data(), strnlen(text.data(), text.size()));
    return true;
}

bool getString(const json::object& object, std::string_view key, std::string& out) {
    return getMember<std::string>(object, key, out, getString);
}

bool getString(const json::array& array, int index, std::string& out) {
    return getElement<std::string>(array, index, out, getString);
}

bool getInt(const json::value& value, int& out) {
    if (!value.is_int64()) {
        traceKind(value);
        return false;
    }
    out = static_cast<int>(static_cast<std::uint32_t>(value.get_int64()));
    return true;
}

bool getInt(const json::object& object, std::string_view key, int& out) {
    return getMember<int>(object, key, out, getInt);
}

bool getInt(const json::array& array, int index, int& out) {
    return getElement<int>(array, index, out, getInt);
}

bool getBool(const json::value& value, bool& out) {
    if (!value.is_bool()) {
        traceKind(value);
        return false;
    }
    out = value.get_bool();
    return true;
}

bool getBool(const json::object& object, std::string_view key, bool& out) {
    return getMember<bool>(object, key, out, getBool);
}

bool getPtr(const json::value& value, void*& out) {
    if (!value.is_string()) {
        traceKind(value);
        return false;
    }
    const auto number = std::stoull(std::string(value.get_string()), nullptr, 16);
    out = reinterpret_cast<void*>(static_cast<std::uintptr_t>(number));
    return true;
}

bool getPtr(const json::object& object, std::string_view key, void*& out) {
    return getMember<void*>(object, key, out, getPtr);
}

bool getObject(const json::value& value, json::object& out) {
    if (!value.is_object()) {
        traceKind(value);
        return false;
    }
    out = value.get_object();
    return true;
}

bool getObject(const json::object& object, std::string_view key, json::object& out) {
    return getMember<json::object>(object, key, out, getObject);
}

bool getObject(const json::array& array, int index, json::object& out) {
    return getElement<json::object>(array, index, out, getObject);
}

bool getArray(const json::value& value, json::array& out) {
    if (!value.is_array()) {
        traceKind(value);
        return false;
    }
    out = value.get_array();
    return true;
}

bool getArray(const json::object& object, std::string_view key, json::array& out) {
    return getMember<json::array>(object, key, out, getArray);
}

bool getArray(const json::array& array, int index, json::array& out) {
    return getElement<json::array>(array, index, out, getArray);
}
