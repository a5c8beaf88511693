#pragma once
// Reducing a photograph that is too large for an analysis: area averaging (each new pixel the
// mean of the source area it covers), proportions kept.

#include "imaging/image_file.hpp"

namespace imaging {

// A picture reduced to fit, and its reduction factor: a position in the reduced picture divided
// by `scale` is the position in the original one (scale 1 when nothing was reduced).
struct FittedImage {
    Image image;
    double scale = 1.0;
};

// Whether the picture is larger than maxWidth x maxHeight in either direction.
bool exceeds(const Image& image, int maxWidth, int maxHeight);

// The picture unchanged (scale 1) when it fits within maxWidth x maxHeight; otherwise reduced by
// the largest factor s = min(maxWidth / width, maxHeight / height) under which it fits, to
// floor(width * s) x floor(height * s) pixels (at least 1 x 1), by area averaging.
FittedImage fitWithin(const Image& image, int maxWidth, int maxHeight);

}  // namespace imaging
