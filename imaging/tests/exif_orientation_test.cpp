// The EXIF orientation of a JPEG: read from the Exif block's IFD0 in either byte order, 0 for
// anything else, never a crash on a cut or damaged block; the pixels stay as stored.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/exif_orientation.hpp"
#include "imaging/image_file.hpp"
#include "test_support.hpp"
#include "testdata/exif_jpeg.hpp"

using imaging_test::Bytes;
using imaging_test::TempDir;
using morph::testdata::ExifEntry;
using morph::testdata::exifSegment;
using morph::testdata::orientationSegment;
using morph::testdata::withSegment;

namespace {

const std::string kSkinJpeg = std::string(MORPH_TESTDATA_DIR) + "/reference/skin_texture.jpg";

Bytes skinJpeg() { return imaging_test::readBytes(kSkinJpeg); }

int orientationOf(const Bytes& bytes) { return imaging::exifOrientationOf(bytes.data(), bytes.size()); }

}  // namespace

TEST(ExifOrientation, EveryRecordedValueInEitherByteOrderFromMemoryAndFile) {
    TempDir dir;
    const Bytes plain = skinJpeg();
    for (bool bigEndian : {false, true}) {
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(std::to_string(orientation) + (bigEndian ? " MM" : " II"));
            const Bytes jpeg = withSegment(plain, orientationSegment(orientation, bigEndian));
            EXPECT_EQ(orientationOf(jpeg), orientation);
            const std::string path = (dir.path() / "turned.jpg").string();
            imaging_test::writeBytes(path, jpeg);
            EXPECT_EQ(imaging::exifOrientation(path), orientation);
        }
    }
}

TEST(ExifOrientation, BlockAfterTheJfifSegmentIsFound) {
    const Bytes plain = skinJpeg();
    ASSERT_EQ(plain[2], 0xFF);
    ASSERT_EQ(plain[3], 0xE0);  // the fixture starts with its JFIF APP0 segment
    const std::size_t afterApp0 = 4 + (std::size_t(plain[4]) << 8 | plain[5]);
    const Bytes segment = orientationSegment(8);
    Bytes jpeg(plain.begin(), plain.begin() + long(afterApp0));
    jpeg.insert(jpeg.end(), segment.begin(), segment.end());
    jpeg.insert(jpeg.end(), plain.begin() + long(afterApp0), plain.end());
    EXPECT_EQ(orientationOf(jpeg), 8);
}

TEST(ExifOrientation, ZeroWithoutARecordedValidOrientation) {
    const Bytes plain = skinJpeg();
    EXPECT_EQ(orientationOf(plain), 0) << "no Exif block";
    // A block with other tags only (ImageWidth).
    EXPECT_EQ(orientationOf(withSegment(plain, exifSegment({ExifEntry{0x0100, 3, 1, 640}}))), 0);
    // Values outside 1..8.
    EXPECT_EQ(orientationOf(withSegment(plain, orientationSegment(0))), 0);
    EXPECT_EQ(orientationOf(withSegment(plain, orientationSegment(9))), 0);
    EXPECT_EQ(orientationOf(withSegment(plain, orientationSegment(0xFFFF))), 0);
    // An orientation in the thumbnail's directory (IFD1) is not the photograph's.
    EXPECT_EQ(orientationOf(withSegment(plain, exifSegment({ExifEntry{0x0100, 3, 1, 640}}, false,
                                                           {ExifEntry{0x0112, 3, 1, 6}}))),
              0);
    // The same tag with IFD0 holding 3 and IFD1 holding 6: IFD0's.
    EXPECT_EQ(orientationOf(withSegment(plain, exifSegment({ExifEntry{0x0112, 3, 1, 3}}, true,
                                                           {ExifEntry{0x0112, 3, 1, 6}}))),
              3);
}

