// Bad picture files must be refused before any large allocation: a file of a few hundred bytes
// whose header announces a huge picture (or a huge chunk) may not make the decoder reserve
// gigabytes. The test binary watches every malloc/calloc/realloc request (also those made inside
// libjpeg and stb) and records the largest one. Sanitizer builds use their own allocator, so there
// the check is skipped (the fuzzer's malloc limit covers it).

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <stb_image_write.h>

#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "test_support.hpp"

#if defined(__SANITIZE_ADDRESS__)
#define IMAGING_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define IMAGING_TEST_SANITIZED 1
#endif
#endif

namespace {

std::atomic<std::size_t> largestRequest{0};

[[maybe_unused]] void note(std::size_t n) {
    std::size_t seen = largestRequest.load(std::memory_order_relaxed);
    while (n > seen && !largestRequest.compare_exchange_weak(seen, n, std::memory_order_relaxed)) {
    }
}

}  // namespace

#if !defined(IMAGING_TEST_SANITIZED) && defined(__GLIBC__)
// glibc's own entry points; the definitions below forward to them after noting the request size.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t n) {
    note(n);
    return __libc_malloc(n);
}
void* calloc(std::size_t count, std::size_t size) {
    note(size != 0 && count > SIZE_MAX / size ? SIZE_MAX : count * size);
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t n) {
    note(n);
    return __libc_realloc(p, n);
}
void free(void* p) { __libc_free(p); }
}
#define IMAGING_TEST_WATCHES_ALLOCATIONS 1
#endif

namespace {

using imaging_test::Bytes;

constexpr std::size_t kLimit = 16u << 20;  // far more than any of these tiny files can justify

// Decodes `bytes` (expecting a RunError naming `name`) and returns the largest allocation request.
[[maybe_unused]] std::size_t largestRequestWhileDecoding(const Bytes& bytes, const std::string& name) {
    largestRequest = 0;
    const std::string message =
        imaging_test::runErrorMessage([&] { (void)imaging::decodeImage(bytes.data(), bytes.size(), name); });
    if (!message.empty()) {
        EXPECT_NE(message.find(name), std::string::npos) << message;
    }
    return largestRequest.load();
}

void putBig32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}

uint32_t crc32(const Bytes& data) {
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char byte : data) {
        c ^= byte;
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
}

// A PNG chunk whose length field says `declaredLength` while only `data` follows.
void chunk(Bytes& png, const char* type, const Bytes& data, uint32_t declaredLength) {
    putBig32(png, declaredLength);
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    putBig32(png, crc32(body));
}

[[maybe_unused]] Bytes pngSignatureAndHeader(uint32_t width, uint32_t height) {
    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    putBig32(ihdr, width);
    putBig32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
    chunk(png, "IHDR", ihdr, 13);
    return png;
}

}  // namespace

TEST(Allocation, WatcherSeesLargeRequests) {
#ifndef IMAGING_TEST_WATCHES_ALLOCATIONS
    GTEST_SKIP() << "allocations are not watched in sanitizer builds";
#else
    largestRequest = 0;
    std::vector<char>* v = new std::vector<char>(40u << 20);
    EXPECT_GE(largestRequest.load(), std::size_t(40u << 20));
    delete v;
#endif
}

TEST(Allocation, PngChunkLongerThanTheFile) {
#ifndef IMAGING_TEST_WATCHES_ALLOCATIONS
    GTEST_SKIP() << "allocations are not watched in sanitizer builds";
#else
    // 4 x 4 picture, then an image-data chunk announcing 2113929242 bytes in a file of about 80.
    Bytes png = pngSignatureAndHeader(4, 4);
    chunk(png, "IDAT", {0x78, 0x5E, 0x63, 0x64, 0xF8, 0x1F, 0xC5, 0x20}, 0x7E00001Au);
    chunk(png, "IEND", {}, 0);
    EXPECT_LT(largestRequestWhileDecoding(png, "long-chunk.png"), kLimit);

    // The same with the file ending inside the lying chunk, before its checksum.
    Bytes cut = pngSignatureAndHeader(4, 4);
    cut.insert(cut.end(), {0x44, 0x41, 0x54, 0x78, 'I', 'D', 'A', 'T', 0x78, 0x5E, 0x23});
    EXPECT_LT(largestRequestWhileDecoding(cut, "cut-chunk.png"), kLimit);
#endif
}

