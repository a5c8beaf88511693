// Picture files: JPEG, BMP and PNG decoding, the uncompressed BMP writer, and bad input. Every bad
// file must give an imaging::RunError naming the file, never a crash, a hang or a huge allocation.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <stb_image.h>
#include <stb_image_write.h>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "test_support.hpp"

using imaging::Colour;
using imaging::Image;
using imaging_test::BmpHeader;
using imaging_test::Bytes;
using imaging_test::TempDir;

namespace {

const std::string kSkinJpeg = std::string(MORPH_TESTDATA_DIR) + "/reference/skin_texture.jpg";

// Expects loading `path` to fail with a RunError whose message names the file.
void expectBadFile(const std::string& path) {
    SCOPED_TRACE(path);
    const std::string message = imaging_test::runErrorMessage([&] { (void)imaging::loadImageFile(path); });
    if (!message.empty()) {
        EXPECT_NE(message.find(path), std::string::npos) << "message does not name the file: " << message;
    }
}

// Writes `bytes` to a file in `dir` and expects loading it to fail naming the file.
void expectBadBytes(const TempDir& dir, const std::string& name, const Bytes& bytes) {
    const std::string path = dir.file(name);
    imaging_test::writeBytes(path, bytes);
    expectBadFile(path);
}

// A decoded picture is consistent: positive size and one 0x00BBGGRR value per pixel.
void expectConsistent(const Image& img) {
    EXPECT_GT(img.width, 0);
    EXPECT_GT(img.height, 0);
    EXPECT_EQ(img.pixels.size(), std::size_t(img.width) * std::size_t(img.height));
    for (Colour c : img.pixels) ASSERT_EQ(c & ~0x00FFFFFF, 0);
}

// Pixels as R, G, B bytes, row by row from the top.
std::vector<unsigned char> rgbBytes(const Image& img) {
    std::vector<unsigned char> out;
    out.reserve(img.pixels.size() * 3);
    for (Colour c : img.pixels) {
        const imaging::Channels ch = imaging::splitColour(c);
        out.push_back(uint8_t(ch.red));
        out.push_back(uint8_t(ch.green));
        out.push_back(uint8_t(ch.blue));
    }
    return out;
}

// A BMP file with a BITMAPINFOHEADER, written by hand. `rows` holds each row's pixel bytes as stored
// (without padding), listed from the top of the picture; `palette` holds B, G, R, 0 quadruples.
Bytes makeBmp(int width, int height, int bpp, bool topDown, const std::vector<Bytes>& rows,
              const Bytes& palette = {}) {
    const uint32_t stride = uint32_t((width * bpp + 31) / 32 * 4);
    BmpHeader h;
    h.width = width;
    h.height = topDown ? -height : height;
    h.bitsPerPixel = uint16_t(bpp);
    h.dataOffset = uint32_t(54 + palette.size());
    h.coloursUsed = uint32_t(palette.size() / 4);
    h.imageSize = stride * uint32_t(height);
    h.fileSize = h.dataOffset + h.imageSize;
    Bytes b = imaging_test::bmpHeaderBytes(h);
    b.insert(b.end(), palette.begin(), palette.end());
    for (int i = 0; i < height; ++i) {
        Bytes row = rows[std::size_t(topDown ? i : height - 1 - i)];
        row.resize(stride, 0);
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

// CRC-32 as PNG chunks use it.
uint32_t crc32(const Bytes& data, std::size_t from) {
    uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = from; i < data.size(); ++i) {
        c ^= data[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
}

void putBig32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}

void pngChunk(Bytes& png, const char* type, const Bytes& data) {
    putBig32(png, uint32_t(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    putBig32(png, crc32(body, 0));
}

// A PNG whose header announces width x height (8-bit RGB) followed by `idat` and an end chunk.
Bytes pngWithHeader(uint32_t width, uint32_t height, const Bytes& idat) {
    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    putBig32(ihdr, width);
    putBig32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
    pngChunk(png, "IHDR", ihdr);
    if (!idat.empty()) pngChunk(png, "IDAT", idat);
    pngChunk(png, "IEND", {});
    return png;
}

// Writes a small RGB picture with stb_image_write's JPEG encoder and returns the file's bytes.
Bytes smallJpeg(const TempDir& dir, int w, int h, int quality) {
    std::vector<unsigned char> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px.insert(px.end(), {uint8_t(200 - x), uint8_t(120 + y), uint8_t(90 + x + y)});
    const std::string path = dir.file("small-source.jpg");
    EXPECT_TRUE(stbi_write_jpg(path.c_str(), w, h, 3, px.data(), quality));
    return imaging_test::readBytes(path);
}

// The offset of the start-of-frame marker (FF C0 .. FF C2) of a JPEG, found by walking its segments.
std::size_t sofOffset(const Bytes& jpeg) {
    std::size_t i = 2;
    while (i + 3 < jpeg.size() && jpeg[i] == 0xFF) {
        const uint8_t marker = jpeg[i + 1];
        if (marker >= 0xC0 && marker <= 0xC2) return i;
        i += 2 + (std::size_t(jpeg[i + 2]) << 8 | jpeg[i + 3]);
    }
    ADD_FAILURE() << "no start-of-frame marker";
    return 0;
}

// The same JPEG with the frame header announcing width x height.
Bytes withFrameSize(Bytes jpeg, uint16_t width, uint16_t height) {
    const std::size_t sof = sofOffset(jpeg);
    // FF C0, length (2), precision (1), height (2), width (2).
    jpeg[sof + 5] = uint8_t(height >> 8);
    jpeg[sof + 6] = uint8_t(height);
    jpeg[sof + 7] = uint8_t(width >> 8);
    jpeg[sof + 8] = uint8_t(width);
    return jpeg;
}

// A fixed pseudo-random byte sequence (xorshift32).
Bytes noiseBytes(uint32_t seed, std::size_t n) {
    Bytes out;
    uint32_t s = seed ? seed : 1;
    for (std::size_t i = 0; i < n; ++i) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        out.push_back(uint8_t(s >> 7));
    }
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Good pictures

TEST(JpegDecoding, ReferencePhotographDecodesDeterministically) {
    const Image a = imaging::loadImageFile(kSkinJpeg);
    const Image b = imaging::loadImageFile(kSkinJpeg);
    ASSERT_EQ(a.width, 400);
    ASSERT_EQ(a.height, 300);
    expectConsistent(a);
    EXPECT_EQ(a.pixels, b.pixels);
    // Loading from memory gives the same pixels as loading from the file.
    const Bytes bytes = imaging_test::readBytes(kSkinJpeg);
    EXPECT_EQ(imaging::decodeImage(bytes.data(), bytes.size(), "skin").pixels, a.pixels);
}

TEST(JpegDecoding, ColoursAgreeWithAnIndependentDecoder) {
    // A different JPEG decoder rounds differently, but a swapped channel order or a shifted row
    // would show as large differences.
    const Image ours = imaging::loadImageFile(kSkinJpeg);
    int w = 0, h = 0, n = 0;
    unsigned char* theirs = stbi_load(kSkinJpeg.c_str(), &w, &h, &n, 3);
    ASSERT_NE(theirs, nullptr);
    ASSERT_EQ(w, ours.width);
    ASSERT_EQ(h, ours.height);
    const std::vector<unsigned char> mine = rgbBytes(ours);
    double total = 0.0;
    for (std::size_t i = 0; i < mine.size(); ++i) total += std::abs(int(mine[i]) - int(theirs[i]));
    stbi_image_free(theirs);
    EXPECT_LT(total / double(mine.size()), 2.0);
}

TEST(JpegDecoding, SolidRedStaysRed) {
    TempDir dir;
    std::vector<unsigned char> px;
    for (int i = 0; i < 16 * 16; ++i) px.insert(px.end(), {255, 0, 0});
    const std::string path = dir.file("red.jpg");
    ASSERT_TRUE(stbi_write_jpg(path.c_str(), 16, 16, 3, px.data(), 100));
    const Image img = imaging::loadImageFile(path);
    ASSERT_EQ(img.width, 16);
    const imaging::Channels ch = imaging::splitColour(img.at(8, 8));
    EXPECT_GE(ch.red, 245);
    EXPECT_LE(ch.green, 10);
    EXPECT_LE(ch.blue, 10);
}

TEST(PictureRoundTrip, BmpOfTheDecodedJpegIsExact) {
    TempDir dir;
    const Image jpeg = imaging::loadImageFile(kSkinJpeg);
    const std::string bmp = dir.file("skin.bmp");
    imaging::saveBmp(jpeg, bmp);
    const Image back = imaging::loadImageFile(bmp);
    ASSERT_EQ(back.width, jpeg.width);
    ASSERT_EQ(back.height, jpeg.height);
    EXPECT_EQ(back.pixels, jpeg.pixels);
}

TEST(PictureRoundTrip, PngDecodesTheSamePixelsAsBmp) {
    TempDir dir;
    const Image jpeg = imaging::loadImageFile(kSkinJpeg);
    const std::vector<unsigned char> rgb = rgbBytes(jpeg);
    const std::string png = dir.file("skin.png");
    ASSERT_TRUE(stbi_write_png(png.c_str(), jpeg.width, jpeg.height, 3, rgb.data(), jpeg.width * 3));
    const std::string bmp = dir.file("skin.bmp");
    imaging::saveBmp(jpeg, bmp);
    const Image fromPng = imaging::loadImageFile(png);
    const Image fromBmp = imaging::loadImageFile(bmp);
    EXPECT_EQ(fromPng.width, fromBmp.width);
    EXPECT_EQ(fromPng.height, fromBmp.height);
    EXPECT_EQ(fromPng.pixels, fromBmp.pixels);
}

TEST(PngDecoding, ChannelOrderAndGrey) {
    TempDir dir;
    const unsigned char rgb[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 15, 10, 5};
    const std::string colour = dir.file("c.png");
    ASSERT_TRUE(stbi_write_png(colour.c_str(), 2, 2, 3, rgb, 6));
    const Image c = imaging::loadImageFile(colour);
    EXPECT_EQ(c.at(0, 0), 0x000000FF);
    EXPECT_EQ(c.at(1, 0), 0x0000FF00);
    EXPECT_EQ(c.at(0, 1), 0x00FF0000);
    EXPECT_EQ(c.at(1, 1), 0x00050A0F);

    const unsigned char grey[] = {0, 128, 255};
    const std::string g = dir.file("g.png");
    ASSERT_TRUE(stbi_write_png(g.c_str(), 3, 1, 1, grey, 3));
    const Image gi = imaging::loadImageFile(g);
    EXPECT_EQ(gi.at(0, 0), imaging::greyColour(0));
    EXPECT_EQ(gi.at(1, 0), imaging::greyColour(128));
    EXPECT_EQ(gi.at(2, 0), imaging::greyColour(255));
}

// Zero-length IDAT chunks hold no data: a PNG with them (first, between and after the data)
// decodes to the same pixels. (The decoder used to copy a first empty chunk from a null buffer,
// found by fuzzing the picture loader; the fuzzer's seeds keep such a file.)
TEST(PngDecoding, EmptyDataChunksChangeNothing) {
    TempDir dir;
    const unsigned char rgb[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 15, 10, 5};
    ASSERT_TRUE(stbi_write_png(dir.file("plain.png").c_str(), 2, 2, 3, rgb, 6));
    const Bytes plain = imaging_test::readBytes(dir.file("plain.png"));
    const Image expected = imaging::decodeImage(plain.data(), plain.size(), "plain.png");

    // Chunks: signature, IHDR (8 + 25 bytes), then IDAT ...; empty IDATs go before and after it.
    const Bytes emptyIdat = {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E};
    std::size_t idat = 8 + 25;
    ASSERT_EQ(std::string(plain.begin() + long(idat) + 4, plain.begin() + long(idat) + 8), "IDAT");
    const std::size_t idatLength = (std::size_t(plain[idat]) << 24) | (plain[idat + 1] << 16) |
                                   (plain[idat + 2] << 8) | plain[idat + 3];
    Bytes padded(plain.begin(), plain.begin() + long(idat));
    padded.insert(padded.end(), emptyIdat.begin(), emptyIdat.end());
    padded.insert(padded.end(), plain.begin() + long(idat), plain.begin() + long(idat + 12 + idatLength));
    padded.insert(padded.end(), emptyIdat.begin(), emptyIdat.end());
    padded.insert(padded.end(), plain.begin() + long(idat + 12 + idatLength), plain.end());
    const Image decoded = imaging::decodeImage(padded.data(), padded.size(), "padded.png");
    EXPECT_EQ(decoded.width, 2);
    EXPECT_EQ(decoded.pixels, expected.pixels);
    EXPECT_EQ(decoded.at(1, 1), 0x00050A0F);
}

TEST(BmpDecoding, TwentyFourBitBottomUpWithPadding) {
    TempDir dir;
    // 3 x 2: rows need one byte of padding each. Stored as B, G, R.
    const std::vector<Bytes> rows = {{0x0F, 0x0A, 0x05, 0, 0, 255, 255, 255, 255},
                                     {1, 2, 3, 4, 5, 6, 7, 8, 9}};
    const std::string path = dir.file("p24.bmp");
    imaging_test::writeBytes(path, makeBmp(3, 2, 24, false, rows));
    const Image img = imaging::loadImageFile(path);
    ASSERT_EQ(img.width, 3);
    ASSERT_EQ(img.height, 2);
    EXPECT_EQ(img.at(0, 0), 0x000F0A05);
    EXPECT_EQ(img.at(1, 0), 0x000000FF);
    EXPECT_EQ(img.at(2, 0), 0x00FFFFFF);
    EXPECT_EQ(img.at(0, 1), 0x00010203);
    EXPECT_EQ(img.at(2, 1), 0x00070809);
}

TEST(BmpDecoding, TwentyFourBitTopDown) {
    TempDir dir;
    const std::vector<Bytes> rows = {{10, 20, 30}, {40, 50, 60}};
    const std::string path = dir.file("td.bmp");
    imaging_test::writeBytes(path, makeBmp(1, 2, 24, true, rows));
    const Image img = imaging::loadImageFile(path);
    ASSERT_EQ(img.height, 2);
    EXPECT_EQ(img.at(0, 0), 0x000A141E);
    EXPECT_EQ(img.at(0, 1), 0x0028323C);
}

TEST(BmpDecoding, ThirtyTwoBit) {
    TempDir dir;
    const std::vector<Bytes> rows = {{1, 2, 3, 0, 200, 100, 50, 0}};
    const std::string path = dir.file("p32.bmp");
    imaging_test::writeBytes(path, makeBmp(2, 1, 32, false, rows));
    const Image img = imaging::loadImageFile(path);
    ASSERT_EQ(img.width, 2);
    EXPECT_EQ(img.at(0, 0), 0x00010203);
    EXPECT_EQ(img.at(1, 0), 0x00C86432);
}

TEST(BmpDecoding, EightBitPalette) {
    TempDir dir;
    const Bytes palette = {0, 0, 0, 0, 255, 255, 255, 0, 0x0F, 0x0A, 0x05, 0};
    const std::vector<Bytes> rows = {{2, 1, 0}, {0, 2, 1}};
    const std::string path = dir.file("p8.bmp");
    imaging_test::writeBytes(path, makeBmp(3, 2, 8, false, rows, palette));
    const Image img = imaging::loadImageFile(path);
    ASSERT_EQ(img.width, 3);
    EXPECT_EQ(img.at(0, 0), 0x000F0A05);
    EXPECT_EQ(img.at(1, 0), 0x00FFFFFF);
    EXPECT_EQ(img.at(2, 0), 0x00000000);
    EXPECT_EQ(img.at(1, 1), 0x000F0A05);
}

TEST(BmpDecoding, OneBitPalette) {
    TempDir dir;
    const Bytes palette = {0, 0, 0, 0, 255, 255, 255, 0};
    // 10 pixels a row, most significant bit first: 1011000001 and 0100111110.
    const std::vector<Bytes> rows = {{0xB0, 0x40}, {0x4F, 0x80}};
    const std::string path = dir.file("p1.bmp");
    imaging_test::writeBytes(path, makeBmp(10, 2, 1, false, rows, palette));
    const Image img = imaging::loadImageFile(path);
    ASSERT_EQ(img.width, 10);
    const char* expected[] = {"1011000001", "0100111110"};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(img.at(x, y), expected[y][x] == '1' ? imaging::kWhite : imaging::kBlack) << x << "," << y;
}

TEST(BmpWriting, UncompressedTwentyFourBitLayout) {
    TempDir dir;
    Image img(3, 2, imaging::kWhite);
    img.at(0, 0) = 0x00050A0F;  // blue 5, green 10, red 15
    img.at(2, 1) = 0x00FF0000;
    const std::string path = dir.file("out.bmp");
    imaging::saveBmp(img, path);
    const Bytes b = imaging_test::readBytes(path);
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    const uint32_t stride = 12;  // 9 bytes of pixels padded to a multiple of 4
    EXPECT_EQ(imaging_test::get32(b, 2), b.size());
    const uint32_t offset = imaging_test::get32(b, 10);
    EXPECT_EQ(offset + stride * 2, b.size());
    EXPECT_EQ(int32_t(imaging_test::get32(b, 18)), 3);
    const int32_t height = int32_t(imaging_test::get32(b, 22));
    EXPECT_EQ(std::abs(height), 2);
    EXPECT_EQ(imaging_test::get16(b, 26), 1);   // planes
    EXPECT_EQ(imaging_test::get16(b, 28), 24);  // bits per pixel
    EXPECT_EQ(imaging_test::get32(b, 30), 0u);  // no compression
    // Pixel (0, 0) is stored as B, G, R in the top row (last stored row when bottom-up).
    const std::size_t top = offset + (height > 0 ? stride : 0);
    const std::size_t bottom = offset + (height > 0 ? 0 : stride);
    EXPECT_EQ(b[top], 5);
    EXPECT_EQ(b[top + 1], 10);
    EXPECT_EQ(b[top + 2], 15);
    EXPECT_EQ(b[bottom + 6], 255);
    EXPECT_EQ(b[bottom + 7], 0);
    EXPECT_EQ(b[bottom + 8], 0);
}

TEST(BmpWriting, ReplacesAnExistingFile) {
    TempDir dir;
    const std::string path = dir.file("r.bmp");
    imaging_test::writeBytes(path, Bytes(5000, 0xAB));
    imaging::saveBmp(Image(2, 2, imaging::kBlack), path);
    EXPECT_EQ(imaging_test::readBytes(path).size(), 54u + 2 * 8);
    EXPECT_EQ(imaging::loadImageFile(path).pixels, std::vector<Colour>(4, imaging::kBlack));
}

// ---------------------------------------------------------------------------------------------
// Bad input

TEST(BadPicture, MissingFileIsFileNotFound) {
    TempDir dir;
    const std::string path = dir.file("absent.jpg");
    try {
        (void)imaging::loadImageFile(path);
        FAIL() << "no error";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(std::string(e.what()), "File not found: " + path);
        EXPECT_EQ(e.kind(), imaging::ErrorKind::FileNotFound);
    }
}

TEST(BadPicture, DirectoryIsNotAPicture) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder.jpg"));
    expectBadFile(dir.file("folder.jpg"));
}

TEST(BadPicture, EmptyFile) {
    TempDir dir;
    expectBadBytes(dir, "empty.jpg", {});
    expectBadBytes(dir, "empty.bmp", {});
}

TEST(BadPicture, TextFile) {
    TempDir dir;
    const std::string text = "Start(A)\nthis is not a picture, just some text\n";
    expectBadBytes(dir, "notes.jpg", Bytes(text.begin(), text.end()));
    expectBadBytes(dir, "B.txt", {'B'});
    expectBadBytes(dir, "BM.bmp", {'B', 'M'});
}

TEST(BadPicture, TruncatedJpeg) {
    TempDir dir;
    const Bytes full = imaging_test::readBytes(kSkinJpeg);
    ASSERT_GT(full.size(), 1000u);
    for (std::size_t keep : {std::size_t(2), std::size_t(3), std::size_t(20), std::size_t(200), full.size() / 2,
                             full.size() - 1000}) {
        expectBadBytes(dir, "cut" + std::to_string(keep) + ".jpg", Bytes(full.begin(), full.begin() + long(keep)));
    }
}

TEST(BadPicture, TruncatedBmp) {
    TempDir dir;
    Image img(100, 100, imaging::greyColour(90));
    const std::string good = dir.file("good.bmp");
    imaging::saveBmp(img, good);
    const Bytes full = imaging_test::readBytes(good);
    for (std::size_t keep : {std::size_t(10), std::size_t(30), std::size_t(54), std::size_t(1000), full.size() - 1}) {
        expectBadBytes(dir, "cut" + std::to_string(keep) + ".bmp", Bytes(full.begin(), full.begin() + long(keep)));
    }
}

TEST(BadPicture, TruncatedPng) {
    TempDir dir;
    const Image jpeg = imaging::loadImageFile(kSkinJpeg);
    const std::vector<unsigned char> rgb = rgbBytes(jpeg);
    const std::string good = dir.file("good.png");
    ASSERT_TRUE(stbi_write_png(good.c_str(), jpeg.width, jpeg.height, 3, rgb.data(), jpeg.width * 3));
    const Bytes full = imaging_test::readBytes(good);
    for (std::size_t keep : {std::size_t(8), std::size_t(30), full.size() / 2}) {
        expectBadBytes(dir, "cut" + std::to_string(keep) + ".png", Bytes(full.begin(), full.begin() + long(keep)));
    }
}

TEST(BadPicture, CorruptJpegHeaderAndData) {
    TempDir dir;
    const Bytes full = imaging_test::readBytes(kSkinJpeg);
    const std::size_t sof = sofOffset(full);

    Bytes precision = full;
    precision[sof + 4] = 9;  // sample precision other than 8
    expectBadBytes(dir, "precision.jpg", precision);

    expectBadBytes(dir, "zerowidth.jpg", withFrameSize(full, 0, 300));
    expectBadBytes(dir, "zeroheight.jpg", withFrameSize(full, 400, 0));

    Bytes components = full;
    components[sof + 9] = 0;  // no colour components
    expectBadBytes(dir, "components.jpg", components);

    // An end-of-image marker in the middle of the compressed data.
    Bytes early = full;
    early[full.size() / 2] = 0xFF;
    early[full.size() / 2 + 1] = 0xD9;
    expectBadBytes(dir, "early-end.jpg", early);

    // The start-of-image marker followed by noise.
    Bytes noise = {0xFF, 0xD8};
    const Bytes tail = noiseBytes(7, 3000);
    noise.insert(noise.end(), tail.begin(), tail.end());
    expectBadBytes(dir, "noise.jpg", noise);
}

TEST(BadPicture, CorruptPng) {
    TempDir dir;
    // Valid signature and header but compressed data that is not a zlib stream.
    expectBadBytes(dir, "garbage-idat.png", pngWithHeader(4, 4, noiseBytes(3, 64)));
    // No image data at all.
    expectBadBytes(dir, "no-idat.png", pngWithHeader(4, 4, {}));
    expectBadBytes(dir, "zero.png", pngWithHeader(0, 4, noiseBytes(5, 16)));
}

TEST(BadPicture, BmpWithLyingHeader) {
    TempDir dir;
    const Bytes somePixels = noiseBytes(11, 300);
    auto lying = [&](const std::string& name, BmpHeader h, const Bytes& tail) {
        Bytes b = imaging_test::bmpHeaderBytes(h);
        b.insert(b.end(), tail.begin(), tail.end());
        expectBadBytes(dir, name, b);
    };
    BmpHeader h;
    h.width = 100000;
    h.height = 100000;
    lying("huge.bmp", h, somePixels);
    h = {};
    h.width = 5000;
    h.height = 5000;  // under the size cap, but the file holds 300 bytes of pixels
    lying("short.bmp", h, somePixels);
    h = {};
    h.width = 0;
    h.height = 10;
    lying("zero-width.bmp", h, somePixels);
    h = {};
    h.width = 10;
    h.height = 0;
    lying("zero-height.bmp", h, somePixels);
    h = {};
    h.width = -10;
    h.height = 10;
    lying("negative-width.bmp", h, somePixels);
    h = {};
    h.width = 10;
    h.height = INT32_MIN;
    lying("min-height.bmp", h, somePixels);
    h = {};
    h.width = INT32_MIN;
    h.height = INT32_MIN;
    lying("min-both.bmp", h, somePixels);
    h = {};
    h.width = 4;
    h.height = 4;
    h.dataOffset = 0xFFFFFF00u;
    lying("huge-offset.bmp", h, somePixels);
    h.dataOffset = 0x7FFFFFFFu;
    lying("far-offset.bmp", h, somePixels);
    for (uint16_t bpp : {uint16_t(0), uint16_t(3), uint16_t(7), uint16_t(64), uint16_t(65535)}) {
        h = {};
        h.width = 4;
        h.height = 4;
        h.bitsPerPixel = bpp;
        lying("bpp" + std::to_string(bpp) + ".bmp", h, somePixels);
    }
    h = {};
    h.width = 4;
    h.height = 4;
    h.compression = 99;
    lying("compression.bmp", h, somePixels);
    // Compression values that no BMP defines, with too little and with enough pixel data.
    for (uint32_t compression : {0x80000000u, 0xFFFFFFFFu, 0xAF0BF680u}) {
        h = {};
        h.width = 100;
        h.height = 100;
        h.compression = compression;
        lying("compression-" + std::to_string(compression) + ".bmp", h, {0, 0, 0, 0});
        h.width = 4;
        h.height = 4;
        lying("compression-full-" + std::to_string(compression) + ".bmp", h, somePixels);
    }
    h = {};
    h.width = 4;
    h.height = 4;
    h.bitsPerPixel = 8;
    h.coloursUsed = 0xFFFFFFFFu;
    lying("palette.bmp", h, somePixels);
    h = {};
    h.width = 4;
    h.height = 4;
    h.infoSize = 0xFFFFFFFFu;
    lying("info-size.bmp", h, somePixels);
    h.infoSize = 0;
    lying("info-size0.bmp", h, somePixels);
    h = {};
    h.width = 65536;
    h.height = 65536;
    h.bitsPerPixel = 32;  // width x height x 4 overflows 32 bits
    lying("wrap.bmp", h, somePixels);
}

TEST(BadPicture, OverTheSizeCap) {
    TempDir dir;
    static_assert(imaging::kMaxPicturePixels == 100'000'000);
    BmpHeader h;
    h.width = 10001;
    h.height = 10000;  // 100.01 megapixels
    Bytes bmp = imaging_test::bmpHeaderBytes(h);
    expectBadBytes(dir, "cap.bmp", bmp);
    h.height = -10000;
    expectBadBytes(dir, "cap-topdown.bmp", imaging_test::bmpHeaderBytes(h));

    expectBadBytes(dir, "cap.png", pngWithHeader(20000, 5001, noiseBytes(9, 64)));
    expectBadBytes(dir, "huge.png", pngWithHeader(0x7FFFFFFFu, 0x7FFFFFFFu, noiseBytes(9, 64)));
    // Sizes beyond what a PNG may hold: width x height does not even fit 64 signed bits.
    expectBadBytes(dir, "beyond.png", pngWithHeader(0xFFFFFFFFu, 0xFFFFFFFFu, noiseBytes(9, 64)));
    expectBadBytes(dir, "beyond-w.png", pngWithHeader(0xFFFFFFFFu, 1, noiseBytes(9, 64)));

    // A JPEG whose frame header announces 10001 x 10000 (or the largest size a JPEG can hold).
    const Bytes small = smallJpeg(dir, 16, 16, 90);
    expectBadBytes(dir, "cap.jpg", withFrameSize(small, 10001, 10000));
    expectBadBytes(dir, "max.jpg", withFrameSize(small, 65500, 65500));
}

TEST(BadPicture, InMemoryErrorsNameTheGivenName) {
    const std::string message = imaging_test::runErrorMessage([] { (void)imaging::decodeImage(nullptr, 0, "mem.jpg"); });
    EXPECT_NE(message.find("mem.jpg"), std::string::npos) << message;
    const unsigned char text[] = "hello";
    const std::string m2 = imaging_test::runErrorMessage([&] { (void)imaging::decodeImage(text, 5, "hello.bmp"); });
    EXPECT_NE(m2.find("hello.bmp"), std::string::npos) << m2;
}

TEST(BadPicture, NoiseWithPictureSignaturesNeverCrashes) {
    // Each prefix makes the decoder take its JPEG, BMP or PNG path; the rest is noise or a damaged
    // copy of a real picture. Every input must decode consistently or throw RunError.
    TempDir dir;
    const Bytes jpeg = smallJpeg(dir, 24, 16, 80);
    const Bytes bmpGood = [] {
        const std::vector<Bytes> rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
        return makeBmp(2, 2, 24, false, rows);
    }();
    const std::vector<Bytes> bases = {jpeg, bmpGood, {0xFF, 0xD8, 0xFF}, {'B', 'M'},
                                      {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}};
    int decoded = 0, rejected = 0;
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        Bytes input = bases[seed % bases.size()];
        const Bytes noise = noiseBytes(seed, 16 + seed % 400);
        if (input.size() > 20) {
            // Damage a real picture: overwrite a few bytes after its first 2.
            for (std::size_t k = 0; k < 4; ++k) input[2 + (noise[k] * 131 + noise[k + 4]) % (input.size() - 2)] = noise[k + 8];
        } else {
            input.insert(input.end(), noise.begin(), noise.end());
        }
        try {
            const Image img = imaging::decodeImage(input.data(), input.size(), "noise");
            expectConsistent(img);
            ++decoded;
        } catch (const imaging::RunError& e) {
            EXPECT_NE(std::string(e.what()).find("noise"), std::string::npos) << e.what();
            ++rejected;
        }
    }
    EXPECT_EQ(decoded + rejected, 300);
    EXPECT_GT(rejected, 0);
}