TEST(ExifOrientation, ZeroForFilesThatAreNotJpegs) {
    TempDir dir;
    const std::string bmp = (dir.path() / "x.bmp").string();
    imaging::saveBmp(imaging::Image(4, 3), bmp);
    EXPECT_EQ(imaging::exifOrientation(bmp), 0);
    // Exif bytes alone, without the JPEG start marker, are no JPEG.
    const Bytes segment = orientationSegment(6);
    const Bytes rawBlock(segment.begin() + 4, segment.end());
    EXPECT_EQ(orientationOf(rawBlock), 0);
    const std::string raw = (dir.path() / "raw.exif").string();
    imaging_test::writeBytes(raw, rawBlock);
    EXPECT_EQ(imaging::exifOrientation(raw), 0);
    EXPECT_EQ(imaging::exifOrientation((dir.path() / "missing.jpg").string()), 0);
    EXPECT_EQ(imaging::exifOrientation(dir.path().string()), 0) << "a folder";
    EXPECT_EQ(imaging::exifOrientationOf(nullptr, 0), 0);
}

TEST(ExifOrientation, CutOrDamagedBlocksGiveZeroOrTheValueNeverACrash) {
    const Bytes jpeg = withSegment(skinJpeg(), orientationSegment(6, true));
    const std::size_t blockEnd = 2 + orientationSegment(6, true).size();
    // Every cut inside the block and shortly after it.
    for (std::size_t size = 0; size <= blockEnd + 16; ++size) {
        const Bytes cut(jpeg.begin(), jpeg.begin() + long(size));
        const int orientation = orientationOf(cut);
        EXPECT_TRUE(orientation == 0 || orientation == 6) << size;
        if (size >= blockEnd) {
            EXPECT_EQ(orientation, 6) << size;
        }
    }
    // Every byte of the block changed in turn to 0x00 and 0xFF: still no crash, always 0..8.
    for (std::size_t at = 2; at < blockEnd; ++at) {
        for (unsigned char value : {0x00, 0xFF}) {
            Bytes damaged = jpeg;
            damaged[at] = value;
            const int orientation = orientationOf(damaged);
            EXPECT_GE(orientation, 0) << at;
            EXPECT_LE(orientation, 8) << at;
        }
    }
    // A directory that claims far more entries than the block holds.
    Bytes huge = orientationSegment(6);
    huge[10 + 8] = 0xFF;  // entry count (little-endian) in the TIFF data after "Exif\0\0"
    huge[10 + 9] = 0xFF;
    const int orientation = orientationOf(withSegment(skinJpeg(), huge));
    EXPECT_TRUE(orientation == 0 || orientation == 6);
}

TEST(ExifOrientation, PixelsStayAsStored) {
    TempDir dir;
    const std::string plainPath = (dir.path() / "plain.jpg").string();
    const std::string turnedPath = (dir.path() / "turned.jpg").string();
    imaging_test::writeBytes(plainPath, skinJpeg());
    imaging_test::writeBytes(turnedPath, withSegment(skinJpeg(), orientationSegment(6)));
    const imaging::Image plain = imaging::loadImageFile(plainPath);
    const imaging::Image turned = imaging::loadImageFile(turnedPath);
    EXPECT_EQ(turned.width, plain.width);
    EXPECT_EQ(turned.height, plain.height);
    EXPECT_TRUE(turned.pixels == plain.pixels);
}

TEST(ExifOrientation, WarningSaysWhatAViewerShowsAndWhatPositionsAre) {
    EXPECT_EQ(imaging::exifOrientationWarning(6),
              "EXIF orientation 6: viewers that follow it show the photograph turned 90 degrees clockwise; the "
              "analysis uses the pixels as stored and every position is a position in them");
    EXPECT_EQ(imaging::orientationMeaning(3), "turned 180 degrees");
    EXPECT_EQ(imaging::orientationMeaning(8), "turned 90 degrees counter-clockwise");
    EXPECT_EQ(imaging::orientationMeaning(2), "mirrored left to right");
    EXPECT_EQ(imaging::orientationMeaning(4), "mirrored top to bottom");
    for (int orientation = 2; orientation <= 8; ++orientation)
        EXPECT_NE(imaging::exifOrientationWarning(orientation), "") << orientation;
    for (int orientation : {-1, 0, 1, 9}) EXPECT_EQ(imaging::exifOrientationWarning(orientation), "") << orientation;
}
