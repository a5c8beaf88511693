#include "imaging/image_file.hpp"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include <jpeglib.h>
#include <jerror.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include "imaging/errors.hpp"
#include "imaging/file_output.hpp"
#include "imaging/numeric.hpp"
#include "imaging/paths.hpp"

namespace imaging {

namespace {

// Files larger than this are refused before they are read: a 100-megapixel 24-bit BMP is 300 MB.
constexpr std::uintmax_t kMaxFileBytes = 512ull * 1024 * 1024;

// An open picture file and its size, after the checks every read makes: a directory, a missing
// or unreadable file and a file too large are refused with their own messages.
struct OpenedFile {
    std::FILE* file = nullptr;
    std::uintmax_t size = 0;
    OpenedFile() = default;
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;
    ~OpenedFile() {
        if (file) std::fclose(file);
    }
};

void openForReading(const std::string& name, OpenedFile& opened) {
    const std::string path = hostPath(name);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw RunError(ErrorKind::FileError, "Cannot read file (" + systemReason(EISDIR) + "): " + name);
    opened.file = std::fopen(path.c_str(), "rb");
    if (!opened.file) throw RunError::fileNotFound(name);
    if (std::fseek(opened.file, 0, SEEK_END) != 0) throw RunError::fileError("Cannot read file", name);
    const long size = std::ftell(opened.file);
    if (size < 0 || std::fseek(opened.file, 0, SEEK_SET) != 0) throw RunError::fileError("Cannot read file", name);
    if (static_cast<std::uintmax_t>(size) > kMaxFileBytes) throw RunError::badImage(name, "file too large");
    opened.size = static_cast<std::uintmax_t>(size);
}

// Reads the bytes from `from` to the end of the opened file into data[from..]; a file that has
// become shorter since it was opened is a read error.
void readRest(OpenedFile& opened, std::size_t from, std::vector<unsigned char>& data, const std::string& name) {
    data.resize(static_cast<std::size_t>(opened.size));
    if (data.size() > from && std::fread(data.data() + from, 1, data.size() - from, opened.file) != data.size() - from)
        throw RunError::fileError("Cannot read file", name);
}

void readWholeFile(const std::string& name, std::vector<unsigned char>& data) {
    OpenedFile opened;
    openForReading(name, opened);
    readRest(opened, 0, data, name);
}

void checkDimensions(long long width, long long height, const std::string& name) {
    if (width <= 0 || height <= 0) throw RunError::badImage(name, "invalid picture size");
    // Each side is checked first, so the product cannot overflow.
    if (width > kMaxPicturePixels || height > kMaxPicturePixels || width * height > kMaxPicturePixels)
        throw RunError::badImage(name, "picture larger than 100 megapixels (" + numberText(width) + " x " +
                                           numberText(height) + ")");
}

uint32_t le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t le16(const unsigned char* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t be32(const unsigned char* p) { return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

// --- JPEG through libjpeg-turbo with its default decoding settings ---------------------------

struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jpegErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings about damaged data (a truncated file, corrupt entropy data) end the decoding: a
// measurement must not run on pixels the decoder had to invent.
void jpegEmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;  // trace messages
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    if (cinfo->err->msg_code == JWRN_EXTRANEOUS_DATA) return;  // stray bytes between markers: harmless
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// A source that reads the file a chunk at a time into a buffer kept from call to call, so a
// region decode reads the file only as far as the rows it needs and holds no copy of the rest.
// The end of the file is met as libjpeg's memory source meets the end of its data: a warning
// (which ends the decoding, see jpegEmitMessage) and an inserted end marker.
struct FileSource {
    jpeg_source_mgr pub;
    std::FILE* file;
    std::vector<unsigned char>* buffer;
    bool readFailed;
};

void fileSourceInit(j_decompress_ptr) {}
void fileSourceTerm(j_decompress_ptr) {}

boolean fileSourceFill(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<FileSource*>(cinfo->src);
    const std::size_t n = std::fread(src->buffer->data(), 1, src->buffer->size(), src->file);
    if (n == 0) {
        if (std::ferror(src->file)) src->readFailed = true;
        static const JOCTET endMarker[2] = {0xFF, JPEG_EOI};
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->pub.next_input_byte = endMarker;
        src->pub.bytes_in_buffer = 2;
        return TRUE;
    }
    src->pub.next_input_byte = src->buffer->data();
    src->pub.bytes_in_buffer = n;
    return TRUE;
}

void fileSourceSkip(j_decompress_ptr cinfo, long count) {
    jpeg_source_mgr* src = cinfo->src;
    if (count <= 0) return;
    while (count > static_cast<long>(src->bytes_in_buffer)) {
        count -= static_cast<long>(src->bytes_in_buffer);
        (void)(*src->fill_input_buffer)(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

// libjpeg reports errors by longjmp; each call into it is wrapped in a small function whose
// locals are trivial, so no C++ destructor is ever skipped.
struct JpegDecoder {
    jpeg_decompress_struct cinfo;
    JpegErrorManager jerr;
    FileSource fileSource{};  // used when the data are read from an open file
    bool created = false;
    ~JpegDecoder() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

// The data come from memory (file == nullptr) or are read from `file` into `buffer`, whose first
// `buffered` bytes already hold the file's beginning.
struct JpegInput {
    const unsigned char* data = nullptr;
    std::size_t size = 0;  // the whole file's size
    std::FILE* file = nullptr;
    std::vector<unsigned char>* buffer = nullptr;
    std::size_t buffered = 0;
};

bool jpegReadHeader(JpegDecoder& d, const JpegInput& in) {
    if (setjmp(d.jerr.jump)) return false;
    jpeg_create_decompress(&d.cinfo);
    d.created = true;
    if (in.file) {
        FileSource& src = d.fileSource;
        src.pub.init_source = fileSourceInit;
        src.pub.fill_input_buffer = fileSourceFill;
        src.pub.skip_input_data = fileSourceSkip;
        src.pub.resync_to_restart = jpeg_resync_to_restart;
        src.pub.term_source = fileSourceTerm;
        src.pub.next_input_byte = in.buffer->data();
        src.pub.bytes_in_buffer = in.buffered;
        src.file = in.file;
        src.buffer = in.buffer;
        src.readFailed = false;
        d.cinfo.src = &src.pub;
    } else {
        jpeg_mem_src(&d.cinfo, in.data, static_cast<unsigned long>(in.size));
    }
    jpeg_read_header(&d.cinfo, TRUE);
    return true;
}

bool jpegStart(JpegDecoder& d) {
    if (setjmp(d.jerr.jump)) return false;
    d.cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d.cinfo);
    return true;
}

bool jpegReadRow(JpegDecoder& d, JSAMPLE* row) {
    if (setjmp(d.jerr.jump)) return false;
    JSAMPROW rows[1] = {row};
    jpeg_read_scanlines(&d.cinfo, rows, 1);
    return true;
}

bool jpegFinish(JpegDecoder& d) {
    if (setjmp(d.jerr.jump)) return false;
    jpeg_finish_decompress(&d.cinfo);
    return true;
}

bool jpegCrop(JpegDecoder& d, JDIMENSION& xoffset, JDIMENSION& width) {
    if (setjmp(d.jerr.jump)) return false;
    jpeg_crop_scanline(&d.cinfo, &xoffset, &width);
    return true;
}

bool jpegSkip(JpegDecoder& d, JDIMENSION lines, JDIMENSION& skipped) {
    if (setjmp(d.jerr.jump)) return false;
    skipped = jpeg_skip_scanlines(&d.cinfo, lines);
    return true;
}

[[noreturn]] void failJpeg(const JpegDecoder& d, const std::string& name) {
    if (d.cinfo.src == &d.fileSource.pub && d.fileSource.readFailed) throw RunError::fileError("Cannot read file", name);
    throw RunError::badImage(name, std::string("JPEG: ") + d.jerr.message);
}

// Reads the header and starts the decompression to RGB, after the checks on the header.
void startJpeg(JpegDecoder& d, const JpegInput& in, const std::string& name) {
    d.cinfo.err = jpeg_std_error(&d.jerr.pub);
    d.jerr.pub.error_exit = jpegErrorExit;
    d.jerr.pub.emit_message = jpegEmitMessage;
    d.jerr.message[0] = '\0';
    if (!jpegReadHeader(d, in)) failJpeg(d, name);
    checkDimensions(d.cinfo.image_width, d.cinfo.image_height, name);
    // Every 8 x 8 block of a real JPEG needs at least two bits; a header that promises far more
    // pixels than the file can hold is refused before the picture is allocated.
    const long long pixels = static_cast<long long>(d.cinfo.image_width) * d.cinfo.image_height;
    if (static_cast<long long>(in.size) < pixels / 1024)
        throw RunError::badImage(name, "JPEG: file too short for its picture size (truncated?)");
    if (d.cinfo.jpeg_color_space == JCS_CMYK || d.cinfo.jpeg_color_space == JCS_YCCK)
        throw RunError::badImage(name, "JPEG: CMYK pictures are not supported");
    if (!jpegStart(d)) failJpeg(d, name);
}

// Only the rows and block columns around the rectangle are decoded. The smoothing that fills in
// subsampled colour reads one colour sample beyond a decoded block column or row group, and
// treats the edge of a cropped or skipped part as the picture's edge; a margin of one whole
// block column and one row group (of the largest sampling factor) on every side keeps the
// pixels of the rectangle exactly those of a full decode.
void decodeJpegRegion(const JpegInput& in, const std::string& name, int left, int top, int width, int height,
                      PictureRegion& region) {
    JpegDecoder d;
    startJpeg(d, in, name);
    const long long fullWidth = d.cinfo.output_width, fullHeight = d.cinfo.output_height;
    region.fullWidth = static_cast<int>(fullWidth);
    region.fullHeight = static_cast<int>(fullHeight);
    const long long x0 = std::clamp<long long>(left, 0, fullWidth);
    const long long y0 = std::clamp<long long>(top, 0, fullHeight);
    const long long x1 = std::clamp<long long>(static_cast<long long>(left) + std::max(width, 0), x0, fullWidth);
    const long long y1 = std::clamp<long long>(static_cast<long long>(top) + std::max(height, 0), y0, fullHeight);
    region.left = static_cast<int>(x0);
    region.top = static_cast<int>(y0);
    region.pixels.width = static_cast<int>(x1 - x0);
    region.pixels.height = static_cast<int>(y1 - y0);
    region.pixels.pixels.resize(std::size_t(x1 - x0) * std::size_t(y1 - y0));
    if (x0 == x1 || y0 == y1) return;

    const long long marginX = static_cast<long long>(d.cinfo.max_h_samp_factor) * DCTSIZE;
    const long long marginY = static_cast<long long>(d.cinfo.max_v_samp_factor) * DCTSIZE;
    JDIMENSION cropLeft = static_cast<JDIMENSION>(std::max<long long>(x0 - marginX, 0));
    JDIMENSION cropWidth = static_cast<JDIMENSION>(std::min(x1 + marginX, fullWidth) - cropLeft);
    // A crop of the whole width is no crop (and libjpeg refuses none of it).
    if (cropLeft > 0 || cropWidth < fullWidth) {
        if (!jpegCrop(d, cropLeft, cropWidth)) failJpeg(d, name);
    }
    const long long firstRow = std::max<long long>(y0 - marginY, 0);
    while (static_cast<long long>(d.cinfo.output_scanline) < firstRow) {
        JDIMENSION skipped = 0;
        if (!jpegSkip(d, static_cast<JDIMENSION>(firstRow - d.cinfo.output_scanline), skipped)) failJpeg(d, name);
        if (skipped == 0) break;
    }

    std::vector<JSAMPLE> row(static_cast<std::size_t>(d.cinfo.output_width) * 3);
    const std::size_t from = static_cast<std::size_t>(x0 - cropLeft);
    while (static_cast<long long>(d.cinfo.output_scanline) < y1) {
        const long long y = d.cinfo.output_scanline;
        if (!jpegReadRow(d, row.data())) failJpeg(d, name);
        if (y < y0) continue;
        Colour* out = &region.pixels.pixels[std::size_t(y - y0) * std::size_t(x1 - x0)];
        const JSAMPLE* in = &row[3 * from];
        for (long long x = 0; x < x1 - x0; ++x)
            out[x] = in[3 * x] + 256 * in[3 * x + 1] + 65536 * in[3 * x + 2];
    }
    // The rows below are never decoded; the decoder is released without finishing.
}

Image decodeJpeg(const unsigned char* data, std::size_t size, const std::string& name) {
    JpegDecoder d;
    auto fail = [&]() { return RunError::badImage(name, std::string("JPEG: ") + d.jerr.message); };
    JpegInput in;
    in.data = data;
    in.size = size;
    startJpeg(d, in, name);

    Image picture(static_cast<int>(d.cinfo.output_width), static_cast<int>(d.cinfo.output_height));
    std::vector<JSAMPLE> row(static_cast<std::size_t>(d.cinfo.output_width) * 3);
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        const int y = static_cast<int>(d.cinfo.output_scanline);
        if (!jpegReadRow(d, row.data())) throw fail();
        Colour* out = &picture.pixels[std::size_t(y) * std::size_t(picture.width)];
        for (int x = 0; x < picture.width; ++x)
            out[x] = row[3 * x] + 256 * row[3 * x + 1] + 65536 * row[3 * x + 2];
    }
    if (!jpegFinish(d)) throw fail();
    return picture;
}

// --- BMP and PNG through stb, after checking the header against the file ----------------------

void checkBmpHeader(const unsigned char* data, std::size_t size, const std::string& name) {
    if (size < 26) throw RunError::badImage(name, "BMP: truncated header");
    const uint32_t offset = le32(data + 10);
    const uint32_t dibSize = le32(data + 14);
    long long width = 0, height = 0;
    int bpp = 0;
    uint32_t compression = 0;
    if (dibSize == 12) {
        width = le16(data + 18);
        height = static_cast<int16_t>(le16(data + 20));
        bpp = le16(data + 24);
    } else if (dibSize >= 40) {
        if (size < 54) throw RunError::badImage(name, "BMP: truncated header");
        width = static_cast<int32_t>(le32(data + 18));
        height = static_cast<int32_t>(le32(data + 22));
        bpp = le16(data + 28);
        compression = le32(data + 30);
    } else {
        throw RunError::badImage(name, "BMP: unknown header");
    }
    if (height < 0) height = -height;
    checkDimensions(width, height, name);
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        throw RunError::badImage(name, "BMP: unsupported bit depth " + numberText(static_cast<long long>(bpp)));
    if (offset >= size) throw RunError::badImage(name, "BMP: truncated (no pixel data)");
    if (compression == 0 || compression == 3) {
        const long long rowBytes = ((width * bpp + 31) / 32) * 4;
        if (rowBytes * height > static_cast<long long>(size - offset))
            throw RunError::badImage(name, "BMP: truncated (pixel data shorter than the header says)");
    } else if (compression == 1 || compression == 2) {
        throw RunError::badImage(name, "BMP: run-length compressed pictures are not supported");
    } else {
        throw RunError::badImage(name, "BMP: unsupported compression " + numberText(static_cast<long long>(compression)));
    }
}

void checkPngHeader(const unsigned char* data, std::size_t size, const std::string& name) {
    if (size < 33 || std::memcmp(data + 12, "IHDR", 4) != 0) throw RunError::badImage(name, "PNG: truncated header");
    const long long width = be32(data + 16);
    const long long height = be32(data + 20);
    checkDimensions(width, height, name);
    // Every chunk must fit in the file (a lying length would make the decoder reserve it).
    std::size_t at = 8;
    while (at + 8 <= size) {
        const std::size_t length = be32(data + at);
        if (at + 12 > size || length > size - at - 12)
            throw RunError::badImage(name, "PNG: chunk longer than the file (truncated?)");
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) break;
        at += 12 + length;
    }
    // Deflate cannot compress better than about 1032 : 1.
    if (static_cast<long long>(size) < width * height / 1100)
        throw RunError::badImage(name, "PNG: file too short for its picture size (truncated?)");
}

// A PNG without its zero-length IDAT chunks (empty when it has none). Such a chunk holds no
// data and may legally stand anywhere among the IDAT chunks, but stb copies a first empty one
// from a null buffer; dropping it changes nothing in the picture. Called after checkPngHeader,
// so every chunk lies within the file.
std::vector<unsigned char> withoutEmptyDataChunks(const unsigned char* data, std::size_t size) {
    std::vector<unsigned char> kept;
    bool dropped = false;
    std::size_t at = 8, copiedUpTo = 0;
    while (at + 12 <= size) {
        const std::size_t length = be32(data + at);
        if (length == 0 && std::memcmp(data + at + 4, "IDAT", 4) == 0) {
            kept.insert(kept.end(), data + copiedUpTo, data + at);
            copiedUpTo = at + 12;
            dropped = true;
        }
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) break;
        at += 12 + length;
    }
    if (!dropped) return {};
    kept.insert(kept.end(), data + copiedUpTo, data + size);
    return kept;
}

Image decodeWithStb(const unsigned char* data, std::size_t size, const std::string& name, const char* format) {
    if (size > static_cast<std::size_t>(INT32_MAX)) throw RunError::badImage(name, "file too large");
    int w = 0, h = 0, comp = 0;
    stbi_uc* rgb = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &comp, 3);
    if (!rgb) {
        const char* why = stbi_failure_reason();
        throw RunError::badImage(name, std::string(format) + ": " + (why ? why : "cannot decode"));
    }
    std::unique_ptr<stbi_uc, void (*)(void*)> holder(rgb, stbi_image_free);
    checkDimensions(w, h, name);
    Image picture(w, h);
    const std::size_t n = std::size_t(w) * std::size_t(h);
    for (std::size_t i = 0; i < n; ++i)
        picture.pixels[i] = rgb[3 * i] + 256 * rgb[3 * i + 1] + 65536 * rgb[3 * i + 2];
    return picture;
}

}  // namespace

Image decodeImage(const unsigned char* data, std::size_t size, const std::string& name) {
    if (size == 0) throw RunError::badImage(name, "empty file");
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return decodeJpeg(data, size, name);
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        checkBmpHeader(data, size, name);
        return decodeWithStb(data, size, name, "BMP");
    }
    static const unsigned char pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 8 && std::memcmp(data, pngSignature, 8) == 0) {
        checkPngHeader(data, size, name);
        const std::vector<unsigned char> cleaned = withoutEmptyDataChunks(data, size);
        if (!cleaned.empty()) return decodeWithStb(cleaned.data(), cleaned.size(), name, "PNG");
        return decodeWithStb(data, size, name, "PNG");
    }
    throw RunError::badImage(name, "not a JPEG, BMP or PNG picture");
}

