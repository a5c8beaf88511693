#pragma once
// JPEG fixtures with an Exif block: an APP1 segment ("Exif\0\0", a TIFF header and the first
// directory, IFD0) written into a JPEG's bytes right after its start marker.

#include <cstdint>
#include <string>
#include <vector>

namespace morph::testdata {

using ByteString = std::vector<unsigned char>;

// One directory entry of the Exif block: tag, type (3 = SHORT, 2 = ASCII, 4 = LONG), count and
// the four bytes of its value field as they would be written in the block's byte order.
struct ExifEntry {
    uint16_t tag = 0x0112;
    uint16_t type = 3;
    uint32_t count = 1;
    uint32_t value = 0;  // a SHORT value goes into the field's first two bytes
};

// The APP1 segment holding one IFD0 with `entries` (and, when `thumbnailEntries` is not empty, an
// IFD1 after it), in little-endian ("II") or big-endian ("MM") byte order.
inline ByteString exifSegment(const std::vector<ExifEntry>& entries, bool bigEndian = false,
                              const std::vector<ExifEntry>& thumbnailEntries = {}) {
    ByteString tiff;
    auto put16 = [&](uint16_t v) {
        if (bigEndian) {
            tiff.push_back(uint8_t(v >> 8));
            tiff.push_back(uint8_t(v));
        } else {
            tiff.push_back(uint8_t(v));
            tiff.push_back(uint8_t(v >> 8));
        }
    };
    auto put32 = [&](uint32_t v) {
        if (bigEndian) {
            put16(uint16_t(v >> 16));
            put16(uint16_t(v));
        } else {
            put16(uint16_t(v));
            put16(uint16_t(v >> 16));
        }
    };
    auto putDirectory = [&](const std::vector<ExifEntry>& list, uint32_t next) {
        put16(uint16_t(list.size()));
        for (const ExifEntry& e : list) {
            put16(e.tag);
            put16(e.type);
            put32(e.count);
            if (e.type == 3 && e.count == 1) {
                put16(uint16_t(e.value));
                put16(0);
            } else {
                put32(e.value);
            }
        }
        put32(next);
    };
    tiff.push_back(bigEndian ? 'M' : 'I');
    tiff.push_back(bigEndian ? 'M' : 'I');
    put16(42);
    put32(8);
    const uint32_t ifd1 = thumbnailEntries.empty() ? 0 : uint32_t(8 + 2 + 12 * entries.size() + 4);
    putDirectory(entries, ifd1);
    if (!thumbnailEntries.empty()) putDirectory(thumbnailEntries, 0);

    const unsigned char head[10] = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    ByteString segment(sizeof head + tiff.size());
    for (std::size_t i = 0; i < sizeof head; ++i) segment[i] = head[i];
    for (std::size_t i = 0; i < tiff.size(); ++i) segment[sizeof head + i] = tiff[i];
    const std::size_t length = segment.size() - 2;  // the length counts itself, not the marker
    segment[2] = uint8_t(length >> 8);
    segment[3] = uint8_t(length);
    return segment;
}

// The segment with one IFD0 entry: Orientation (0x0112, SHORT) = `orientation`.
inline ByteString orientationSegment(int orientation, bool bigEndian = false) {
    return exifSegment({ExifEntry{0x0112, 3, 1, uint32_t(orientation)}}, bigEndian);
}

// The JPEG `jpeg` with `segment` inserted right after its start marker (FF D8).
inline ByteString withSegment(const ByteString& jpeg, const ByteString& segment) {
    ByteString out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), segment.begin(), segment.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

}  // namespace morph::testdata
