#pragma once
// Colour values and grey levels. A colour value is 0x00BBGGRR (red in the lowest byte);
// -1 stands for a position outside a picture and splits into three channels of 255.

#include <cstdint>

namespace imaging {

using Colour = int32_t;
constexpr Colour kOutside = -1;
constexpr Colour kWhite = 0x00FFFFFF;
constexpr Colour kBlack = 0;

// The first, second and third channel of a colour value.
struct Channels {
    int blue;
    int green;
    int red;
};

inline Channels splitColour(Colour c) {
    if (c == kOutside) return {255, 255, 255};
    return {(c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF};
}

// The luminance rule: 0.11 blue + 0.59 green + 0.3 red, in double precision.
inline double greyOf(const Channels& ch) {
    return 0.11 * ch.blue + 0.59 * ch.green + 0.3 * ch.red;
}
inline double greyOf(Colour c) { return greyOf(splitColour(c)); }

// The plain mean of the three channels.
inline double meanGreyOf(const Channels& ch) { return (ch.blue + ch.green + ch.red) / 3.0; }
inline double meanGreyOf(Colour c) { return meanGreyOf(splitColour(c)); }

// A component above 255 counts as 255, one below 0 as 0.
inline int clampComponent(int v) { return v > 255 ? 255 : (v < 0 ? 0 : v); }

inline Colour rgbColour(int r, int g, int b) {
    return clampComponent(r) + 256 * clampComponent(g) + 65536 * clampComponent(b);
}
// The grey with red = green = blue = g.
inline Colour greyColour(int g) { return rgbColour(g, g, g); }

}  // namespace imaging
