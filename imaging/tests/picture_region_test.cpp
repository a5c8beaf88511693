// Region-only decoding: the pixels of a rectangle decoded from just the scanlines and block
// columns that hold it equal those of a full decode, for every sampling layout, baseline and
// progressive files, restart markers, odd sizes and rectangles at every edge and corner.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include <jpeglib.h>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/file_output.hpp"
#include "imaging/image_file.hpp"

namespace {

using imaging::Image;
using imaging::PictureRegion;

// How a test photograph is encoded.
struct Encoding {
    int width, height;
    int components;     // 3 (YCbCr) or 1 (grey)
    int hSamp, vSamp;   // luminance sampling factors: 2 2 = 4:2:0, 2 1 = 4:2:2, 1 1 = 4:4:4, 1 2 = 4:4:0
    bool progressive;
    int restartRows;    // 0: no restart markers
    std::string label() const {
        return std::to_string(width) + "x" + std::to_string(height) + (components == 1 ? " grey" : " ") +
               (components == 1 ? "" : std::to_string(hSamp) + std::to_string(vSamp)) +
               (progressive ? " progressive" : " baseline") + (restartRows ? " restarts" : "");
    }
};

// A photograph with fine detail and sharp colour edges (where the smoothing of subsampled
// colour shows most), compressed in memory.
std::vector<unsigned char> encodePhoto(const Encoding& e) {
    std::vector<unsigned char> pixels(std::size_t(e.width) * std::size_t(e.height) * std::size_t(e.components));
    unsigned seed = 12345u + unsigned(e.width) * 31u + unsigned(e.height);
    for (int y = 0; y < e.height; ++y)
        for (int x = 0; x < e.width; ++x)
            for (int c = 0; c < e.components; ++c) {
                seed = seed * 1103515245u + 12345u;
                const int noise = int((seed >> 16) % 40);
                const int stripe = ((x / 3 + y / 5 + c) % 3) * 70;
                pixels[(std::size_t(y) * std::size_t(e.width) + std::size_t(x)) * std::size_t(e.components) +
                       std::size_t(c)] = static_cast<unsigned char>((stripe + noise + x * (c + 1) + y * 2) % 256);
            }
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = JDIMENSION(e.width);
    c.image_height = JDIMENSION(e.height);
    c.input_components = e.components;
    c.in_color_space = e.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 85, TRUE);
    if (e.components == 3) {
        c.comp_info[0].h_samp_factor = e.hSamp;
        c.comp_info[0].v_samp_factor = e.vSamp;
        c.comp_info[1].h_samp_factor = c.comp_info[1].v_samp_factor = 1;
        c.comp_info[2].h_samp_factor = c.comp_info[2].v_samp_factor = 1;
    }
    if (e.progressive) jpeg_simple_progression(&c);
    c.restart_in_rows = e.restartRows;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = &pixels[std::size_t(c.next_scanline) * std::size_t(e.width) * std::size_t(e.components)];
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<unsigned char> file(buffer, buffer + size);
    std::free(buffer);
    return file;
}

// Squares of side `side` (side + 1 pixels, as a run reads them) at every edge and corner, just
// inside, across and beyond, at block boundaries and between them.
std::vector<std::pair<int, int>> cornersFor(int width, int height, int side) {
    std::vector<int> xs = {-side - 5, -7, 0, 1, 8, 9, 16, 17, width / 2 - 3, width - side - 1, width - side,
                           width - 1, width};
    std::vector<int> ys = {-side - 1, -3, 0, 1, 15, 16, 17, height / 2 + 1, height - side, height - 17, height - 1,
                           height};
    std::vector<std::pair<int, int>> corners;
    for (int x : xs)
        for (int y : ys) corners.push_back({x, y});
    return corners;
}

// Every pixel of the clipped rectangle equals the full decode's; nothing outside is kept.
void expectRegionsMatch(const Encoding& e, int side) {
    SCOPED_TRACE(e.label() + " side " + std::to_string(side));
    const std::vector<unsigned char> file = encodePhoto(e);
    const Image full = imaging::decodeImage(file.data(), file.size(), "photo.jpg");
    ASSERT_EQ(full.width, e.width);
    // The same file on disk, read a chunk at a time as far as the decoding needs.
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "picture_region_test_files";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / (std::to_string(::getpid()) + ".jpg")).string();
    imaging::writeWholeFile(path, std::string(file.begin(), file.end()));
    PictureRegion region, fromFile;  // reused from square to square, as a worker does
    std::vector<unsigned char> fileData;
    for (const auto& [left, top] : cornersFor(e.width, e.height, side)) {
        imaging::decodePictureRegion(file.data(), file.size(), "photo.jpg", left, top, side + 1, side + 1, region);
        imaging::loadPictureRegion(path, left, top, side + 1, side + 1, fromFile, fileData);
        ASSERT_EQ(fromFile.left, region.left);
        ASSERT_EQ(fromFile.top, region.top);
        ASSERT_EQ(fromFile.fullWidth, region.fullWidth);
        ASSERT_EQ(fromFile.fullHeight, region.fullHeight);
        ASSERT_EQ(fromFile.pixels.width, region.pixels.width);
        ASSERT_EQ(fromFile.pixels.height, region.pixels.height);
        ASSERT_TRUE(fromFile.pixels.pixels == region.pixels.pixels) << "square at " << left << "," << top;
        ASSERT_EQ(region.fullWidth, e.width);
        ASSERT_EQ(region.fullHeight, e.height);
        const int x0 = std::max(left, 0), y0 = std::max(top, 0);
        const int x1 = std::min(left + side + 1, e.width), y1 = std::min(top + side + 1, e.height);
        ASSERT_EQ(region.pixels.width, std::max(x1 - x0, 0)) << left << "," << top;
        ASSERT_EQ(region.pixels.height, std::max(y1 - y0, 0)) << left << "," << top;
        if (x1 <= x0 || y1 <= y0) continue;
        ASSERT_EQ(region.left, x0);
        ASSERT_EQ(region.top, y0);
        int differing = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) differing += region.pixels.at(x - x0, y - y0) != full.at(x, y);
        ASSERT_EQ(differing, 0) << "square at " << left << "," << top;
    }
    std::filesystem::remove(path);
}

