// LoadPicture decodes JPEG files with libjpeg-turbo's default settings (accurate integer DCT, fancy
// upsampling): the pixels must equal a plain default-settings libjpeg decode exactly, since the
// measurements' reference values were computed from such pixels.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "imaging/colour.hpp"
#include "imaging/image_file.hpp"

namespace {

struct PlainDecode {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

// The textbook libjpeg decoding loop, nothing changed but the output colour space.
PlainDecode decodeWithDefaults(const std::string& path) {
    PlainDecode out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    out.width = int(cinfo.output_width);
    out.height = int(cinfo.output_height);
    out.rgb.resize(std::size_t(out.width) * std::size_t(out.height) * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &out.rgb[std::size_t(cinfo.output_scanline) * std::size_t(out.width) * 3];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return out;
}

void expectSameAsDefaultDecode(const std::string& path) {
    SCOPED_TRACE(path);
    const PlainDecode plain = decodeWithDefaults(path);
    ASSERT_GT(plain.width, 0);
    const imaging::Image ours = imaging::loadImageFile(path);
    ASSERT_EQ(ours.width, plain.width);
    ASSERT_EQ(ours.height, plain.height);
    std::size_t differing = 0;
    for (std::size_t i = 0; i < ours.pixels.size(); ++i)
        if (ours.pixels[i] != imaging::rgbColour(plain.rgb[3 * i], plain.rgb[3 * i + 1], plain.rgb[3 * i + 2]))
            ++differing;
    EXPECT_EQ(differing, 0u);
}

}  // namespace

TEST(JpegDefaults, ReferencePhotographs) {
    expectSameAsDefaultDecode(std::string(MORPH_TESTDATA_DIR) + "/reference/skin_texture.jpg");
    expectSameAsDefaultDecode(std::string(MORPH_TESTDATA_DIR) + "/reference/lesion.jpg");
}

TEST(JpegDefaults, BundledSamples) {
    expectSameAsDefaultDecode(std::string(MORPH_SAMPLES_DIR) + "/skin_sample.jpg");
    expectSameAsDefaultDecode(std::string(MORPH_SAMPLES_DIR) + "/lesion_sample.jpg");
}
