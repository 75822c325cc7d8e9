#include "HAppFonts.h"

#include <boost/json/array.hpp>

FontWeight convertWeight(float weight) {
    if (weight <= -0.8f)
        return FontWeightThin;
    if (weight <= -0.6f)
        return FontWeightUltraLight;
    if (weight <= -0.4f)
        return FontWeightLight;
    if (weight <= 0.0f)
        return FontWeightNormal;
    if (weight <= 0.25f)
        return FontWeightMedium;
    if (weight <= 0.35f)
        return FontWeightSemiBold;
    if (weight <= 0.4f)
        return FontWeightBold;
    if (weight <= 0.6f)
        return FontWeightUltraBold;
    return FontWeightHeavy;
}

FontWidth convertWidth(float width) {
    const float scaled = width < 0 ? (1 + width) * 4 + 1 : width * 4 + 5;
    return static_cast<FontWidth>(static_cast<int>(scaled));
}

boost::json::object toJson(const FontDescriptor& descriptor) {
    boost::json::object face;
    face["postscriptName"] = descriptor.postscriptName;
    face["family"] = descriptor.family;
    face["style"] = descriptor.style;
    face["weight"] = static_cast<int>(descriptor.weight);
    face["width"] = static_cast<int>(descriptor.width);
    boost::json::array options;
    if (descriptor.italic)
        options.emplace_back("italic");
    if (descriptor.oblique)
        options.emplace_back("oblique");
    if (descriptor.monospace)
        options.emplace_back("monospace");
    face["options"] = std::move(options);
    return face;
}
