#include "HAppFonts.h"

#include <fontconfig/fontconfig.h>

#include <cmath>
#include <memory>

namespace {

// fontconfig's weight, as an OpenType weight class, on the normalised scale.
float normalisedWeight(int fcWeight) {
    static const float scale[] = {-0.8f, -0.6f, -0.4f, 0.0f, 0.23f, 0.3f, 0.4f, 0.56f, 0.62f};
    const double openType = FcWeightToOpenTypeDouble(fcWeight);
    const int index = static_cast<int>(std::lround(openType / 100.0)) - 1;
    return scale[index < 0 ? 0 : index > 8 ? 8 : index];
}

// fontconfig's width (50 ultra-condensed to 200 ultra-expanded) as a width class on the
// normalised scale, -1 to 1 in quarters.
float normalisedWidth(int fcWidth) {
    static const int widths[] = {
        FC_WIDTH_ULTRACONDENSED, FC_WIDTH_EXTRACONDENSED, FC_WIDTH_CONDENSED,
        FC_WIDTH_SEMICONDENSED,  FC_WIDTH_NORMAL,         FC_WIDTH_SEMIEXPANDED,
        FC_WIDTH_EXPANDED,       FC_WIDTH_EXTRAEXPANDED,  FC_WIDTH_ULTRAEXPANDED};
    int nearest = 0;
    for (int i = 1; i < 9; ++i)
        if (std::abs(widths[i] - fcWidth) < std::abs(widths[nearest] - fcWidth))
            nearest = i;
    return static_cast<float>(nearest - 4) / 4.0f;
}

std::string text(FcPattern* pattern, const char* object) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || value == nullptr)
        return {};
    return reinterpret_cast<const char*>(value);
}

int integer(FcPattern* pattern, const char* object, int fallback) {
    int value = fallback;
    FcPatternGetInteger(pattern, object, 0, &value);
    return value;
}

std::unique_ptr<FontDescriptor> createFontDescriptor(FcPattern* pattern) {
    auto descriptor = std::make_unique<FontDescriptor>();
    descriptor->postscriptName = text(pattern, FC_POSTSCRIPT_NAME);
    descriptor->family = text(pattern, FC_FAMILY);
    descriptor->style = text(pattern, FC_STYLE);
    descriptor->weight =
        convertWeight(normalisedWeight(integer(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR)));
    descriptor->width = convertWidth(normalisedWidth(integer(pattern, FC_WIDTH, FC_WIDTH_NORMAL)));
    const int slant = integer(pattern, FC_SLANT, FC_SLANT_ROMAN);
    descriptor->italic = slant == FC_SLANT_ITALIC || slant == FC_SLANT_OBLIQUE;
    descriptor->oblique = descriptor->italic;
    descriptor->monospace = integer(pattern, FC_SPACING, FC_PROPORTIONAL) >= FC_MONO;
    return descriptor;
}

} // namespace

ResultSet getAvailableFonts() {
    ResultSet result;
    // fontconfig keeps its configuration for the process once loaded.
    if (FcInit() == FcFalse)
        return result;
    std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> pattern(FcPatternCreate(),
                                                                    FcPatternDestroy);
    std::unique_ptr<FcObjectSet, decltype(&FcObjectSetDestroy)> objects(
        FcObjectSetBuild(FC_POSTSCRIPT_NAME, FC_FAMILY, FC_STYLE, FC_WEIGHT, FC_WIDTH, FC_SLANT,
                         FC_SPACING, nullptr),
        FcObjectSetDestroy);
    if (!pattern || !objects)
        return result;
    std::unique_ptr<FcFontSet, decltype(&FcFontSetDestroy)> fonts(
        FcFontList(nullptr, pattern.get(), objects.get()), FcFontSetDestroy);
    if (!fonts)
        return result;
    result.reserve(static_cast<std::size_t>(fonts->nfont));
    for (int i = 0; i < fonts->nfont; ++i)
        result.push_back(createFontDescriptor(fonts->fonts[i]));
    return result;
}
