#include "imaging/picture_fit.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include <stb_image_resize.h>

#include "imaging/errors.hpp"

namespace imaging {

bool exceeds(const Image& image, int maxWidth, int maxHeight) {
    return image.width > maxWidth || image.height > maxHeight;
}

FittedImage fitWithin(const Image& image, int maxWidth, int maxHeight) {
    if (maxWidth < 1 || maxHeight < 1) throw RunError::invalidArgument("fit within an empty size");
    if (!exceeds(image, maxWidth, maxHeight)) return {image, 1.0};
    const double scale = std::min(double(maxWidth) / image.width, double(maxHeight) / image.height);
    // The binding side comes out exactly at its limit; the other is rounded down so that it fits.
    const int width = std::clamp(int(std::floor(image.width * scale + 1e-9)), 1, maxWidth);
    const int height = std::clamp(int(std::floor(image.height * scale + 1e-9)), 1, maxHeight);

    std::vector<unsigned char> source(std::size_t(image.width) * std::size_t(image.height) * 3);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const Colour c = image.pixels[i];
        source[3 * i] = static_cast<unsigned char>(c & 0xFF);
        source[3 * i + 1] = static_cast<unsigned char>((c >> 8) & 0xFF);
        source[3 * i + 2] = static_cast<unsigned char>((c >> 16) & 0xFF);
    }
    std::vector<unsigned char> target(std::size_t(width) * std::size_t(height) * 3);
    // The box filter averages the source area under each new pixel (area averaging); the
    // channel values are averaged as they are stored, without a colour-space conversion.
    if (!stbir_resize_uint8_generic(source.data(), image.width, image.height, 0, target.data(), width, height, 0, 3,
                                    STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP, STBIR_FILTER_BOX,
                                    STBIR_COLORSPACE_LINEAR, nullptr))
        throw RunError::invalidArgument("the picture cannot be reduced");

    FittedImage fitted{Image(width, height), scale};
    for (std::size_t i = 0; i < fitted.image.pixels.size(); ++i)
        fitted.image.pixels[i] = rgbColour(target[3 * i], target[3 * i + 1], target[3 * i + 2]);
    return fitted;
}

}  // namespace imaging
