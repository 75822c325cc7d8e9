#pragma once

#include <boost/json/object.hpp>

#include <memory>
#include <string>
#include <vector>

enum FontWeight {
    FontWeightThin = 100,
    FontWeightUltraLight = 200,
    FontWeightLight = 300,
    FontWeightNormal = 400,
    FontWeightMedium = 500,
    FontWeightSemiBold = 600,
    FontWeightBold = 700,
    FontWeightUltraBold = 800,
    FontWeightHeavy = 900,
};

enum FontWidth {
    FontWidthUltraCondensed = 1,
    FontWidthExtraCondensed = 2,
    FontWidthCondensed = 3,
    FontWidthSemiCondensed = 4,
    FontWidthNormal = 5,
    FontWidthSemiExpanded = 6,
    FontWidthExpanded = 7,
    FontWidthExtraExpanded = 8,
    FontWidthUltraExpanded = 9,
};

// One installed face. Names the catalogue does not give are empty.
struct FontDescriptor {
    std::string postscriptName;
    std::string family;
    std::string style;
    FontWeight weight = FontWeightNormal;
    FontWidth width = FontWidthNormal;
    bool italic = false;
    bool oblique = false;
    bool monospace = false;
};

using ResultSet = std::vector<std::unique_ptr<FontDescriptor>>;

// Every installed face, in the catalogue's order.
ResultSet getAvailableFonts();

// From the catalogue's normalised scale, where 0 is the regular weight and the normal width.
FontWeight convertWeight(float weight);
FontWidth convertWidth(float width);

boost::json::object toJson(const FontDescriptor& descriptor);
