#pragma once
// The EXIF orientation of a JPEG photograph. The programs analyse the pixels as they are stored
// (as every reader of libjpeg-turbo gets them) and never turn them; a camera held upright often
// stores its picture turned and records in the Exif block how a viewer should turn it back. A
// position the programs report or accept is a position in the stored pixels: a viewer that turns
// the picture by its orientation shows the same pixel at other coordinates.

#include <cstddef>
#include <string>

namespace imaging {

// The Orientation tag (0x0112) of the Exif block's first directory (IFD0) in a JPEG's APP1
// segment: 1..8 as recorded. 0 when the file is not a JPEG, cannot be read, has no Exif block, or
// its block holds no orientation or one outside 1..8. Reads only the file's head, up to its Exif
// block.
int exifOrientation(const std::string& name);

// The same for a JPEG file's bytes in memory (any bytes: a bad block gives 0).
int exifOrientationOf(const unsigned char* data, std::size_t size);

// How a viewer that follows orientation 2..8 shows the stored pixels ("turned 90 degrees
// clockwise"); empty for 1 and for values outside 1..8.
std::string orientationMeaning(int orientation);

// The warning the tools give for a photograph whose orientation is neither 0 nor 1, e.g.
// "EXIF orientation 6: viewers that follow it show the photograph turned 90 degrees clockwise;
// the analysis uses the pixels as stored and every position is a position in them"; empty for 0
// and 1.
std::string exifOrientationWarning(int orientation);

}  // namespace imaging
