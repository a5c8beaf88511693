// Writes a photograph by tiling a sample (mirrored at every other tile so the edges match): a
// large JPEG for the whole-process memory benchmark of texturemeter-cli, or a lossless PNG of the
// sample's decoded pixels for the tool's input-format test.
// Usage: texturemeter_make_photo SAMPLE WIDTH HEIGHT OUT.jpg|OUT.png (0 0: the sample's size)

#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <stb_image_write.h>

#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s SAMPLE WIDTH HEIGHT OUT.jpg\n", argv[0]);
        return 2;
    }
    try {
        const imaging::Image sample = imaging::loadImageFile(argv[1]);
        // 0 x 0 stands for the sample's own size.
        const auto w = imaging::parseWholeNumber(argv[2]), h = imaging::parseWholeNumber(argv[3]);
        if (!w || !h || *w < 0 || *h < 0 || *w > 100000 || *h > 100000)
            throw imaging::RunError::refused("bad size");
        int width = static_cast<int>(*w), height = static_cast<int>(*h);
        if (width == 0 && height == 0) {
            width = sample.width;
            height = sample.height;
        }
        if (width <= 0 || height <= 0 || sample.empty()) throw imaging::RunError::refused("bad size");
        const std::string outName = argv[4];
        if (outName.size() > 4 && outName.substr(outName.size() - 4) == ".png") {
            std::vector<unsigned char> rgb(std::size_t(width) * std::size_t(height) * 3);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const imaging::Colour c = sample.at(x % sample.width, y % sample.height);
                    unsigned char* p = &rgb[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
                    p[0] = static_cast<unsigned char>(c & 0xFF);
                    p[1] = static_cast<unsigned char>((c >> 8) & 0xFF);
                    p[2] = static_cast<unsigned char>((c >> 16) & 0xFF);
                }
            if (!stbi_write_png(argv[4], width, height, 3, rgb.data(), width * 3))
                throw imaging::RunError::fileError("Cannot write", argv[4]);
            return 0;
        }
        std::FILE* out = std::fopen(argv[4], "wb");
        if (!out) throw imaging::RunError::fileError("Cannot create", argv[4]);
        jpeg_compress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_compress(&c);
        jpeg_stdio_dest(&c, out);
        c.image_width = JDIMENSION(width);
        c.image_height = JDIMENSION(height);
        c.input_components = 3;
        c.in_color_space = JCS_RGB;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, 90, TRUE);
        jpeg_start_compress(&c, TRUE);
        std::vector<JSAMPLE> row(std::size_t(width) * 3);
        for (int y = 0; y < height; ++y) {
            const int ty = y / sample.height, sy = (ty % 2) ? sample.height - 1 - y % sample.height : y % sample.height;
            for (int x = 0; x < width; ++x) {
                const int tx = x / sample.width, sx = (tx % 2) ? sample.width - 1 - x % sample.width : x % sample.width;
                const imaging::Colour c = sample.at(sx, sy);
                row[std::size_t(x) * 3 + 0] = JSAMPLE(c & 0xFF);
                row[std::size_t(x) * 3 + 1] = JSAMPLE((c >> 8) & 0xFF);
                row[std::size_t(x) * 3 + 2] = JSAMPLE((c >> 16) & 0xFF);
            }
            JSAMPROW rows[1] = {row.data()};
            jpeg_write_scanlines(&c, rows, 1);
        }
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);
        std::fclose(out);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "texturemeter_make_photo: %s\n", e.what());
        return 1;
    }
    return 0;
}
