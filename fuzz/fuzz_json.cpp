// HJson::parse of the input up to the first NUL, then every getter over the result, with the
// document's own keys and indexes and the rest of the input as an extra key.
#include "HJson.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void getAll(const HJson& view, std::string_view key, int index) {
    std::string text;
    int number = 0;
    bool flag = false;
    void* pointer = nullptr;
    boost::json::object object;
    boost::json::array array;
    std::vector<std::string> list;
    int width = 0;
    int height = 0;
    view.getString(key, text);
    view.getString(index, text);
    view.getString(text);
    view.getInt(key, number);
    view.getInt(index, number);
    view.getInt(number);
    view.getBool(key, flag);
    try {
        view.getPtr(key, pointer);
    } catch (const std::exception&) {
        // A string that is no hex number throws by contract.
    }
    view.getObject(key, object);
    view.getObject(index, object);
    view.getObject(object);
    view.getArray(key, array);
    view.getArray(index, array);
    view.getArray(array);
    view.getList(key, list);
    view.getSize(key, width, height);
    view.getPoint(key, width, height);
    view.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string_view text = input.substr(0, split);
    const std::string_view extraKey =
        split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    const int extraIndex = extraKey.empty() ? -1 : static_cast<signed char>(extraKey.front());

    const boost::json::value value = HJson::parse(text);
    const HJson view(value);
    getAll(view, extraKey, extraIndex);
    if (const auto* object = value.if_object()) {
        int index = 0;
        for (const auto& member : *object) {
            getAll(view, member.key(), index++);
            getAll(HJson(member.value()), extraKey, extraIndex);
        }
        getAll(HJson(*object), extraKey, extraIndex);
    } else if (const auto* array = value.if_array()) {
        for (int index = -1; index <= static_cast<int>(array->size()); ++index)
            getAll(view, extraKey, index);
        getAll(HJson(*array), extraKey, extraIndex);
    }

    HJson::stringify(value);
    return 0;
}
