#include "HJson.h"

#include <gtest/gtest.h>

namespace json = boost::json;

TEST(HJsonGetters, IntAcceptsOnlyInt64AndKeepsOutputOtherwise) {
    struct Case {
        const char* text;
        bool accepted;
        int expected;
    };
    const Case cases[] = {
        {"4", true, 4},
        {"-4", true, -4},
        {"4294967297", true, 1},
        {"4.0", false, 77},
        {"\"4\"", false, 77},
        {"true", false, 77},
        {"18446744073709551615", false, 77},
        {"null", false, 77},
    };
    for (const auto& c : cases) {
        int out = 77;
        EXPECT_EQ(getInt(json::parse(c.text), out), c.accepted) << c.text;
        EXPECT_EQ(out, c.expected) << c.text;
    }
}

TEST(HJsonGetters, KindsAreStrict) {
    bool flag = false;
    EXPECT_FALSE(getBool(json::parse("1"), flag));
    EXPECT_TRUE(getBool(json::parse("true"), flag));
    EXPECT_TRUE(flag);

    std::string text = "kept";
    EXPECT_FALSE(getString(json::parse("5"), text));
    EXPECT_EQ(text, "kept");
    json::value withZero = json::string(std::string("ab\0cd", 5));
    EXPECT_TRUE(getString(withZero, text));
    EXPECT_EQ(text, "ab");

    json::object object;
    EXPECT_FALSE(getObject(json::parse("[]"), object));
    json::array array;
    EXPECT_FALSE(getArray(json::parse("{}"), array));
}

TEST(HJsonGetters, KeysAndIndexes) {
    const json::value doc = json::parse(R"({"a":"x","list":["p",1]})");
    std::string out;
    EXPECT_FALSE(getString(doc.get_object(), "A", out));
    EXPECT_TRUE(getString(doc.get_object(), "a", out));
    EXPECT_EQ(out, "x");
    const json::array& list = doc.at("list").get_array();
    EXPECT_TRUE(getString(list, 0, out));
    EXPECT_EQ(out, "p");
    EXPECT_FALSE(getString(list, 2, out));
    EXPECT_FALSE(getString(list, -1, out));
}

TEST(HJsonGetters, PtrReadsHexAndThrowsWithoutDigits) {
    void* out = nullptr;
    EXPECT_TRUE(getPtr(json::parse(R"("0x1f")"), out));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(out), 0x1fu);
    EXPECT_THROW(getPtr(json::parse(R"("zz")"), out), std::invalid_argument);
}

TEST(HJsonView, ObjectAndValueViewsAnswerAlike) {
    const json::value doc = json::parse(
        R"({"s":"t","i":3,"b":true,"o":{"k":1},"a":[1],"size":{"width":4,"height":5},
            "point":{"x":-1,"y":2},"half":{"width":4}})");
    const HJson overValue(doc);
    const HJson overObject(doc.get_object());
    for (const HJson* view : {&overValue, &overObject}) {
        std::string s;
        int i = 0;
        bool b = false;
        json::object o;
        json::array a;
        EXPECT_TRUE(view->getString("s", s));
        EXPECT_TRUE(view->getInt("i", i));
        EXPECT_TRUE(view->getBool("b", b));
        EXPECT_TRUE(view->getObject("o", o));
        EXPECT_TRUE(view->getArray("a", a));
        EXPECT_EQ(s, "t");
        EXPECT_EQ(i, 3);
        int width = 0, height = 0, x = 0, y = 0;
        EXPECT_TRUE(view->getSize("size", width, height));
        EXPECT_EQ(width, 4);
        EXPECT_EQ(height, 5);
        EXPECT_TRUE(view->getPoint("point", x, y));
        EXPECT_EQ(x, -1);
        EXPECT_EQ(y, 2);
        width = height = 9;
        EXPECT_FALSE(view->getSize("half", width, height));
        EXPECT_EQ(width, 9);
        EXPECT_EQ(height, 9);
        EXPECT_EQ(view->size(), 8);
    }
}

TEST(HJsonView, ListSizeAndCopies) {
    const json::value doc = json::parse(R"({"l":["a",1,null,"b"]})");
    const HJson view(doc);
    std::vector<std::string> list{"x"};
    EXPECT_TRUE(view.getList("l", list));
    EXPECT_EQ(list, (std::vector<std::string>{"x", "a", "b"}));
    EXPECT_FALSE(view.getList("missing", list));
    EXPECT_EQ(list.size(), 3u);

    const json::value five = 5;
    const json::value empty = json::array();
    EXPECT_EQ(HJson(five).size(), -1);
    EXPECT_EQ(HJson(empty).size(), 0);
    EXPECT_EQ(HJson().size(), -1);
    EXPECT_TRUE(HJson().json().is_null());
    EXPECT_EQ(HJson(doc.get_object()).json(), doc);

    std::string text;
    EXPECT_FALSE(HJson().getString(text));
    EXPECT_FALSE(HJson(five).getString(text));
}

TEST(HJsonView, ParseRejectsWhatStrictJsonRejects) {
    const char* rejected[] = {"", "{\"a\":1,}", "{\"a\":1} x", "[1] [2]", "// c\n1", "\"\xff\""};
    for (const char* text : rejected)
        EXPECT_TRUE(HJson::parse(text).is_null()) << text;
    std::string deep(33, '[');
    deep += std::string(33, ']');
    EXPECT_TRUE(HJson::parse(deep).is_null());
    EXPECT_EQ(HJson::parse(R"({"a":[1,2.5,"x"]})"), json::parse(R"({"a":[1,2.5,"x"]})"));
    EXPECT_EQ(HJson::stringify(json::parse(R"({ "a" : [ 1 , 2 ] })")), R"({"a":[1,2]})");
}

TEST(HJsonView, SettersWriteThroughWritableViews) {
    json::object object{{"a", "old"}};
    HJson view(object);
    EXPECT_TRUE(view.setString("a", "new"));
    EXPECT_TRUE(view.setString("b", "added"));
    EXPECT_EQ(HJson::stringify(object), R"({"a":"new","b":"added"})");

    json::value value = json::object{{"k", 1}};
    HJson valueView(value);
    EXPECT_TRUE(valueView.setValue("k", json::array{1, 2}));
    EXPECT_EQ(HJson::stringify(value), R"({"k":[1,2]})");

    const json::object constant;
    HJson readOnly(constant);
    EXPECT_FALSE(readOnly.setString("a", "b"));

    json::array array{"x"};
    HJson arrayView(array);
    EXPECT_TRUE(arrayView.setString(0, "y"));
    EXPECT_FALSE(arrayView.setString(1, "z"));
    EXPECT_EQ(HJson::stringify(array), R"(["y"])");
}

TEST(HJsonView, ToArrayKeepsOrder) {
    EXPECT_EQ(HJson::stringify(HJson::toArray({"b", "a", ""})), R"(["b","a",""])");
}