TEST(Allocation, PngHeaderAnnouncingAHugePicture) {
#ifndef IMAGING_TEST_WATCHES_ALLOCATIONS
    GTEST_SKIP() << "allocations are not watched in sanitizer builds";
#else
    for (auto [w, h] : std::vector<std::pair<uint32_t, uint32_t>>{{10000, 9999}, {16000000, 6}, {0x7FFFFFFF, 1}}) {
        Bytes png = pngSignatureAndHeader(w, h);
        chunk(png, "IDAT", {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}, 8);
        chunk(png, "IEND", {}, 0);
        EXPECT_LT(largestRequestWhileDecoding(png, "huge.png"), kLimit) << w << " x " << h;
    }
#endif
}

TEST(Allocation, BmpHeaderAnnouncingAHugePicture) {
#ifndef IMAGING_TEST_WATCHES_ALLOCATIONS
    GTEST_SKIP() << "allocations are not watched in sanitizer builds";
#else
    for (auto [w, h, bpp] : std::vector<std::tuple<int32_t, int32_t, uint16_t>>{
             {10000, 9999, 24}, {10000, -9999, 32}, {9999, 10000, 8}, {100000, 1000, 1}}) {
        imaging_test::BmpHeader header;
        header.width = w;
        header.height = h;
        header.bitsPerPixel = bpp;
        Bytes bmp = imaging_test::bmpHeaderBytes(header);
        bmp.resize(bmp.size() + 400, 0x55);
        EXPECT_LT(largestRequestWhileDecoding(bmp, "huge.bmp"), kLimit) << w << " x " << h << " x " << bpp;
    }
    // The same with a compression field no BMP defines (a negative number when read as int).
    imaging_test::BmpHeader header;
    header.width = 10000;
    header.height = 9999;
    header.compression = 0x80000000u;
    Bytes bmp = imaging_test::bmpHeaderBytes(header);
    bmp.resize(bmp.size() + 4, 0);
    EXPECT_LT(largestRequestWhileDecoding(bmp, "odd-compression.bmp"), kLimit);
#endif
}

TEST(Allocation, JpegFrameAnnouncingAHugePicture) {
#ifndef IMAGING_TEST_WATCHES_ALLOCATIONS
    GTEST_SKIP() << "allocations are not watched in sanitizer builds";
#else
    // A 16 x 16 JPEG written in memory, its frame header then rewritten to 10000 x 9999.
    Bytes jpeg;
    std::vector<unsigned char> pixels(16 * 16 * 3, 128);
    ASSERT_TRUE(stbi_write_jpg_to_func(
        [](void* context, void* data, int size) {
            auto* out = static_cast<Bytes*>(context);
            out->insert(out->end(), static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
        },
        &jpeg, 16, 16, 3, pixels.data(), 90));
    ASSERT_GT(jpeg.size(), 100u);
    std::size_t i = 2;
    while (i + 8 < jpeg.size() && jpeg[i] == 0xFF && !(jpeg[i + 1] >= 0xC0 && jpeg[i + 1] <= 0xC2))
        i += 2 + (std::size_t(jpeg[i + 2]) << 8 | jpeg[i + 3]);
    ASSERT_LT(i + 8, jpeg.size());
    jpeg[i + 5] = uint8_t(9999 >> 8);
    jpeg[i + 6] = uint8_t(9999 & 0xFF);
    jpeg[i + 7] = uint8_t(10000 >> 8);
    jpeg[i + 8] = uint8_t(10000 & 0xFF);
    EXPECT_LT(largestRequestWhileDecoding(jpeg, "huge.jpg"), kLimit);
#endif
}