void checkPictureReadable(const std::string& name) {
    OpenedFile opened;
    openForReading(name, opened);
}

std::string pictureFormatOf(const std::string& name) {
    std::error_code ec;
    const std::string path = hostPath(name);
    if (!std::filesystem::is_regular_file(path, ec)) return "";
    unsigned char head[8] = {};
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(head), sizeof head);
    const std::streamsize n = in.gcount();
    static const unsigned char pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (n >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return "JPEG";
    if (n >= 8 && std::memcmp(head, pngSignature, 8) == 0) return "PNG";
    if (n >= 2 && head[0] == 'B' && head[1] == 'M') return "BMP";
    return "";
}

Image loadImageFile(const std::string& path) {
    std::vector<unsigned char> data;
    readWholeFile(path, data);
    return decodeImage(data.data(), data.size(), path);
}

void decodePictureRegion(const unsigned char* data, std::size_t size, const std::string& name, int left, int top,
                         int width, int height, PictureRegion& region) {
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        JpegInput in;
        in.data = data;
        in.size = size;
        decodeJpegRegion(in, name, left, top, width, height, region);
        return;
    }
    region.pixels = decodeImage(data, size, name);
    region.left = region.top = 0;
    region.fullWidth = region.pixels.width;
    region.fullHeight = region.pixels.height;
}

