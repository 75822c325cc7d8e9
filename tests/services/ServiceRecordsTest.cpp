#include "HAppFonts.h"
#include "HJson.h"
#include "HPrintJobManager.h"

#include <boost/json/parse.hpp>
#include <gtest/gtest.h>

#include <limits>

TEST(FontConversion, WeightAndWidthClasses) {
    const std::pair<float, int> weights[] = {
        {-1.0f, 100}, {-0.8f, 100},
        {-0.7f, 200}, {-0.4f, 300},
        {0.0f, 400},  {0.001f, 500},
        {0.23f, 500}, {0.3f, 600},
        {0.4f, 700},  {0.41f, 800},
        {0.56f, 800}, {0.62f, 900},
        {1.0f, 900},  {std::numeric_limits<float>::quiet_NaN(), 900},
    };
    for (const auto& [normalised, weight] : weights)
        EXPECT_EQ(convertWeight(normalised), weight) << normalised;
    const std::pair<float, int> widths[] = {
        {-1.0f, 1}, {-0.5f, 3}, {-0.25f, 4}, {-0.1f, 4}, {0.0f, 5},
        {0.1f, 5},  {0.25f, 6}, {0.5f, 7},   {0.75f, 8}, {1.0f, 9},
    };
    for (const auto& [normalised, width] : widths)
        EXPECT_EQ(convertWidth(normalised), width) << normalised;
}

TEST(FontConversion, JsonFormKeepsMemberOrder) {
    FontDescriptor face{"Mono-It",          "Mono", "Italic", FontWeightBold,
                        FontWidthCondensed, true,   true,     true};
    EXPECT_EQ(HJson::stringify(toJson(face)),
              R"({"postscriptName":"Mono-It","family":"Mono","style":"Italic","weight":700,)"
              R"("width":3,"options":["italic","oblique","monospace"]})");
    FontDescriptor upright;
    EXPECT_EQ(
        HJson::stringify(toJson(upright)),
        R"({"postscriptName":"","family":"","style":"","weight":400,"width":5,"options":[]})");
}

TEST(PrintJobRecords, OptionsAndText) {
    struct Case {
        const char* options;
        int copies, width, height;
        std::string orientation;
    };
    const Case cases[] = {
        {R"({"userSize":{"width":2100,"height":2970},"copies":2,"orientation":"landscape"})", 2,
         210, 297, "landscape"},
        {R"({"userSize":{"width":2100}})", -1, -1, -1, ""},
        {R"({"userSize":{"width":-15,"height":5},"copies":2.0})", -1, -1, 0, ""},
        {R"({"orientation":5})", -1, -1, -1, ""},
    };
    for (const auto& c : cases) {
        const auto options =
            HPrintJobManager::extractOptions(boost::json::parse(c.options).as_object());
        EXPECT_EQ(options.copies, c.copies) << c.options;
        EXPECT_EQ(options.width, c.width) << c.options;
        EXPECT_EQ(options.height, c.height) << c.options;
        EXPECT_EQ(options.orientation, c.orientation) << c.options;
    }

    const auto body = boost::json::parse(
        R"({"fontName":"Sans","text":"hi","position":{"x":3,"y":4},"pointSize":12,"color":"red"})");
    const auto text = HPrintJobManager::extractText(HJson(body));
    EXPECT_EQ(text.fontName, "Sans");
    EXPECT_EQ(text.text, "hi");
    EXPECT_EQ(text.x, 3);
    EXPECT_EQ(text.y, 4);
    EXPECT_EQ(text.pointSize, 12);
    EXPECT_EQ(text.color, 0);
}