TEST(PictureRegion, EveryLayoutAndPositionGivesTheFullDecodesPixels) {
    const int sizes[][2] = {{67, 45}, {131, 97}, {33, 121}};
    const int layouts[][3] = {{3, 2, 2}, {3, 2, 1}, {3, 1, 1}, {3, 1, 2}, {1, 1, 1}};
    for (const auto& size : sizes)
        for (const auto& layout : layouts)
            for (const bool progressive : {false, true})
                for (const int restarts : {0, 1}) {
                    const Encoding e{size[0], size[1], layout[0], layout[1], layout[2], progressive, restarts};
                    expectRegionsMatch(e, size[0] == 131 ? 40 : 24);
                }
}

TEST(PictureRegion, LargePhotographWithASquareInTheMiddleAndAtItsCorners) {
    for (const int layout : {0, 1}) {
        const Encoding e{517, 389, 3, 2, layout == 0 ? 2 : 1, false, layout};
        expectRegionsMatch(e, 200);
    }
}

TEST(PictureRegion, ARectangleOutsideThePictureKeepsNoPixelsButTheSize) {
    const std::vector<unsigned char> file = encodePhoto({50, 40, 3, 2, 2, false, 0});
    PictureRegion region;
    imaging::decodePictureRegion(file.data(), file.size(), "p.jpg", 60, 10, 20, 20, region);
    EXPECT_EQ(region.fullWidth, 50);
    EXPECT_EQ(region.fullHeight, 40);
    EXPECT_TRUE(region.pixels.empty());
    EXPECT_FALSE(region.holds(60, 10));
}

TEST(PictureRegion, BmpAndPngAreReadWhole) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "picture_region_test";
    std::filesystem::create_directories(dir);
    Image picture(13, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x) picture.at(x, y) = imaging::rgbColour(x * 10, y * 20, (x + y) % 256);
    const std::string bmp = (dir / "p.bmp").string();
    imaging::saveBmp(picture, bmp);
    PictureRegion region;
    std::vector<unsigned char> data;
    imaging::loadPictureRegion(bmp, 5, 3, 4, 4, region, data);
    EXPECT_EQ(region.left, 0);
    EXPECT_EQ(region.top, 0);
    EXPECT_EQ(region.pixels.width, 13);
    EXPECT_TRUE(region.pixels.pixels == picture.pixels);
    std::filesystem::remove_all(dir);
}

TEST(PictureRegion, DamagedAndMissingFilesAreErrorsNamingTheFile) {
    PictureRegion region;
    std::vector<unsigned char> data;
    try {
        imaging::loadPictureRegion("/nonexistent/photo.jpg", 0, 0, 10, 10, region, data);
        FAIL() << "no error";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(std::string(e.what()), "File not found: /nonexistent/photo.jpg");
    }
    std::vector<unsigned char> file = encodePhoto({120, 100, 3, 2, 2, false, 0});
    // Cut inside the rows of the rectangle: the decoder runs out of data there.
    file.resize(file.size() / 3);
    std::string fromMemory, fromDisk;
    try {
        imaging::decodePictureRegion(file.data(), file.size(), "cut.jpg", 10, 60, 30, 30, region);
    } catch (const imaging::RunError& e) {
        fromMemory = e.what();
    }
    EXPECT_EQ(fromMemory, "Invalid picture: cut.jpg: JPEG: Premature end of JPEG file");
    // Read from disk a chunk at a time, the file ends at the same place with the same message.
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "picture_region_test_cut";
    std::filesystem::create_directories(dir);
    const std::string cut = (dir / "cut.jpg").string();
    imaging::writeWholeFile(cut, std::string(file.begin(), file.end()));
    try {
        imaging::loadPictureRegion(cut, 10, 60, 30, 30, region, data);
    } catch (const imaging::RunError& e) {
        fromDisk = e.what();
    }
    EXPECT_EQ(fromDisk, "Invalid picture: " + cut + ": JPEG: Premature end of JPEG file");
    // Rows above the cut decode from the file as from memory.
    PictureRegion above;
    imaging::decodePictureRegion(file.data(), file.size(), "cut.jpg", 10, 0, 20, 8, above);
    imaging::loadPictureRegion(cut, 10, 0, 20, 8, region, data);
    EXPECT_TRUE(region.pixels.pixels == above.pixels.pixels);
    EXPECT_THROW(imaging::loadPictureRegion(dir.string(), 0, 0, 4, 4, region, data), imaging::RunError);
    std::filesystem::remove_all(dir);
    const unsigned char notAPicture[] = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_THROW(imaging::decodePictureRegion(notAPicture, sizeof notAPicture, "x.jpg", 0, 0, 4, 4, region),
                 imaging::RunError);
}

}  // namespace
