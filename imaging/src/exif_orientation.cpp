#include "imaging/exif_orientation.hpp"

#include <libexif/exif-data.h>
#include <libexif/exif-loader.h>
#include <libexif/exif-utils.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

#include "imaging/paths.hpp"

namespace imaging {

namespace {

struct LoaderRelease {
    void operator()(ExifLoader* loader) const { exif_loader_unref(loader); }
};
struct DataRelease {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};
struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using Loader = std::unique_ptr<ExifLoader, LoaderRelease>;

bool startsAsJpeg(const unsigned char* data, std::size_t size) {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

// The orientation in the Exif block the loader collected (its "Exif\0\0" header and TIFF data).
int orientationOfLoaded(ExifLoader* loader) {
    const unsigned char* block = nullptr;
    unsigned int blockSize = 0;
    exif_loader_get_buf(loader, &block, &blockSize);
    if (!block || blockSize == 0) return 0;
    const std::unique_ptr<ExifData, DataRelease> data(exif_data_new());
    if (!data) return 0;
    // The block as recorded: nothing added, converted or rewritten on loading.
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_set_option(data.get(), EXIF_DATA_OPTION_DONT_CHANGE_MAKER_NOTE);
    exif_data_load_data(data.get(), block, blockSize);
    ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 || !entry->data || entry->size < 2)
        return 0;
    const int orientation = exif_get_short(entry->data, exif_data_get_byte_order(data.get()));
    return orientation >= 1 && orientation <= 8 ? orientation : 0;
}

}  // namespace

int exifOrientationOf(const unsigned char* data, std::size_t size) {
    if (!startsAsJpeg(data, size)) return 0;
    const Loader loader(exif_loader_new());
    if (!loader) return 0;
    // The loader takes the bytes piece by piece and stops once it holds the Exif block, or at the
    // first segment after which none can follow.
    constexpr std::size_t kPiece = 1u << 20;
    for (std::size_t at = 0; at < size;) {
        const std::size_t piece = std::min(kPiece, size - at);
        if (!exif_loader_write(loader.get(), const_cast<unsigned char*>(data + at), static_cast<unsigned int>(piece)))
            break;
        at += piece;
    }
    return orientationOfLoaded(loader.get());
}

int exifOrientation(const std::string& name) {
    const std::unique_ptr<std::FILE, FileClose> file(std::fopen(hostPath(name).c_str(), "rb"));
    if (!file) return 0;
    std::array<unsigned char, 4096> piece{};
    std::size_t got = std::fread(piece.data(), 1, piece.size(), file.get());
    if (!startsAsJpeg(piece.data(), got)) return 0;
    const Loader loader(exif_loader_new());
    if (!loader) return 0;
    // Read only as far as the loader needs: it says when it has the block or none can come.
    while (got > 0 && exif_loader_write(loader.get(), piece.data(), static_cast<unsigned int>(got)))
        got = std::fread(piece.data(), 1, piece.size(), file.get());
    return orientationOfLoaded(loader.get());
}

std::string orientationMeaning(int orientation) {
    switch (orientation) {
        case 2: return "mirrored left to right";
        case 3: return "turned 180 degrees";
        case 4: return "mirrored top to bottom";
        case 5: return "mirrored across its top-left to bottom-right diagonal";
        case 6: return "turned 90 degrees clockwise";
        case 7: return "mirrored across its top-right to bottom-left diagonal";
        case 8: return "turned 90 degrees counter-clockwise";
        default: return "";
    }
}

std::string exifOrientationWarning(int orientation) {
    const std::string meaning = orientationMeaning(orientation);
    if (meaning.empty()) return "";
    return "EXIF orientation " + std::to_string(orientation) + ": viewers that follow it show the photograph " +
           meaning + "; the analysis uses the pixels as stored and every position is a position in them";
}

}  // namespace imaging
