// libFuzzer target for the picture decoder behind LoadPicture. Any input must either decode into a
// consistent picture or throw imaging::RunError; a crash, a sanitizer report, a hang, a huge
// allocation or an inconsistent picture is a fault.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"

// The stb decoders compiled into the fuzzer itself (same header version as the system library):
// these definitions take precedence over the shared library's, so the PNG and BMP paths run with
// coverage feedback and address checks instead of as an opaque, uninstrumented library.
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

namespace {

// A decoded picture must have a positive size within the cap and one 0x00BBGGRR value per pixel.
void checkPicture(const imaging::Image& image) {
    if (image.width <= 0 || image.height <= 0) std::abort();
    if ((long long)image.width * (long long)image.height > imaging::kMaxPicturePixels) std::abort();
    if (image.pixels.size() != std::size_t(image.width) * std::size_t(image.height)) std::abort();
    for (imaging::Colour c : image.pixels)
        if ((c & ~0x00FFFFFF) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        checkPicture(imaging::decodeImage(data, size, "fuzz-input"));
    } catch (const imaging::RunError&) {
        // Rejected input: the expected outcome for most mutations.
    }
    return 0;
}