void loadPictureRegion(const std::string& path, int left, int top, int width, int height, PictureRegion& region,
                       std::vector<unsigned char>& fileData) {
    // A JPEG is read a chunk at a time, as far as its decoding needs; other files whole.
    constexpr std::size_t kChunk = 64 * 1024;
    OpenedFile opened;
    openForReading(path, opened);
    const std::size_t first = static_cast<std::size_t>(std::min<std::uintmax_t>(opened.size, kChunk));
    if (fileData.size() < kChunk) fileData.resize(kChunk);
    if (first > 0 && std::fread(fileData.data(), 1, first, opened.file) != first)
        throw RunError::fileError("Cannot read file", path);
    if (first >= 3 && fileData[0] == 0xFF && fileData[1] == 0xD8 && fileData[2] == 0xFF) {
        JpegInput in;
        in.size = static_cast<std::size_t>(opened.size);
        in.file = opened.file;
        in.buffer = &fileData;
        in.buffered = first;
        decodeJpegRegion(in, path, left, top, width, height, region);
        return;
    }
    readRest(opened, first, fileData, path);
    decodePictureRegion(fileData.data(), fileData.size(), path, left, top, width, height, region);
}

std::string encodeBmp(const Image& image) {
    std::vector<unsigned char> rgb(std::size_t(image.width) * std::size_t(image.height) * 3);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const Channels ch = splitColour(image.pixels[i]);
        rgb[3 * i] = static_cast<unsigned char>(ch.red);
        rgb[3 * i + 1] = static_cast<unsigned char>(ch.green);
        rgb[3 * i + 2] = static_cast<unsigned char>(ch.blue);
    }
    std::string bytes;
    bytes.reserve(54 + rgb.size() + std::size_t(image.height) * 3);
    const auto append = [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), std::size_t(size));
    };
    if (!stbi_write_bmp_to_func(append, &bytes, image.width, image.height, 3, rgb.data()))
        throw RunError(ErrorKind::FileError, "Cannot encode the picture as BMP");
    return bytes;
}

void saveBmp(const Image& image, const std::string& path) {
    if (image.empty()) throw RunError::fileError("Cannot save an empty picture", path);
    writeWholeFile(path, encodeBmp(image));
}

}  // namespace imaging
