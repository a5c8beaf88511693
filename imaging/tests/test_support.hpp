#pragma once
// Helpers shared by the imaging tests: a private temporary directory per test and raw file writing.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/errors.hpp"
#include "testdata/scratch_folder.hpp"

namespace imaging_test {

using Bytes = std::vector<unsigned char>;

// The kind of the RunError that `action` throws (fails the test when nothing or something else is
// thrown).
template <typename F>
imaging::ErrorKind errorKindOf(F&& action) {
    try {
        action();
    } catch (const imaging::RunError& e) {
        return e.kind();
    }
    ADD_FAILURE() << "expected imaging::RunError";
    return imaging::ErrorKind::Refused;
}

// A private temporary directory per test.
using TempDir = morph::testdata::ScratchFolder;

inline void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
inline uint32_t get32(const Bytes& b, std::size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
inline uint16_t get16(const Bytes& b, std::size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

// The 54-byte header of a BMP with a BITMAPINFOHEADER; every field is given as written, so that a
// test can make it lie.
struct BmpHeader {
    uint32_t fileSize = 0;
    uint32_t dataOffset = 54;
    uint32_t infoSize = 40;
    int32_t width = 1;
    int32_t height = 1;
    uint16_t planes = 1;
    uint16_t bitsPerPixel = 24;
    uint32_t compression = 0;
    uint32_t imageSize = 0;
    uint32_t coloursUsed = 0;
};

inline Bytes bmpHeaderBytes(const BmpHeader& h) {
    Bytes b{'B', 'M'};
    put32(b, h.fileSize);
    put32(b, 0);
    put32(b, h.dataOffset);
    put32(b, h.infoSize);
    put32(b, uint32_t(h.width));
    put32(b, uint32_t(h.height));
    put16(b, h.planes);
    put16(b, h.bitsPerPixel);
    put32(b, h.compression);
    put32(b, h.imageSize);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, h.coloursUsed);
    put32(b, 0);
    return b;
}

// Runs `action`, expects an imaging::RunError and returns its message ("" with a failure otherwise).
template <typename F>
std::string runErrorMessage(F&& action) {
    try {
        action();
    } catch (const imaging::RunError& e) {
        return e.what();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "expected imaging::RunError, got another exception: " << e.what();
        return "";
    }
    ADD_FAILURE() << "expected imaging::RunError, nothing was thrown";
    return "";
}

}  // namespace imaging_test
